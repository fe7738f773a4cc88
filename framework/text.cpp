#include "framework/text.h"

namespace fw {

std::string NarrowFromWide(const wchar_t* text, size_t length, UINT codePage) {
  if (!text || length == 0) return {};
  const int wideLength = static_cast<int>(length);
  const int size = ::WideCharToMultiByte(codePage, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, 0, text, wideLength, &result[0], size, nullptr, nullptr);
  return result;
}

std::string NarrowFromBstr(BSTR text) { return NarrowFromWide(text, ::SysStringLen(text)); }

std::optional<std::string> AnsiText(const wchar_t* text, size_t length) {
  if (!text || length == 0) return std::string();
  const int wideLength = static_cast<int>(length);
  BOOL usedDefault = FALSE;
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, wideLength, nullptr, 0, nullptr,
                                         &usedDefault);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, wideLength, &result[0], size, nullptr, nullptr);
  return result;
}

std::wstring WideFromNarrow(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  const int narrowLength = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(codePage, 0, text.data(), narrowLength, nullptr, 0);
  if (size <= 0) return {};
  std::wstring result(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), narrowLength, &result[0], size);
  return result;
}

BSTR BstrFromNarrow(const std::string& text) {
  const std::wstring wide = WideFromNarrow(text);
  return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

LPOLESTR CoTaskStringCopy(const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
  if (copy) ::memcpy(copy, text.c_str(), bytes);
  return copy;
}

std::optional<std::string> AnsiCharacter(char32_t codePoint) {
  wchar_t units[2];
  std::size_t count = 1;
  if (codePoint >= 0x10000) {
    units[0] = static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    count = 2;
  } else {
    units[0] = static_cast<wchar_t>(codePoint);
  }
  return AnsiText(units, count);
}

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

}  // namespace fw
