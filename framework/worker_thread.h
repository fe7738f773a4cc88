// A thread that carries out one object's work and then deletes the object.
//
// The object is created by its starter, handed to a suspended thread, filled
// while the thread waits, and resumed; from then on the thread owns it. While
// the thread runs it holds a module lock (so DllCanUnloadNow says S_FALSE)
// and a reference to the module file, released only as the thread exits, so
// the code it runs can never be unmapped under it.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/unique_handle.h"

namespace fw {

class WorkerThread {
 public:
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  virtual ~WorkerThread() = default;

  // Creates the thread of `worker`, suspended. On success the thread owns the
  // object and the returned pointer may be used until Resume; on failure the
  // object is destroyed and nullptr returned.
  template <class T>
  static T* CreateSuspended(std::unique_ptr<T> worker) {
    T* raw = worker.get();
    return Start(std::move(worker)) ? raw : nullptr;
  }

  bool SetPriority(int priority) { return ::SetThreadPriority(thread_.get(), priority) != FALSE; }
  // Lets the thread run. The caller must not touch the object afterwards.
  void Resume() { ::ResumeThread(thread_.get()); }

 protected:
  WorkerThread() = default;
  // The thread's whole work; the thread ends when it returns.
  virtual void InitInstance() = 0;
  // Runs last on the thread, before the object is deleted.
  virtual void ExitInstance() {}

 private:
  static bool Start(std::unique_ptr<WorkerThread> worker);
  static DWORD WINAPI ThreadMain(void* parameter);

  UniqueHandle thread_;
};

}  // namespace fw
