#include "framework/event_watch.h"

namespace fw {

EventWatch::EventWatch(HANDLE event, std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
  if (!::RegisterWaitForSingleObject(&wait_, event, &Signalled, this, INFINITE, WT_EXECUTEONLYONCE))
    wait_ = nullptr;
}

EventWatch::~EventWatch() {
  // INVALID_HANDLE_VALUE: return only once no call is running.
  if (wait_) ::UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
}

VOID CALLBACK EventWatch::Signalled(PVOID self, BOOLEAN timedOut) {
  if (!timedOut) static_cast<EventWatch*>(self)->onSignal_();
}

}  // namespace fw
