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
#include <utility>

#include "framework/unique_handle.h"

namespace fw {

template <class T>
class Suspended;

class WorkerThread {
 public:
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  virtual ~WorkerThread() = default;

  // Creates the thread of `worker`, suspended. On success the thread owns the
  // object, which the returned handle reaches until it resumes the thread;
  // on failure the object is destroyed and the handle is empty.
  template <class T>
  static Suspended<T> CreateSuspended(std::unique_ptr<T> worker) {
    T* raw = worker.get();
    return Suspended<T>(Start(std::move(worker)) ? raw : nullptr);
  }

  bool SetPriority(int priority) { return ::SetThreadPriority(thread_.get(), priority) != FALSE; }

 protected:
  WorkerThread() = default;
  // The thread's whole work; the thread ends when it returns.
  virtual void InitInstance() = 0;
  // Runs last on the thread, before the object is deleted.
  virtual void ExitInstance() {}
  // On the starter's thread, before the thread runs: the starter gave up
  // filling the object (it left early). The thread still runs, so that it
  // lets the module go; the object should end its work at once.
  virtual void OnAbandoned() {}

 private:
  template <class T>
  friend class Suspended;
  void Resume() { ::ResumeThread(thread_.get()); }

  static bool Start(std::unique_ptr<WorkerThread> worker);
  static DWORD WINAPI ThreadMain(void* parameter);

  UniqueHandle thread_;
};

// A suspended worker, for its starter to fill. Every way out of the
// starter's scope lets the thread run: Resume when the object is complete;
// otherwise (an early return, an exception) the object is told it was
// abandoned first. A thread left suspended would hold the module forever.
template <class T>
class Suspended {
 public:
  explicit Suspended(T* worker) noexcept : worker_(worker) {}
  Suspended(const Suspended&) = delete;
  Suspended& operator=(const Suspended&) = delete;
  Suspended(Suspended&& other) noexcept : worker_(std::exchange(other.worker_, nullptr)) {}
  Suspended& operator=(Suspended&&) = delete;
  ~Suspended() {
    if (!worker_) return;
    static_cast<WorkerThread*>(worker_)->OnAbandoned();
    static_cast<WorkerThread*>(worker_)->Resume();
  }

  explicit operator bool() const noexcept { return worker_ != nullptr; }
  T* operator->() const noexcept { return worker_; }
  // Lets the thread run; the object may not be touched afterwards.
  void Resume() noexcept { static_cast<WorkerThread*>(std::exchange(worker_, nullptr))->Resume(); }

 private:
  T* worker_;
};

}  // namespace fw
