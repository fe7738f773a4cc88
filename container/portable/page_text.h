// Text rules of the page host that need no window: which encoding a page file
// is in, and the {{NAME}} placeholders a test fills in before the page runs.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace container::page {

// A page file is UTF-8 when it starts with the UTF-8 byte order mark or when
// all of its bytes form valid UTF-8; anything else is read as CP949, the code
// page Korean pages were saved in before UTF-8 took over.
enum class PageEncoding { Utf8, Cp949 };

bool IsValidUtf8(std::string_view bytes);
PageEncoding DetectEncoding(std::string_view bytes);
// The bytes without a leading UTF-8 byte order mark.
std::string_view WithoutUtf8Bom(std::string_view bytes);

// Appends the UTF-8 form of a code point; a value that is no character
// (a surrogate, beyond U+10FFFF, or NUL) becomes U+FFFD.
void AppendUtf8(std::string* out, unsigned long codePoint);

// Replaces every {{NAME}} (letters, digits, '_') whose NAME is in `values`.
// Placeholders without a value stay as they are and their names are added to
// *missing (once each), so a page cannot silently post to "{{SERVER}}".
std::string SubstitutePlaceholders(std::string_view text,
                                   const std::map<std::string, std::string>& values,
                                   std::vector<std::string>* missing);

}  // namespace container::page
