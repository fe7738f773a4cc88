#include "container/portable/page_text.h"

#include <algorithm>

namespace container::page {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = 0;
    unsigned long minimum = 0, value = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (!IsContinuation(next)) return false;
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past the last plane are not
    // UTF-8; CP949 text often looks like a run of such sequences.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::string_view WithoutUtf8Bom(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes;
}

PageEncoding DetectEncoding(std::string_view bytes) {
  if (WithoutUtf8Bom(bytes).size() != bytes.size()) return PageEncoding::Utf8;
  return IsValidUtf8(bytes) ? PageEncoding::Utf8 : PageEncoding::Cp949;
}

void AppendUtf8(std::string* out, unsigned long codePoint) {
  if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    codePoint = 0xFFFD;
  }
  if (codePoint < 0x80) {
    out->push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

std::string SubstitutePlaceholders(std::string_view text,
                                   const std::map<std::string, std::string>& values,
                                   std::vector<std::string>* missing) {
  std::string result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find("{{", i);
    if (open == std::string_view::npos) break;
    size_t end = open + 2;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    const bool closed = end > open + 2 && text.substr(end, 2) == "}}";
    if (!closed) {
      // Not a placeholder ("{{" in a script's object literal): keep one brace
      // and look again from the next one.
      result.append(text.substr(i, open + 1 - i));
      i = open + 1;
      continue;
    }
    result.append(text.substr(i, open - i));
    const std::string name(text.substr(open + 2, end - open - 2));
    const auto found = values.find(name);
    if (found != values.end()) {
      result += found->second;
    } else {
      result.append(text.substr(open, end + 2 - open));
      if (missing && std::find(missing->begin(), missing->end(), name) == missing->end()) {
        missing->push_back(name);
      }
    }
    i = end + 2;
  }
  result.append(text.substr(std::min(i, text.size())));
  return result;
}

}  // namespace container::page
