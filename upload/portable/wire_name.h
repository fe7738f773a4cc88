// The file name as the request carries it. A form page in the ANSI code page
// sends each character of a name in that code page, and writes a character
// the code page lacks as a decimal character reference ("&#233;" for é), one
// per code point, so a receiver can restore the name exactly while every name
// the code page holds still goes out byte for byte as before. The page's form
// fields, name and value, go out the same way.
#pragma once

#include <optional>
#include <string>

namespace brimlet {

// The bytes of one code point in the ANSI code page, or nothing when the code
// page lacks it (a best-fit substitute does not count: é is not e). The module
// asks the system; the tests bring a converter of their own.
using CharacterEncoder = std::optional<std::string> (*)(char32_t codePoint);

// A UTF-16 surrogate pair (or, where wchar_t is 32-bit, one unit) is one
// code point; a surrogate without its partner cannot be written in any code
// page and goes out as U+FFFD, as a browser sends it.
std::string WireName(const std::wstring& name, CharacterEncoder encode);

// The text in the code page, or nothing when it holds a character the code
// page lacks: for a header line, where no reference is understood and a '?'
// in its place would send something else than the page gave.
std::optional<std::string> CodePageText(const std::wstring& text, CharacterEncoder encode);

}  // namespace brimlet
