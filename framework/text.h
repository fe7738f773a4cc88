// Conversions between the control's multi-byte texts (ANSI code page) and the
// wide strings of COM.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <optional>
#include <string>

namespace fw {

std::string NarrowFromWide(const wchar_t* text, size_t length, UINT codePage = CP_ACP);
std::string NarrowFromBstr(BSTR text);
// The text in the ANSI code page exactly, or nothing when the code page
// lacks one of its characters (no '?' and no look-alike in its place).
std::optional<std::string> AnsiText(const wchar_t* text, size_t length);
std::wstring WideFromNarrow(const std::string& text, UINT codePage = CP_ACP);
// A new BSTR that the caller frees; nullptr only when out of memory.
BSTR BstrFromNarrow(const std::string& text);
// Whether a byte starts a double-byte character in the ANSI code page; the
// lead-byte test the character-wise path searches are given.
bool IsAnsiLeadByte(unsigned char byte);
// The bytes of one code point in the ANSI code page, or nothing when the
// code page lacks it. Best fit is off: a character the code page does not
// hold is never replaced by a look-alike (é by e).
std::optional<std::string> AnsiCharacter(char32_t codePoint);
// Task-memory copy of a wide string, as IOleObject::GetUserType hands out.
LPOLESTR CoTaskStringCopy(const std::wstring& text);

}  // namespace fw
