// The worker that carries out one upload. The control fills its job while
// the thread waits, then resumes it; the worker creates a hidden window and
// the progress dialog on its own thread, sends the files, shows the server's
// reply when the page asked for it, posts the outcome to the control's
// window and ends, deleting itself.
//
// The worker knows the control only by its window handle: a control
// destroyed meanwhile is simply not told (a post to a dead window fails).
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "framework/unique_handle.h"
#include "framework/worker_thread.h"
#include "progress/upload_progress_dialog.h"
#include "upload/http_upload.h"
#include "upload/upload_job.h"

// Posted to the control's window: wParam the worker (not used by the
// receiver), lParam 1 when the upload succeeded and 0 otherwise.
constexpr UINT WM_UPLOAD_FINISHED = WM_USER + 1;

class UploadThread final : public fw::WorkerThread {
 public:
  explicit UploadThread(HWND controlWindow);
  ~UploadThread() override;

  // Job filling, on the control's thread while the worker is suspended.
  void SetDestination(const std::string& url, bool serverResponse);
  // Opens the file once to measure it; a file that cannot be opened is told
  // to the user and takes no part.
  void AddJobFile(const std::string& path, const std::string& sizeText);
  // The cancel event; the caller may duplicate it to cancel from outside.
  HANDLE cancelEvent() const { return m_hCancelEvent.get(); }

 protected:
  void InitInstance() override;
  void ExitInstance() override;

 private:
  std::string ContentTypeOf(const std::string& path);
  bool CreateWindows();
  void WaitForProgressWindow();
  bool SendFiles();
  bool ReadServerReply();
  bool Cancelled() const { return ::WaitForSingleObject(m_hCancelEvent.get(), 0) == WAIT_OBJECT_0; }
  void DestroyWindows();

  HWND m_hControlWindow;
  fw::UniqueHandle m_hCancelEvent;
  brimlet::UploadJob m_job;
  // Looked up once per key while the job is filled: a folder of many files
  // of one type would otherwise read the same registry value for each.
  std::map<std::string, std::string> m_contentTypes;
  // The hidden window owns the dialog: the dialog is declared after it so
  // it goes first.
  fw::UniqueWindow m_wndDummy;
  UploadProgressDialog m_dlgProgress;
  HttpUpload m_http;
  bool m_bRequestEnded = false;  // only an ended request has a reply to read
  DWORD m_dwStatusCode = 0;
  std::string m_strReply;
};
