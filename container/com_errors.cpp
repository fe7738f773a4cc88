#include "container/com_errors.h"

namespace container {

std::wstring HexCode(HRESULT hr) {
  wchar_t text[16];
  ::wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace container
