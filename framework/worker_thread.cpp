#include "framework/worker_thread.h"

#include "framework/module.h"

namespace fw {
namespace {

// A counted reference to the module that holds this code.
HMODULE ReferenceThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&ReferenceThisModule), &module);
  return module;
}

}  // namespace

bool WorkerThread::Start(std::unique_ptr<WorkerThread> worker) {
  HMODULE module = ReferenceThisModule();
  if (!module) return false;
  LockModule();
  WorkerThread* raw = worker.get();
  raw->thread_.reset(::CreateThread(nullptr, 0, &ThreadMain, raw, CREATE_SUSPENDED, nullptr));
  if (!raw->thread_) {
    UnlockModule();
    ::FreeLibrary(module);
    return false;
  }
  worker.release();  // NOLINT(bugprone-unused-return-value): ThreadMain takes it over through raw
  return true;
}

DWORD WINAPI WorkerThread::ThreadMain(void* parameter) {
  {
    std::unique_ptr<WorkerThread> self(static_cast<WorkerThread*>(parameter));
    self->InitInstance();
    self->ExitInstance();
  }
  // The reference taken in Start: the module may go only once this thread
  // has left its code.
  HMODULE module = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThreadMain), &module);
  UnlockModule();
  ::FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace fw
