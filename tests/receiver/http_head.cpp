#include "tests/receiver/http_head.h"

#include <limits>

namespace receiver {
namespace {

bool IsTokenChar(char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
  switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~':
      return true;
    default:
      return false;
  }
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

HeadParse Refuse(int status, std::string why) {
  HeadParse result;
  result.errorStatus = status;
  result.error = std::move(why);
  return result;
}

bool MethodHasBody(std::string_view method) {
  return method == "POST" || method == "PUT" || method == "PATCH";
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::size_t FindHeadEnd(std::string_view received) {
  for (std::size_t i = 0; i < received.size(); ++i) {
    if (received[i] != '\n') continue;
    // A line ends here; the head ends if the next line is empty.
    if (i + 1 < received.size() && received[i + 1] == '\n') return i + 2;
    if (i + 2 < received.size() && received[i + 1] == '\r' && received[i + 2] == '\n')
      return i + 3;
  }
  return std::string_view::npos;
}

std::optional<std::string> RequestHead::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (EqualsIgnoringCase(key, name)) return value;
  return std::nullopt;
}

std::optional<std::uint64_t> ParseContentLength(std::string_view value) {
  std::optional<std::uint64_t> agreed;
  // "12, 12" is what a proxy makes of two equal headers; it must still agree.
  while (true) {
    const std::size_t comma = value.find(',');
    const std::string_view item = Trim(value.substr(0, comma));
    if (item.empty()) return std::nullopt;
    std::uint64_t number = 0;
    for (char c : item) {
      if (c < '0' || c > '9') return std::nullopt;
      const unsigned digit = static_cast<unsigned>(c - '0');
      if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
      number = number * 10 + digit;
    }
    if (agreed && *agreed != number) return std::nullopt;
    agreed = number;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return agreed;
}

HeadParse ParseRequestHead(std::string_view head) {
  if (head.size() > kMaxHeadBytes) return Refuse(431, "request head too large");

  // Split into lines; a CR before the LF is part of the line ending.
  std::vector<std::string_view> lines;
  bool ended = false;
  while (!head.empty() && !ended) {
    const std::size_t lf = head.find('\n');
    if (lf == std::string_view::npos) break;
    std::string_view line = head.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    head.remove_prefix(lf + 1);
    ended = line.empty();
    if (!ended) lines.push_back(line);
  }
  if (!ended) return Refuse(400, "head does not end with a blank line");
  if (lines.empty()) return Refuse(400, "empty request");

  HeadParse result;
  RequestHead& request = result.head;
  const std::string_view requestLine = lines.front();
  const std::size_t firstSpace = requestLine.find(' ');
  const std::size_t lastSpace = requestLine.rfind(' ');
  if (firstSpace == std::string_view::npos || firstSpace == lastSpace)
    return Refuse(400, "malformed request line");
  request.method = std::string(requestLine.substr(0, firstSpace));
  request.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
  request.version = std::string(requestLine.substr(lastSpace + 1));
  if (request.method.empty()) return Refuse(400, "malformed request line");
  for (char c : request.method)
    if (!IsTokenChar(c)) return Refuse(400, "malformed method");
  if (request.target.empty() || request.target.front() != '/')
    return Refuse(400, "target must be a path");
  for (char c : request.target)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return Refuse(400, "malformed target");
  if (request.version.compare(0, 5, "HTTP/") != 0) return Refuse(400, "malformed version");
  if (request.version != "HTTP/1.0" && request.version != "HTTP/1.1")
    return Refuse(505, "only HTTP/1.0 and HTTP/1.1");

  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.front() == ' ' || line.front() == '\t') return Refuse(400, "folded header line");
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return Refuse(400, "malformed header line");
    const std::string_view name = line.substr(0, colon);
    for (char c : name)
      if (!IsTokenChar(c)) return Refuse(400, "malformed header name");
    request.headers.emplace_back(std::string(name), std::string(Trim(line.substr(colon + 1))));
  }

  if (request.Header("Transfer-Encoding"))
    return Refuse(501, "transfer codings are not accepted; send Content-Length");

  std::optional<std::uint64_t> length;
  for (const auto& [key, value] : request.headers) {
    if (!EqualsIgnoringCase(key, "Content-Length")) continue;
    const auto parsed = ParseContentLength(value);
    if (!parsed || (length && *length != *parsed)) return Refuse(400, "bad Content-Length");
    length = parsed;
  }
  if (!length && MethodHasBody(request.method)) return Refuse(411, "Content-Length required");
  result.bodyLength = length.value_or(0);

  const auto expect = request.Header("Expect");
  result.expectContinue =
      request.version == "HTTP/1.1" && expect && EqualsIgnoringCase(*expect, "100-continue");
  result.ok = true;
  return result;
}

}  // namespace receiver
