// The head of an HTTP request as the receiver needs it: where it ends in the
// bytes received so far, what it asks for, and how long its body is. Anything
// malformed is answered with a status and a reason, never guessed at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace receiver {

// A head that has not ended within this many bytes is refused (431): it keeps
// a client that never sends the blank line from growing the buffer forever.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// Offset just past the blank line that ends the head (CRLF CRLF, or a bare
// LF LF from a sloppy client), or npos while the head is still incomplete.
std::size_t FindHeadEnd(std::string_view received);

struct RequestHead {
  std::string method;
  std::string target;   // origin form: path and query exactly as sent
  std::string version;  // "HTTP/1.0" or "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed

  // Value of the first header with this name (names compare case-insensitively).
  std::optional<std::string> Header(std::string_view name) const;
};

struct HeadParse {
  bool ok = false;
  int errorStatus = 0;    // the status to answer with when !ok
  std::string error;      // why, in a few words, for the reply body
  RequestHead head;
  std::uint64_t bodyLength = 0;  // from Content-Length; 0 for a request without a body
  bool expectContinue = false;   // an HTTP/1.1 client waits for "100 Continue"
};

// Parses a complete head (as delimited by FindHeadEnd, blank line included).
HeadParse ParseRequestHead(std::string_view head);

// Content-Length rule: decimal digits only, no sign, no overflow; a list or
// repeated header must agree. nullopt when the value cannot be trusted.
std::optional<std::uint64_t> ParseContentLength(std::string_view value);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace receiver
