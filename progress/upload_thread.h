// The worker that carries out one upload. The control fills its job while
// the thread waits, then resumes it. The worker's own thread owns the
// windows: a message window the sender asks to tell the user things, a
// hidden window that owns the progress dialog, and the dialog, all kept serviced
// from start to end. The network runs on a second thread, the sender,
// started before the dialog is made so that the request goes out at once;
// its progress reaches the dialog through a relay the dialog reads on a
// timer, and what it has to tell the user is shown on the worker's thread.
// Once the sender has ended, the worker shows the server's reply when the
// page asked for it, posts the outcome to the control and ends,
// deleting itself.
//
// The worker knows the control only by the control's message window and the
// upload's number: a control destroyed meanwhile is simply not told (a post
// to a dead window fails), and a control that took another upload's end for
// this one would find no record of that number.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/joinable_thread.h"
#include "framework/message_window.h"
#include "framework/unique_handle.h"
#include "framework/worker_thread.h"
#include "progress/portable/progress_relay.h"
#include "progress/upload_progress_dialog.h"
#include "upload/portable/upload_job.h"
#include "upload/portable/upload_report.h"
#include "upload/upload_notices.h"
#include "upload/upload_sender.h"

namespace brimlet {

class UploadThread final : public fw::WorkerThread {
 public:
  // The report (shared with the control) is filled before the end is posted
  // to `notifyWindow` with `uploadId`.
  UploadThread(HWND notifyWindow, WPARAM uploadId, std::shared_ptr<UploadReport> report);
  ~UploadThread() override;

  // Job filling, on the control's thread while the worker is suspended.
  void SetDestination(const std::string& url, bool serverResponse);
  // The page's origin; empty when the page has no address.
  void SetPageOrigin(const std::string& origin) { m_job.pageOrigin = origin; }
  // The page's form field parts and header lines; before the files.
  void SetPageParts(std::string fieldParts, std::vector<std::string> headerLines);
  // The list's rows as the page asked for the upload, in list order. They
  // are opened and measured on the worker's thread, before anything is
  // sent, so that the page's thread is never held by the disk.
  struct ListedFile {
    std::wstring path;
    std::string sizeText;
  };
  void SetListedFiles(std::vector<ListedFile> files) { m_listedFiles = std::move(files); }
  // The cancel event; the caller may duplicate it to cancel from outside.
  HANDLE cancelEvent() const { return m_hCancelEvent.get(); }

 protected:
  void InitInstance() override;
  void ExitInstance() override;
  // The job was left half filled: the upload ends as not started.
  void OnAbandoned() override;

 private:
  // The sender thread's work: the listed files opened, then the upload.
  void OpenAndSend();
  // Opens and measures every listed file in list order; the open file goes
  // with the job, so it is opened once for the whole upload. A file that
  // cannot be opened is told to the user and takes no part. False when the
  // upload was cancelled meanwhile.
  bool OpenListedFiles();
  // Whether the upload was cancelled, from the page or the user.
  bool Cancelled() const;
  std::string ContentTypeOf(const std::string& path);
  // Where the sender's requests to tell the user arrive; made before the
  // sender starts.
  bool CreateTellWindow();
  // The hidden window that owns the dialog; made while the sender works.
  bool CreateDialogOwner();
  // The sender's request to tell the user, on this thread.
  std::optional<LRESULT> OnTellMessage(UINT message, WPARAM wParam);
  // Services this thread's windows until the sender has ended (true) or the
  // upload was cancelled (false).
  bool ServiceUntilSentOrCancelled();
  // After a cancel: takes this thread's messages until the sender has left.
  void ServiceUntilSenderEnds();
  // From the sender's thread: shows `text` on this one, and returns once the
  // user has answered.
  void TellFromSender(const std::string& text);
  void DestroyWindows();
  // Fills the report and posts the end to the control.
  void Finish(bool success, const std::string& reason);

  HWND m_hNotifyWindow;
  WPARAM m_uploadId;
  std::shared_ptr<UploadReport> m_report;
  bool m_bAbandoned = false;
  std::string m_strLastTold;  // the last file refused at opening, told
  // The job and its open files are filled on the sender's thread before the
  // request starts, and read here only once that thread has ended.
  fw::UniqueHandle m_hCancelEvent;
  std::vector<ListedFile> m_listedFiles;  // until they are opened
  UploadJob m_job;
  // The job's first files, kept open (kFilesHeldOpen), in job order; read
  // and closed by the sender.
  std::vector<fw::UniqueFile> m_jobFiles;
  // Closes the files the sender has read. Its last batch may still be
  // closing as the page hears of the end; this thread waits for it before
  // it lets the module go.
  FileCloser m_closer;
  // Looked up once per key while the job is filled: a folder of many files
  // of one type would otherwise read the same registry value for each.
  std::map<std::string, std::string> m_contentTypes;
  ProgressRelay m_relay;
  // What the sender asks this thread to show, by number: a message that
  // names another number (one this module never sent) shows nothing.
  std::mutex m_tellLock;
  WPARAM m_nextTell = 0;
  std::optional<std::pair<WPARAM, std::string>> m_pendingTell;
  bool m_bWindowsGone = false;  // on this thread: the user is told nothing more
  // Where the sender's requests arrive: made before the sender starts and
  // destroyed only after it has ended, so the sender's copy of its handle
  // always names it.
  fw::MessageWindow m_wndTell;
  // The hidden window owns the dialog: the dialog is declared after it so
  // it goes first.
  fw::UniqueWindow m_wndDummy;
  UploadProgressDialog m_dlgProgress;
  std::unique_ptr<UploadSender> m_sender;
  // Declared last: it goes first, waiting for the sender, whose objects
  // above must outlive it.
  fw::JoinableThread m_senderThread;
};

}  // namespace brimlet
