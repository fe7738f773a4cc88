// A thread that runs one round of work now and then every interval until it
// is stopped: the watchers of the scenarios and the benchmark (dialogs to
// answer, a dialog to probe) are built on it.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace drivers {

class RepeatingThread {
 public:
  // Starts calling `round` on a thread of its own; a round that throws (out
  // of memory while listing windows, say) is tried again at the next.
  RepeatingThread(DWORD intervalMs, std::function<void()> round);
  RepeatingThread(const RepeatingThread&) = delete;
  RepeatingThread& operator=(const RepeatingThread&) = delete;
  ~RepeatingThread() { Stop(); }

  // Ends the rounds and waits for one under way; later calls do nothing.
  void Stop();
  // Whether Stop has been asked: a long round may end early.
  bool stopping() const { return stopping_.load(); }

 private:
  void Run();

  const DWORD intervalMs_;
  const std::function<void()> round_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;  // last: starts once everything above is built
};

}  // namespace drivers
