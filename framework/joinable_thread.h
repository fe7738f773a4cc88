// A thread that runs one function and is waited for before its object goes.
// Whoever owns the object must keep the module loaded while the thread runs
// (a WorkerThread does, and waits for its joinable threads before it ends).
#pragma once

#include <windows.h>

#include <functional>

#include "framework/unique_handle.h"

namespace fw {

class JoinableThread {
 public:
  JoinableThread() = default;
  // Waits for the thread if it still runs.
  ~JoinableThread();
  JoinableThread(const JoinableThread&) = delete;
  JoinableThread& operator=(const JoinableThread&) = delete;

  // Starts running `work` on a new thread; false if none could be created.
  bool Start(std::function<void()> work);
  // Signalled once the thread has ended; null before Start.
  HANDLE handle() const { return thread_.get(); }

 private:
  static DWORD WINAPI ThreadMain(void* self);

  std::function<void()> work_;
  UniqueHandle thread_;
};

}  // namespace fw
