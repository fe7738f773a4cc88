// Splitting the upload address into what a connection and a request need.
// Only absolute http:// and https:// addresses are taken; anything else is
// refused before any connection is attempted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brimlet {

struct UrlParts {
  bool secure = false;      // https://: the request goes over TLS
  std::string host;         // without brackets for an IPv6 literal
  std::uint16_t port = 0;   // the address's own, or 80 / 443
  std::string object;       // path and query, "/" when the address has none
};

std::optional<UrlParts> SplitUrl(const std::string& url);

}  // namespace brimlet
