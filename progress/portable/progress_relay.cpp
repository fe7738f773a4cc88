#include "progress/portable/progress_relay.h"

#include <utility>

#include "progress/portable/progress_text.h"

namespace brimlet {

// Until the sender says otherwise, the dialog reads "준비".
ProgressRelay::ProgressRelay() { m_live.message = kStatusReady; }

template <class T>
void ProgressRelay::Store(T& field, T value) {
  std::lock_guard<std::mutex> hold(m_lock);
  field = std::move(value);
  m_changed = true;
}

std::optional<ProgressFrame> ProgressRelay::Take() {
  std::lock_guard<std::mutex> hold(m_lock);
  if (!m_changed && !m_watchedEnd && m_newRows.empty() && m_rowStatuses.empty()) return std::nullopt;
  ProgressFrame frame;
  if (m_watchedEnd) {
    frame.state = std::move(*m_watchedEnd);
    m_watchedEnd.reset();
  } else {
    frame.state = m_live;
    m_changed = false;
  }
  frame.newRows = std::move(m_newRows);
  m_newRows.clear();
  frame.rowStatuses = std::move(m_rowStatuses);
  m_rowStatuses.clear();
  m_drawnFile = frame.state.currentFile;
  m_drawnUnfinished = !m_drawnFile.empty() && frame.state.filePercent < 100;
  return frame;
}

void ProgressRelay::AddFileRow(std::size_t index, const std::wstring& path, const std::wstring& name,
                               const std::string& sizeText) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_newRows.push_back({index, path, name, sizeText});
}

void ProgressRelay::SetFileStatus(std::size_t index, const std::string& text) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_rowStatuses[index] = text;
}

void ProgressRelay::UpdateTotalProgress(int percent) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_live.totalPercent = percent;
  m_changed = true;
  if (m_drawnUnfinished && !m_watchedEnd && m_live.filePercent == 100 && m_live.currentFile == m_drawnFile) {
    m_watchedEnd = m_live;
    m_drawnUnfinished = false;
  }
}

void ProgressRelay::SetStatusMessage(const std::string& text) { Store(m_live.message, text); }
void ProgressRelay::SetStatusCount(const std::string& text) { Store(m_live.count, text); }
void ProgressRelay::SetCurrentFileName(const std::wstring& path) { Store(m_live.currentFile, path); }
void ProgressRelay::SetFileSizeText(const std::string& text) { Store(m_live.fileSizeText, text); }
void ProgressRelay::SetTotalSizeText(const std::string& text) { Store(m_live.totalSizeText, text); }
void ProgressRelay::UpdateFileProgress(int percent) { Store(m_live.filePercent, percent); }
void ProgressRelay::SetTransferRate(std::uint32_t bytesPerMs) { Store(m_live.bytesPerMs, bytesPerMs); }
void ProgressRelay::SetFileTimeLeft(std::uint32_t seconds) { Store(m_live.fileSecondsLeft, seconds); }
void ProgressRelay::SetTotalTimeLeft(std::uint32_t seconds) { Store(m_live.totalSecondsLeft, seconds); }

}  // namespace brimlet
