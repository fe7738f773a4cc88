#include "framework/message_box.h"

#include "framework/module.h"
#include "framework/text.h"

namespace fw {

int AppMessageBox(const std::string& text, UINT type) { return AppMessageBox(WideFromNarrow(text), type); }

int AppMessageBox(const std::wstring& text, UINT type) {
  if ((type & MB_ICONMASK) == 0) {
    type |= (type & MB_TYPEMASK) == MB_OK ? MB_ICONEXCLAMATION : MB_ICONQUESTION;
  }
  HWND owner = ::GetActiveWindow();
  return ::MessageBoxW(owner, text.c_str(), WideFromNarrow(ModuleTitle()).c_str(), type | MB_TASKMODAL);
}

int AppMessageBox(UINT stringId, UINT type) { return AppMessageBox(LoadResourceString(stringId), type); }

}  // namespace fw
