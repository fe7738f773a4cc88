#include "upload/portable/cross_origin.h"

#include <algorithm>
#include <cctype>

#include "upload/portable/page_origin.h"

namespace brimlet {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The page's header names, lower case, sorted, each once.
std::vector<std::string> HeaderNames(const std::vector<std::string>& headerLines) {
  std::vector<std::string> names;
  for (const std::string& line : headerLines) names.push_back(Lower(line.substr(0, line.find(':'))));
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

// Credentials are sent, so the answer must name the page itself: a "*" in
// Allow-Origin or Allow-Headers allows nothing.
bool AllowsCredentialedOrigin(const CorsAnswer& answer, const std::string& pageOrigin) {
  return pageOrigin != kOpaqueOrigin && Trimmed(answer.allowOrigin) == pageOrigin &&
         Trimmed(answer.allowCredentials) == "true";
}

}  // namespace

std::string OriginHeaderLine(const std::string& origin) { return "Origin: " + origin + "\r\n"; }

bool NeedsPreflight(const std::string& pageOrigin, const std::string& targetOrigin,
                    const std::vector<std::string>& headerLines) {
  return !pageOrigin.empty() && !SameOrigin(pageOrigin, targetOrigin) && !headerLines.empty();
}

std::vector<std::string> PreflightHeaderLines(const std::string& pageOrigin,
                                              const std::vector<std::string>& headerLines) {
  std::string names;
  for (const std::string& name : HeaderNames(headerLines)) names += (names.empty() ? "" : ",") + name;
  return {OriginHeaderLine(pageOrigin), "Access-Control-Request-Method: POST\r\n",
          "Access-Control-Request-Headers: " + names + "\r\n"};
}

bool PreflightAllows(const CorsAnswer& answer, const std::string& pageOrigin,
                     const std::vector<std::string>& headerLines) {
  if (answer.status < 200 || answer.status > 299 || !AllowsCredentialedOrigin(answer, pageOrigin)) return false;
  std::vector<std::string> allowed;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = answer.allowHeaders.find(',', from);
    allowed.push_back(Lower(Trimmed(answer.allowHeaders.substr(from, comma - from))));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  const std::vector<std::string> wanted = HeaderNames(headerLines);
  return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& name) {
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
  });
}

bool PageReadsReply(const std::string& pageOrigin, const std::string& targetOrigin, const CorsAnswer& reply) {
  return pageOrigin.empty() || SameOrigin(pageOrigin, targetOrigin) || AllowsCredentialedOrigin(reply, pageOrigin);
}

}  // namespace brimlet
