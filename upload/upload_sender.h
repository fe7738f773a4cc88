// The network side of one upload, run on a thread of its own so that the
// progress dialog's thread never waits for the network: opens the request,
// streams the body from the job's files, ends the request and reads the
// reply. It reports progress to a ProgressSink that may be read from
// another thread, and failures through a Tell that shows them to the user.
//
// Cancelling is signalled through the upload's cancel event, from the
// dialog or from the page. The worker, which waits on that event, calls
// Abort: no further call is made on the request (a call under way ends
// within the silence limit), the upload ends as cancelled, and nothing is
// told. The worker does not wait for it to end the upload for the page.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "upload/file_closer.h"
#include "upload/http_upload.h"
#include "upload/portable/send_files.h"
#include "upload/portable/upload_job.h"
#include "upload/portable/upload_report.h"

namespace brimlet {

class UploadSender final : private CancelTest {
 public:
  using Tell = std::function<void(const std::string&)>;

  // Where the sender posts the page's progress: the control's message
  // window, and the number the control knows the upload by.
  struct ProgressTarget {
    HWND window;
    WPARAM upload;
  };

  // `files` holds the job's first files (at most kFilesHeldOpen), opened
  // when the job was filled, in job order; the sender reads each from its
  // handle, opens the files past them as it comes to them, and hands each to
  // `closer`
  // once read, and closes whatever is left when it ends. The job, the files
  // and the closer belong to the caller; the job and the files are filled
  // before Run. The report gets the body's progress as it goes (its other
  // fields are the worker's).
  UploadSender(const UploadJob& job, std::vector<fw::UniqueFile>& files, FileCloser& closer, ProgressSink& progress,
               HANDLE cancelEvent, Tell tell, UploadReport& report, ProgressTarget target);

  // The whole upload; returns when it has ended, however it ended.
  void Run();
  // From any thread, without waiting: stops the upload.
  void Abort();

  // Once Run has returned: whether the server took the upload, the failure
  // the user was told (empty when none was), and the server's answer (its
  // status, 0 when none came, and the kept reply body).
  bool succeeded() const { return m_succeeded; }
  bool cancelled() const { return m_cancelled.load(); }
  const std::string& told() const { return m_told; }
  long status() const { return m_status; }
  const std::string& reply() const { return m_reply; }
  bool replyIsUtf8() const { return m_replyIsUtf8; }
  // Whether the page may read the status and the reply.
  bool replyReadable() const { return m_replyReadable; }

 private:
  bool Cancelled() override { return m_cancelled.load(); }
  bool Send();
  void TellUnlessCancelled(const std::string& text);
  // After each write: the page hears of it at most every 250 ms, and of the
  // last byte always.
  void ReportWritten(std::uint64_t bytes);

  const UploadJob& m_job;
  std::vector<fw::UniqueFile>& m_files;
  FileCloser& m_closer;
  ProgressSink& m_progress;
  HANDLE m_cancelEvent;
  Tell m_tell;
  HttpUpload m_http;
  std::atomic<bool> m_cancelled{false};
  UploadReport& m_report;
  ProgressTarget m_target;
  DWORD m_lastProgressPost = 0;
  bool m_succeeded = false;
  std::string m_told;
  long m_status = 0;
  std::string m_reply;
  bool m_replyIsUtf8 = false;
  bool m_replyReadable = true;
};

}  // namespace brimlet
