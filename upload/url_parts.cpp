// Strict on purpose: anything doubtful is refused before a connection.
#include "upload/url_parts.h"

#include <cctype>

namespace brimlet {
namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  std::size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size() ||
        std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
      return false;
  }
  return true;
}

// Bytes that would break the request line or a header if passed on.
bool HasUnsafeByte(const std::string& text) {
  for (const unsigned char c : text)
    if (c <= 0x20 || c == 0x7F) return true;
  return false;
}

std::optional<std::uint16_t> ParsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  unsigned long value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<UrlParts> SplitUrl(const std::string& url) {
  UrlParts parts;
  std::size_t at;
  if (StartsWithNoCase(url, "http://")) {
    at = 7;
    parts.port = 80;
  } else if (StartsWithNoCase(url, "https://")) {
    at = 8;
    parts.secure = true;
    parts.port = 443;
  } else {
    return std::nullopt;
  }
  if (HasUnsafeByte(url)) return std::nullopt;

  const std::size_t authorityEnd = url.find_first_of("/?#", at);
  const std::string authority = url.substr(at, authorityEnd - at);
  // Credentials in the address are never sent, so an address carrying them
  // is refused rather than quietly used without them.
  if (authority.find('@') != std::string::npos) return std::nullopt;

  std::string portText;
  bool hasPort = false;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) return std::nullopt;
    parts.host = authority.substr(1, close - 1);
    const std::string rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return std::nullopt;
      hasPort = true;
      portText = rest.substr(1);
    }
  } else {
    const std::size_t colon = authority.find(':');
    parts.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
      hasPort = true;
      portText = authority.substr(colon + 1);
    }
  }
  if (parts.host.empty() || parts.host.find_first_of("[]") != std::string::npos)
    return std::nullopt;
  if (hasPort) {
    const auto port = ParsePort(portText);
    if (!port) return std::nullopt;
    parts.port = *port;
  }

  if (authorityEnd != std::string::npos) {
    // The fragment belongs to the page, never to the request.
    const std::size_t fragment = url.find('#', authorityEnd);
    parts.object = url.substr(authorityEnd, fragment - authorityEnd);
  }
  if (parts.object.empty() || parts.object[0] != '/')
    parts.object.insert(0, "/");
  return parts;
}

}  // namespace brimlet
