// The upload address: which addresses are taken, and what a connection and a
// request need from them. The system's own splitter (on the Win32 side, in
// http_upload.cpp) cuts the address into its components; the rules here
// decide what of that split is used, so that they can be tested without it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brimlet {

struct UrlParts {
  bool secure = false;      // https://: the request goes over TLS
  std::string host;         // as the address writes it ("[::1]" for an IPv6 literal)
  std::uint16_t port = 0;   // the address's own, or 80 / 443
  std::string object;       // path and query, "/" when the address has none
};

enum class UrlScheme { kOther, kHttp, kHttps };

// An address as the system's splitter cut it. The texts are pieces of the
// address itself, not decoded.
struct SplitAddress {
  UrlScheme scheme = UrlScheme::kOther;
  std::string host;
  // The address between the host and the path (or the query, or its end):
  // ":8080" when a port is written there, empty when none is.
  std::string afterHost;
  unsigned port = 0;        // the port the splitter reported
  std::string path;
  std::string extra;        // the query and the fragment: "?a=1#top"
};

// Whether the address holds a byte below 0x20 or 0x7F. Passed on, a line
// break would end the request line early and let the address write header
// lines of its own; no splitter is trusted to catch that.
bool HasControlCharacter(const std::string& address);

// What a connection and a request need from a split address, or nothing when
// it cannot be sent as written: a scheme other than http or https, no host, a
// host with a stray bracket, or a port that is not the one the address writes
// (a splitter may wrap 99999 to 34463, or read "8o" as 8) or that is 0 (which
// the connection would take for the scheme's default). The fragment belongs
// to the page and is left out of the object.
std::optional<UrlParts> UrlPartsOf(const SplitAddress& split);

}  // namespace brimlet
