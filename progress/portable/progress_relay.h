// Carries what the sender reports to the progress dialog across threads.
//
// The sender calls the ProgressSink operations as it goes, as often as it
// likes; each one only stores the latest value under a lock. The dialog's
// thread takes a frame on its own timer and draws it, so a sender blocked in
// the network never holds the dialog, and a dialog busy painting never holds
// the sender.
//
// A file the dialog drew unfinished is always shown at its end once: when
// the sender reports that file at 100 percent, that moment is kept and
// handed out before whatever comes after it, so a bar the user watched
// always reaches 100. Files that start and end between two frames were
// never on screen and are not replayed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "upload/portable/send_files.h"

namespace brimlet {

struct ProgressRow {
  std::size_t index = 0;
  std::wstring path;
  std::wstring name;
  std::string sizeText;
};

// The dialog's scalar state: every text and number one frame shows.
struct ProgressState {
  std::string message;  // status pane 0
  std::string count;    // status pane 1
  std::wstring currentFile;
  std::string fileSizeText;
  std::string totalSizeText;
  int filePercent = 0;
  int totalPercent = 0;
  std::uint32_t bytesPerMs = 0;
  std::uint32_t fileSecondsLeft = 0;
  std::uint32_t totalSecondsLeft = 0;
};

struct ProgressFrame {
  ProgressState state;
  std::vector<ProgressRow> newRows;                 // rows added since the last frame
  std::map<std::size_t, std::string> rowStatuses;  // statuses changed since the last frame
};

class ProgressRelay final : public ProgressSink {
 public:
  ProgressRelay();

  // The dialog's side: everything reported since the last frame, or nothing
  // when nothing was. Marks the frame as what is on screen.
  std::optional<ProgressFrame> Take();

  // The sender's side.
  void AddFileRow(std::size_t index, const std::wstring& path, const std::wstring& name,
                  const std::string& sizeText) override;
  void SetStatusMessage(const std::string& text) override;
  void SetStatusCount(const std::string& text) override;
  void SetFileStatus(std::size_t index, const std::string& text) override;
  void SetCurrentFileName(const std::wstring& path) override;
  void SetFileSizeText(const std::string& text) override;
  void SetTotalSizeText(const std::string& text) override;
  void UpdateFileProgress(int percent) override;
  // A report ends with the job's percentage: the moment a watched file ends
  // is kept here, once both percentages are in.
  void UpdateTotalProgress(int percent) override;
  void SetTransferRate(std::uint32_t bytesPerMs) override;
  void SetFileTimeLeft(std::uint32_t seconds) override;
  void SetTotalTimeLeft(std::uint32_t seconds) override;

 private:
  template <class T>
  void Store(T& field, T value);

  std::mutex m_lock;
  ProgressState m_live;
  std::optional<ProgressState> m_watchedEnd;
  std::vector<ProgressRow> m_newRows;
  std::map<std::size_t, std::string> m_rowStatuses;
  bool m_changed = false;
  // What the last frame showed of the current file.
  std::wstring m_drawnFile;
  bool m_drawnUnfinished = false;
};

}  // namespace brimlet
