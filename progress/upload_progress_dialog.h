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
#include <deque>
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
  // Puts the next share of the rows reported so far into the list.
  void AddPendingRows();
  int ImageFor(const std::wstring& path);
  void Redraw();
  void ShowRowStatuses();
  // The list asking for a row's status text; false for any other question.
  bool AnswerRowStatus(const NMHDR& header);
  template <class ListItem>
  const std::string* StatusOfRow(const ListItem& item) const;
  // While it lives, rows go into the list with its redrawing off and the
  // image list taken back; the list is drawn once at its end.
  class RowBatch {
   public:
    explicit RowBatch(UploadProgressDialog& dialog);
    ~RowBatch();
    RowBatch(const RowBatch&) = delete;
    RowBatch& operator=(const RowBatch&) = delete;

   private:
    UploadProgressDialog& m_dialog;
  };
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
  std::deque<ProgressRow> m_pendingRows;  // reported, not yet in the list
  std::map<std::size_t, std::string> m_rowStatuses;
  // What the status column shows, by row; the list asks for it as it draws.
  std::vector<std::string> m_statusOf;
  static constexpr int kStatusColumn = 2;
  std::string m_panes[kPaneCount];
  std::string m_shownPanes[kPaneCount];
};

}  // namespace brimlet
