#include "upload/files_opened_ahead.h"

namespace brimlet {

namespace {

// Holds an SRW lock exclusively for a scope.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
  ~ExclusiveHold() { ::ReleaseSRWLockExclusive(&m_lock); }
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;

 private:
  SRWLOCK& m_lock;
};

}  // namespace

FilesOpenedAhead::FilesOpenedAhead(std::size_t count, Open open)
    : m_count(count), m_open(std::move(open)), m_ring(kAhead) {
  // A single file has nothing to be opened beside.
  m_running = count > 1 && m_thread.Start([this] { Run(); });
}

FilesOpenedAhead::~FilesOpenedAhead() {
  {
    const ExclusiveHold hold(m_lock);
    m_stopping = true;
  }
  ::WakeAllConditionVariable(&m_changed);
  // m_thread is waited for next, then the ring closes what is left in it.
}

void FilesOpenedAhead::Run() {
  for (std::size_t index = 0; index < m_count; ++index) {
    {
      const ExclusiveHold hold(m_lock);
      while (!m_stopping && m_opened - m_taken == kAhead) ::SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
      if (m_stopping) return;
    }
    // Opened outside the lock: the taker measures the files before it.
    fw::UniqueFile file = m_open(index);
    {
      const ExclusiveHold hold(m_lock);
      m_ring[index % kAhead] = std::move(file);
      ++m_opened;
    }
    ::WakeAllConditionVariable(&m_changed);
  }
}

fw::UniqueFile FilesOpenedAhead::TakeNext() {
  if (!m_running) return m_taken < m_count ? m_open(m_taken++) : fw::UniqueFile();
  fw::UniqueFile file;
  {
    const ExclusiveHold hold(m_lock);
    if (m_taken >= m_count) return file;
    while (m_opened == m_taken) ::SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
    file = std::move(m_ring[m_taken % kAhead]);
    ++m_taken;
  }
  ::WakeAllConditionVariable(&m_changed);
  return file;
}

}  // namespace brimlet
