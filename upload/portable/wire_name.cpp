#include "upload/portable/wire_name.h"

#include <cstdint>

namespace brimlet {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point starting at `i`; `i` moves past it.
char32_t NextCodePoint(const std::wstring& text, std::size_t& i) {
  const auto unit = static_cast<char32_t>(text[i++]);
  if (IsHighSurrogate(unit) && i < text.size()) {
    const auto low = static_cast<char32_t>(text[i]);
    if (IsLowSurrogate(low)) {
      ++i;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  if (IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit > 0x10FFFF) return kReplacementCharacter;
  return unit;
}

}  // namespace

std::string WireName(const std::wstring& name, CharacterEncoder encode) {
  std::string wire;
  wire.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    const char32_t codePoint = NextCodePoint(name, i);
    const std::optional<std::string> bytes = encode(codePoint);
    if (bytes && !bytes->empty()) {
      wire += *bytes;
    } else {
      wire += "&#" + std::to_string(static_cast<std::uint32_t>(codePoint)) + ';';
    }
  }
  return wire;
}

std::optional<std::string> CodePageText(const std::wstring& text, CharacterEncoder encode) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::optional<std::string> character = encode(NextCodePoint(text, i));
    if (!character || character->empty()) return std::nullopt;
    bytes += *character;
  }
  return bytes;
}

}  // namespace brimlet
