#include "progress/portable/progress_relay.h"

#include <utility>

#include "progress/portable/progress_text.h"

namespace brimlet {

// Until the sender says otherwise, the dialog reads "준비".
ProgressRelay::ProgressRelay() { live_.message = kStatusReady; }

template <class T>
void ProgressRelay::Store(T& field, T value) {
  std::lock_guard<std::mutex> hold(lock_);
  field = std::move(value);
  changed_ = true;
}

std::optional<ProgressFrame> ProgressRelay::Take() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!changed_ && !watchedEnd_ && newRows_.empty() && rowStatuses_.empty()) return std::nullopt;
  ProgressFrame frame;
  if (watchedEnd_) {
    frame.state = std::move(*watchedEnd_);
    watchedEnd_.reset();
  } else {
    frame.state = live_;
    changed_ = false;
  }
  frame.newRows = std::move(newRows_);
  newRows_.clear();
  frame.rowStatuses = std::move(rowStatuses_);
  rowStatuses_.clear();
  drawnFile_ = frame.state.currentFile;
  drawnUnfinished_ = !drawnFile_.empty() && frame.state.filePercent < 100;
  return frame;
}

void ProgressRelay::AddFileRow(std::size_t index, const std::string& path, const std::string& name,
                               const std::string& sizeText) {
  std::lock_guard<std::mutex> hold(lock_);
  newRows_.push_back({index, path, name, sizeText});
}

void ProgressRelay::SetFileStatus(std::size_t index, const std::string& text) {
  std::lock_guard<std::mutex> hold(lock_);
  rowStatuses_[index] = text;
}

void ProgressRelay::UpdateTotalProgress(int percent) {
  std::lock_guard<std::mutex> hold(lock_);
  live_.totalPercent = percent;
  changed_ = true;
  if (drawnUnfinished_ && !watchedEnd_ && live_.filePercent == 100 && live_.currentFile == drawnFile_) {
    watchedEnd_ = live_;
    drawnUnfinished_ = false;
  }
}

void ProgressRelay::SetStatusMessage(const std::string& text) { Store(live_.message, text); }
void ProgressRelay::SetStatusCount(const std::string& text) { Store(live_.count, text); }
void ProgressRelay::SetCurrentFileName(const std::string& path) { Store(live_.currentFile, path); }
void ProgressRelay::SetFileSizeText(const std::string& text) { Store(live_.fileSizeText, text); }
void ProgressRelay::SetTotalSizeText(const std::string& text) { Store(live_.totalSizeText, text); }
void ProgressRelay::UpdateFileProgress(int percent) { Store(live_.filePercent, percent); }
void ProgressRelay::SetTransferRate(std::uint32_t bytesPerMs) { Store(live_.bytesPerMs, bytesPerMs); }
void ProgressRelay::SetFileTimeLeft(std::uint32_t seconds) { Store(live_.fileSecondsLeft, seconds); }
void ProgressRelay::SetTotalTimeLeft(std::uint32_t seconds) { Store(live_.totalSecondsLeft, seconds); }

}  // namespace brimlet
