// Runs a function on a system pool thread when an event is signalled, once,
// for as long as the watch lives: for reacting to a signal at once while the
// thread that owns the work is blocked in a call of its own.
#pragma once

#include <windows.h>

#include <functional>

namespace fw {

class EventWatch {
 public:
  // Starts watching `event` (not owned); false from watching() when the
  // system could not set the watch up.
  EventWatch(HANDLE event, std::function<void()> onSignal);
  // Stops watching, and waits for a call already running to return, so the
  // function never outlives the watch.
  ~EventWatch();
  EventWatch(const EventWatch&) = delete;
  EventWatch& operator=(const EventWatch&) = delete;

  bool watching() const { return wait_ != nullptr; }

 private:
  static VOID CALLBACK Signalled(PVOID self, BOOLEAN timedOut);

  std::function<void()> onSignal_;
  HANDLE wait_ = nullptr;
};

}  // namespace fw
