// The module's application message box: every message the control shows goes
// through here, so that all carry the module's title as caption.
#pragma once

#include <windows.h>
#include <string>

namespace fw {

// Shows `text` modally, owned by the active window of the calling thread.
// Without an icon in `type`, an OK box gets the exclamation icon and a box
// with other buttons the question icon. Returns the button chosen.
int AppMessageBox(const std::string& text, UINT type = MB_OK);
// The same for a text that need not fit the ANSI code page.
int AppMessageBox(const std::wstring& text, UINT type = MB_OK);
int AppMessageBox(UINT stringId, UINT type = MB_OK);

}  // namespace fw
