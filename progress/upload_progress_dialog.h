// The modeless window that shows one upload while it runs: the current file
// and the whole job, each with time left, size, percentage and bar; a row per
// file with its status; a three-pane status bar; and the cancel button.
//
// It belongs to the upload's worker thread, which creates it, feeds it from
// the send loop and destroys it. The dialog gets its messages only in the
// drains the worker runs, so a click on its cancel button is handled in the
// middle of a transfer step; its only output is the cancel event.
//
// What the send loop reports is kept and put on screen at the next redraw:
// at most every 50 ms, at the end of a file whose progress was drawn, and
// when the worker flushes it. Under Wine each changed control repaints at
// once or at the next drain (a status bar pane paints inside the call), and
// a few milliseconds per file would otherwise outweigh sending small files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "framework/dialog.h"
#include "framework/list_view_image_list.h"
#include "framework/unique_handle.h"
#include "progress/progress_math.h"
#include "upload/send_files.h"

class UploadProgressDialog final : public fw::Dialog, public brimlet::ProgressSink {
 public:
  UploadProgressDialog();

  // Creates the window owned by `parent`; the event (not owned) is signalled
  // when the user confirms cancelling.
  bool CreateModeless(HWND parent, HANDLE cancelEvent);
  // Takes every queued message of this thread, giving each to the dialog's
  // keyboard handling first (so Esc reaches it); never waits.
  void PumpDialogMessages();

  // brimlet::ProgressSink
  void AddFileRow(std::size_t index, const std::string& path, const std::string& name,
                  const std::string& sizeText) override;
  void SetStatusMessage(const std::string& text) override { m_panes[kMessagePane] = text; }
  void SetStatusCount(const std::string& text) override { m_panes[kCountPane] = text; }
  void SetFileStatus(std::size_t index, const std::string& text) override { m_rowStatuses[index] = text; }
  void SetCurrentFileName(const std::string& path) override { m_strCurrentFile = path; }
  void SetFileSizeText(const std::string& text) override { m_strFileSizeText = text; }
  void SetTotalSizeText(const std::string& text) override { m_strTotalSizeText = text; }
  void UpdateFileProgress(int percent) override;
  void UpdateTotalProgress(int percent) override;
  void SetTransferRate(std::uint32_t bytesPerMs) override { m_dRate = bytesPerMs; }
  void SetFileTimeLeft(std::uint32_t seconds) override { m_nFileTimeLeft = seconds; }
  void SetTotalTimeLeft(std::uint32_t seconds) override { m_nTotalTimeLeft = seconds; }

  // Puts everything reported so far on screen now, whatever the redraw
  // interval says (the end of the job, before a message box, before the
  // dialog goes), and the list if its rows were just added.
  void FlushProgress();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  // Enter does nothing; Esc keeps the base's behaviour and hides the dialog
  // without cancelling the upload.
  void OnOK() override {}
  void OnClose() override { OnCancelUpload(); }

 private:
  enum Pane { kMessagePane, kCountPane, kRatePane, kPaneCount };

  void OnCancelUpload();
  int ImageFor(const std::string& path);
  void Redraw();
  void ShowRowStatuses();
  void ShowPanes();
  void ShowFileProgress(int percent);
  void ShowTotalProgress(int percent);
  void SuspendListRedraw();
  void ResumeListRedraw();

  HWND m_listFiles = nullptr;   // control 205
  HWND m_pStatusBar = nullptr;  // child of the dialog, destroyed with it
  fw::ListViewImageList m_imageList;  // lent to the list, which would otherwise destroy it
  std::map<std::string, int> m_imageByExtension;  // one image per file type
  HWND m_progressFile = nullptr;   // control 203
  HWND m_progressTotal = nullptr;  // control 204
  HANDLE m_hCancelEvent = nullptr;  // the worker's
  std::string m_strFileSizeText;
  std::string m_strTotalSizeText;
  int m_nRangeMin = 0, m_nRangeMax = 100;
  double m_dRate = 0;
  std::uint32_t m_nFileTimeLeft = 0;
  std::uint32_t m_nTotalTimeLeft = 0;
  // Latest state handed in, shown at the next redraw.
  int m_nFilePercent = 0, m_nTotalPercent = 0;
  std::string m_strCurrentFile;
  std::string m_panes[kPaneCount];
  std::string m_shownPanes[kPaneCount];
  std::map<std::size_t, std::string> m_rowStatuses;  // rows changed since the last redraw
  brimlet::RedrawSchedule m_redrawSchedule;
  bool m_bListRedrawSuspended = false;  // while the rows are being added
};
