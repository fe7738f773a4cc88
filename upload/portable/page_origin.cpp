#include "upload/portable/page_origin.h"

#include <algorithm>
#include <cctype>

namespace brimlet {
namespace {

struct Tuple {
  std::string scheme;
  std::string host;
  unsigned port = 0;
  unsigned defaultPort = 0;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

unsigned DefaultPort(const std::string& scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  return 0;
}

bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool IsLiteralCharacter(char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; }

// A host whose last label is a number is an IPv4 address, however written.
bool IsAddressLiteral(const std::string& host) {
  if (!host.empty() && host.front() == '[') return true;
  const std::size_t dot = host.rfind('.');
  const std::string last = dot == std::string::npos ? host : host.substr(dot + 1);
  return !last.empty() && std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Scheme, host and port of an http or https address. Backslashes end the
// host as slashes do, as browsers read them: otherwise "https://evil\@good"
// would be taken for good's.
std::optional<Tuple> TupleOf(const std::string& address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string::npos) return std::nullopt;
  Tuple tuple;
  tuple.scheme = Lower(address.substr(0, colon));
  tuple.defaultPort = DefaultPort(tuple.scheme);
  if (tuple.defaultPort == 0) return std::nullopt;
  const std::size_t start = address.find_first_not_of("/\\", colon + 1);
  if (start == std::string::npos) return std::nullopt;
  const std::size_t end = address.find_first_of("/\\?#", start);
  std::string authority = address.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);

  std::string port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) return std::nullopt;
    tuple.host = authority.substr(0, close + 1);
    if (tuple.host.size() < 3 || !std::all_of(tuple.host.begin() + 1, tuple.host.end() - 1, IsLiteralCharacter))
      return std::nullopt;
    const std::string after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') return std::nullopt;
    if (!after.empty()) port = after.substr(1);
  } else {
    const std::size_t portColon = authority.find(':');
    tuple.host = authority.substr(0, portColon);
    if (portColon != std::string::npos) port = authority.substr(portColon + 1);
    if (tuple.host.empty() || !std::all_of(tuple.host.begin(), tuple.host.end(), IsNameCharacter)) return std::nullopt;
  }
  tuple.host = Lower(tuple.host);
  tuple.port = tuple.defaultPort;
  if (!port.empty()) {
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    tuple.port = static_cast<unsigned>(std::stoul(port));
    if (tuple.port > 65535) return std::nullopt;
  }
  return tuple;
}

std::string Serialized(const Tuple& tuple) {
  std::string origin = tuple.scheme + "://" + tuple.host;
  if (tuple.port != tuple.defaultPort) origin += ":" + std::to_string(tuple.port);
  return origin;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EntryNames(const std::string& written, const Tuple& page) {
  const std::string entry = Trimmed(written);
  const std::size_t separator = entry.find("://");
  if (separator == std::string::npos) return false;
  if (entry.compare(separator + 3, 2, "*.") != 0) {
    const auto exact = TupleOf(entry);
    return exact && Serialized(*exact) == Serialized(page);
  }
  const auto parent = TupleOf(entry.substr(0, separator + 3) + entry.substr(separator + 5));
  if (!parent || IsAddressLiteral(parent->host) || IsAddressLiteral(page.host)) return false;
  const std::string suffix = "." + parent->host;
  return parent->scheme == page.scheme && parent->port == page.port && page.host.size() > suffix.size() &&
         page.host.compare(page.host.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string OriginOf(const std::string& address) {
  const auto tuple = TupleOf(address);
  return tuple ? Serialized(*tuple) : std::string(kOpaqueOrigin);
}

std::string OriginOf(const UrlParts& target) {
  Tuple tuple;
  tuple.scheme = target.secure ? "https" : "http";
  tuple.defaultPort = DefaultPort(tuple.scheme);
  tuple.host = Lower(target.host);
  tuple.port = target.port;
  return Serialized(tuple);
}

bool SameOrigin(const std::string& a, const std::string& b) { return a != kOpaqueOrigin && a == b; }

bool SiteListed(const std::vector<std::string>& allowedSites, const std::string& pageOrigin) {
  const auto page = TupleOf(pageOrigin);
  if (!page) return false;
  for (const std::string& entry : allowedSites) {
    // An entry holds one site or several separated by spaces or tabs.
    for (size_t start = entry.find_first_not_of(" \t"); start != std::string::npos;) {
      const size_t end = entry.find_first_of(" \t", start);
      if (EntryNames(entry.substr(start, end - start), *page)) return true;
      start = end == std::string::npos ? end : entry.find_first_not_of(" \t", end);
    }
  }
  return false;
}

PageStanding StandingOf(const std::optional<std::string>& pageOrigin,
                        const std::optional<std::vector<std::string>>& allowedSites) {
  if (!pageOrigin) return {true, true};
  if (!allowedSites) return {true, false};
  if (SiteListed(*allowedSites, *pageOrigin)) return {true, true};
  return {false, false};
}

bool MixedContent(const std::string& pageOrigin, const UrlParts& target) {
  return pageOrigin.rfind("https://", 0) == 0 && !target.secure;
}

}  // namespace brimlet
