#include "upload/file_closer.h"

namespace brimlet {

namespace {

// Files handed over before the thread is woken: a wake is itself a call into
// the system, so it is made once per batch rather than once per file.
constexpr std::size_t kCloseBatch = 32;

}  // namespace

FileCloser::FileCloser() : m_wake(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  m_running = m_wake && m_thread.Start([this] { Run(); });
}

FileCloser::~FileCloser() {
  if (!m_running) return;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_stopping = true;
  }
  ::SetEvent(m_wake.get());
}

void FileCloser::Close(fw::UniqueFile file) {
  if (!m_running) return;  // `file` closes as it goes
  bool full = false;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_handedOver.push_back(std::move(file));
    full = m_handedOver.size() == kCloseBatch;
  }
  if (full) ::SetEvent(m_wake.get());
}

void FileCloser::CloseHandedOver() {
  if (m_running) ::SetEvent(m_wake.get());
}

void FileCloser::Run() {
  for (;;) {
    if (::WaitForSingleObject(m_wake.get(), INFINITE) != WAIT_OBJECT_0) return;
    std::vector<fw::UniqueFile> batch;
    bool stopping = false;
    {
      std::lock_guard<std::mutex> hold(m_lock);
      batch.swap(m_handedOver);
      stopping = m_stopping;
    }
    batch.clear();
    if (stopping) return;
  }
}

}  // namespace brimlet
