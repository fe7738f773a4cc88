#include "upload/portable/url_parts.h"

namespace brimlet {
namespace {

// A bracket is only taken as the pair around an IPv6 literal: "[::1]".
bool HasStrayBracket(const std::string& host) {
  const std::size_t first = host.find_first_of("[]");
  if (first == std::string::npos) return false;
  return !(host.size() >= 2 && host.front() == '[' && host.back() == ']' &&
           host.find_first_of("[]", 1) == host.size() - 1);
}

// Whether `afterHost` names `port`: nothing written (the splitter's default
// stands), or ':' and decimal digits of exactly that value.
bool WritesPort(const std::string& afterHost, unsigned port) {
  if (afterHost.empty()) return true;
  if (afterHost[0] != ':' || afterHost.size() == 1) return false;
  unsigned long value = 0;
  for (std::size_t i = 1; i < afterHost.size(); ++i) {
    const char c = afterHost[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > 65535) return false;
  }
  return value == port;
}

}  // namespace

bool HasControlCharacter(const std::string& address) {
  for (const unsigned char c : address)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

std::optional<UrlParts> UrlPartsOf(const SplitAddress& split) {
  if (split.scheme == UrlScheme::kOther) return std::nullopt;
  if (split.host.empty() || HasStrayBracket(split.host)) return std::nullopt;
  if (split.port == 0 || split.port > 65535 || !WritesPort(split.afterHost, split.port)) return std::nullopt;

  UrlParts parts;
  parts.secure = split.scheme == UrlScheme::kHttps;
  parts.host = split.host;
  parts.port = static_cast<std::uint16_t>(split.port);
  parts.object = split.path + split.extra.substr(0, split.extra.find('#'));
  if (parts.object.empty() || parts.object[0] != '/') parts.object.insert(0, "/");
  return parts;
}

}  // namespace brimlet
