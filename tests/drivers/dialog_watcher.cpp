#include "tests/drivers/dialog_watcher.h"

#include <cstring>

#include "framework/message_drain.h"
#include "framework/text.h"

namespace drivers {
namespace {

constexpr DWORD kRoundMs = 50;
constexpr UINT kSendTimeoutMs = 200;
constexpr DWORD kCloseWaitMs = 500;
constexpr int kMessageBoxText = 0xFFFF;

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  auto* dialogs = reinterpret_cast<std::vector<HWND>*>(context);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window)) return TRUE;
  if (ClassNameOf(window) != "#32770") return TRUE;
  try {
    dialogs->push_back(window);
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

// The visible dialogs of this process, top-level only.
std::vector<HWND> OpenDialogs() {
  std::vector<HWND> dialogs;
  ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
  return dialogs;
}

bool IsOpen(HWND dialog) { return ::IsWindow(dialog) && ::IsWindowVisible(dialog); }

void PostCommand(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Presses `id` and gives the dialog a bounded time to go away. A dialog of
// this thread is sent the command: nobody else would dispatch a posted one.
bool PressAndWait(HWND dialog, int id) {
  if (::GetWindowThreadProcessId(dialog, nullptr) == ::GetCurrentThreadId()) {
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    return !IsOpen(dialog);
  }
  PostCommand(dialog, id);
  const ULONGLONG deadline = ::GetTickCount64() + kCloseWaitMs;
  while (IsOpen(dialog) && ::GetTickCount64() < deadline) ::Sleep(10);
  return !IsOpen(dialog);
}

}  // namespace

std::string ClassNameOf(HWND window) {
  char name[64] = {};
  const int length = ::GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

std::string WindowTextA(HWND window) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    const int length =
        ::InternalGetWindowText(window, &buffer[0], static_cast<int>(buffer.size()));
    if (length < static_cast<int>(buffer.size()) - 1 || buffer.size() >= (1u << 20)) {
      return length > 0 ? fw::NarrowFromWide(buffer.data(), static_cast<size_t>(length)) : std::string();
    }
    buffer.assign(buffer.size() * 4, L'\0');
  }
}

DialogWatcher::DialogWatcher(Answer answer) : answer_(std::move(answer)), rounds_(kRoundMs, [this] { Round(); }) {}

DialogWatcher::~DialogWatcher() {
  rounds_.Stop();
  CloseLeftovers();
}

void DialogWatcher::SetAnswer(Answer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = std::move(answer);
}

std::vector<DialogSeen> DialogWatcher::Seen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

size_t DialogWatcher::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_.size();
}

bool DialogWatcher::WaitFor(size_t count, DWORD timeoutMs) const {
  return fw::PumpUntil([this, count] { return Count() >= count; }, timeoutMs);
}

void DialogWatcher::Round() {
  const std::vector<HWND> dialogs = OpenDialogs();
  // Forget windows that are gone: their handles may come back as new dialogs.
  for (auto it = recorded_.begin(); it != recorded_.end();) {
    it = ::IsWindow(*it) ? std::next(it) : recorded_.erase(it);
  }
  for (auto it = answered_.begin(); it != answered_.end();) {
    it = ::IsWindow(it->first) ? std::next(it) : answered_.erase(it);
  }

  for (HWND dialog : dialogs) {
    if (answered_.count(dialog)) continue;
    DialogSeen seen = Describe(dialog);
    if (recorded_.insert(dialog).second) {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_.push_back(seen);
    }
    const int id = Ask(seen);
    if (id == 0) continue;
    if (id != kLeaveOpen) PostCommand(dialog, id);
    answered_[dialog] = id;
  }
}

int DialogWatcher::Ask(const DialogSeen& dialog) {
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer = answer_;
  }
  return answer ? answer(dialog) : IDOK;
}

DialogSeen DialogWatcher::Describe(HWND dialog) {
  DialogSeen seen;
  seen.window = dialog;
  seen.caption = WindowTextA(dialog);
  if (HWND label = ::GetDlgItem(dialog, kMessageBoxText)) seen.text = WindowTextA(label);
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;  // e.g. a sheet's unused Apply/Help buttons
    if (ClassNameOf(child) == WC_TABCONTROLA) {
      TabTexts(child, &seen.childTexts);
      continue;
    }
    std::string text = WindowTextA(child);
    if (!text.empty()) seen.childTexts.push_back(std::move(text));
  }
  return seen;
}

void DialogWatcher::TabTexts(HWND tabs, std::vector<std::string>* texts) {
  DWORD_PTR count = 0;
  if (!::SendMessageTimeoutA(tabs, TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &count)) {
    return;
  }
  for (DWORD_PTR i = 0; i < count; ++i) {
    std::memset(tabText_, 0, sizeof tabText_);
    tabItem_ = TCITEMA{};
    tabItem_.mask = TCIF_TEXT;
    tabItem_.pszText = tabText_;
    tabItem_.cchTextMax = sizeof tabText_ - 1;
    DWORD_PTR ok = 0;
    if (!::SendMessageTimeoutA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&tabItem_),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &ok) ||
        !ok) {
      continue;
    }
    texts->push_back(tabText_);
  }
}

void DialogWatcher::CloseLeftovers() {
  for (HWND dialog : OpenDialogs()) {
    const auto chosen = answered_.find(dialog);
    const int first = chosen != answered_.end() && chosen->second != kLeaveOpen ? chosen->second : IDCANCEL;
    for (int id : {first, IDCANCEL, IDOK, IDNO}) {
      if (PressAndWait(dialog, id)) break;
    }
  }
}

}  // namespace drivers
