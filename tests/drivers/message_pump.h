// Running this thread's message queue from test code, which must never block
// on it without a bound.
#pragma once

#include <windows.h>

#include <functional>

namespace host {

// Sees each message before it is dispatched; true means it was consumed.
using MessageFilter = std::function<bool(MSG&)>;

// Dispatches what is queued now, without waiting for more.
void PumpPending(const MessageFilter& filter = nullptr);

// Dispatches messages until done() holds or timeoutMs has passed; whether
// done() held. done() is asked before the first wait and after each batch.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs,
               const MessageFilter& filter = nullptr);

// Dispatches messages for timeoutMs.
void PumpFor(DWORD timeoutMs, const MessageFilter& filter = nullptr);

}  // namespace host
