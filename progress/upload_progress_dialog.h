// The modeless window that shows one upload while it runs: the current file
// and the whole job, each with time left, size, percentage and bar; a row per
// file with its status; a three-pane status bar; and the cancel button.
//
// It belongs to the upload's worker thread, which creates it, keeps it
// serviced and destroys it; the upload itself runs on another thread. What
// that thread reports reaches the dialog through a relay, which the dialog
// reads on a timer every 50 ms and draws when something changed: the
// dialog answers the user at once whatever the network does. Its only
// output is the cancel event.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/list_view_image_list.h"
#include "framework/unique_handle.h"
#include "progress/portable/progress_math.h"
#include "progress/portable/progress_relay.h"

namespace brimlet {

class UploadProgressDialog final : public fw::Dialog {
 public:
  UploadProgressDialog();

  // Creates the window owned by `parent`; the event (not owned) is signalled
  // when the user confirms cancelling; the relay (not owned) is read until
  // the window goes.
  bool CreateModeless(HWND parent, HANDLE cancelEvent, ProgressRelay* relay);
  // Takes every queued message of this thread, giving each to the dialog's
  // keyboard handling first (so Esc reaches it); never waits.
  void PumpDialogMessages();

  // Puts everything reported so far on screen now, whatever the timer says
  // (the end of the job, before a message box).
  void FlushProgress();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  // Enter does nothing; Esc keeps the base's behaviour and hides the dialog
  // without cancelling the upload.
  void OnOK() override {}
  void OnClose() override { OnCancelUpload(); }
  std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  enum Pane { kMessagePane, kCountPane, kRatePane, kPaneCount };

  void OnCancelUpload();
  // Draws the relay's next frame, if anything changed; false if nothing did.
  bool ShowNextFrame();
  // Takes the frame's new rows into the list.
  void AddRows(std::vector<ProgressRow> rows);
  int ImageFor(const std::wstring& name);
  void Redraw();
  void ShowRowStatuses();
  // The list asking for what a row shows; false for any other notification.
  bool AnswerRow(const NMHDR& header);
  template <class ListItem>
  void FillRowItem(ListItem& item);
  void ShowPanes();
  void ShowFileProgress(int percent);
  void ShowTotalProgress(int percent);

  HWND m_listFiles = nullptr;   // control 205
  HWND m_pStatusBar = nullptr;  // child of the dialog, destroyed with it
  fw::ListViewImageList m_imageList;  // lent to the list, which would otherwise destroy it
  std::map<std::wstring, int> m_imageByExtension;  // one image per file type
  HWND m_progressFile = nullptr;   // control 203
  HWND m_progressTotal = nullptr;  // control 204
  HANDLE m_hCancelEvent = nullptr;  // the worker's
  bool m_bAsking = false;  // the cancel question is open
  ProgressRelay* m_relay = nullptr;  // the worker's
  int m_nRangeMin = 0, m_nRangeMax = 100;
  // The frame being drawn.
  ProgressState m_state;
  std::map<std::size_t, std::string> m_rowStatuses;  // changed, not yet shown
  // The list holds no rows of its own: it asks for what it draws
  // (AnswerRow), so that a job of thousands of files costs the dialog a
  // count, not a window message per row.
  struct ShownRow {
    std::wstring name;
    std::string sizeText;
    std::string status;
    int image = kImageNotAsked;
  };
  static constexpr int kImageNotAsked = -2;
  std::vector<ShownRow> m_rows;
  std::string m_panes[kPaneCount];
  std::string m_shownPanes[kPaneCount];
};

}  // namespace brimlet
