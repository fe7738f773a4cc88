// An upload from a page to a server of another origin, under the rules
// browsers apply to a page's own requests: the request says where it comes
// from; with the page's own header lines the server is asked first (the
// preflight), and the post goes out only when it agrees; and the reply is
// the page's to read only when the server says so. The user's cookies and
// Windows credentials go with the request, so every answer must allow
// credentials as well as name the page's origin.
#pragma once

#include <string>
#include <vector>

namespace brimlet {

// The headers of an answer that decide what a page on another origin may do.
struct CorsAnswer {
  unsigned long status = 0;
  std::string allowOrigin;       // Access-Control-Allow-Origin
  std::string allowCredentials;  // Access-Control-Allow-Credentials
  std::string allowHeaders;      // Access-Control-Allow-Headers
};

// "Origin: <origin>\r\n".
std::string OriginHeaderLine(const std::string& origin);

// Whether an upload with these page header lines ("Name: value\r\n") from
// `pageOrigin` (empty: no address) to `targetOrigin` asks the server first.
bool NeedsPreflight(const std::string& pageOrigin, const std::string& targetOrigin,
                    const std::vector<std::string>& headerLines);

// The preflight's own header lines: Origin, Access-Control-Request-Method:
// POST and Access-Control-Request-Headers, the page's header names in lower
// case, sorted, comma-separated.
std::vector<std::string> PreflightHeaderLines(const std::string& pageOrigin,
                                              const std::vector<std::string>& headerLines);

// A 2xx answer naming the page's origin, allowing credentials and every one
// of the page's header names.
bool PreflightAllows(const CorsAnswer& answer, const std::string& pageOrigin,
                     const std::vector<std::string>& headerLines);

// Whether the page may read the reply's status and text.
bool PageReadsReply(const std::string& pageOrigin, const std::string& targetOrigin, const CorsAnswer& reply);

}  // namespace brimlet
