#include "framework/joinable_thread.h"

namespace fw {

JoinableThread::~JoinableThread() {
  if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
}

bool JoinableThread::Start(std::function<void()> work) {
  if (thread_) return false;
  work_ = std::move(work);
  thread_.reset(::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
  return static_cast<bool>(thread_);
}

DWORD WINAPI JoinableThread::ThreadMain(void* self) {
  static_cast<JoinableThread*>(self)->work_();
  return 0;
}

}  // namespace fw
