#include "tests/drivers/repeating_thread.h"

#include <chrono>

namespace drivers {

RepeatingThread::RepeatingThread(DWORD intervalMs, std::function<void()> round)
    : intervalMs_(intervalMs), round_(std::move(round)), thread_([this] { Run(); }) {}

void RepeatingThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void RepeatingThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    try {
      round_();
    } catch (...) {
      // Tried again at the next round.
    }
    lock.lock();
    wake_.wait_for(lock, std::chrono::milliseconds(intervalMs_), [this] { return stopping_.load(); });
  }
}

}  // namespace drivers
