// The network side of one upload, run on a thread of its own so that the
// progress dialog's thread never waits for the network: opens the request,
// streams the body from the job's files, ends the request and reads the
// reply. It reports progress to a ProgressSink that may be read from
// another thread, and failures through a Tell that shows them to the user.
//
// Cancelling is signalled through the upload's cancel event, from the
// dialog or from the page. The sender watches the event and closes the
// request the moment it is signalled, which ends a write or a wait for the
// reply that would otherwise block for as long as the link or the server
// takes; the upload then ends as cancelled, and nothing is told.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "upload/http_upload.h"
#include "upload/send_files.h"
#include "upload/upload_job.h"

class UploadSender final : private brimlet::CancelTest {
 public:
  using Tell = std::function<void(const std::string&)>;

  // `files` holds the job's files, opened when the job was filled, in job
  // order; the sender reads each from its handle and closes it.
  UploadSender(const brimlet::UploadJob& job, std::vector<fw::UniqueFile> files, brimlet::ProgressSink& progress,
               HANDLE cancelEvent, Tell tell);

  // The whole upload; returns when it has ended, however it ended.
  void Run();

  // Once Run has returned: whether the server took the upload, and the reply
  // to show when the page asked for it (empty when there is none).
  bool succeeded() const { return succeeded_; }
  const std::string& reply() const { return reply_; }

 private:
  bool Cancelled() override;
  bool Send();
  void Abort();
  void TellUnlessCancelled(const std::string& text);

  const brimlet::UploadJob& job_;
  std::vector<fw::UniqueFile> files_;
  brimlet::ProgressSink& progress_;
  HANDLE cancelEvent_;
  Tell tell_;
  HttpUpload http_;
  std::atomic<bool> cancelled_{false};
  bool watched_ = false;  // the cancel event is watched: no need to poll it
  bool succeeded_ = false;
  std::string reply_;
};
