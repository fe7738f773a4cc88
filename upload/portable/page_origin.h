// Where a page comes from, and whether the deployer's site lock lets it use
// the control. A page's origin is scheme, host and port as the web
// serializes them; a page with no address at all (a desktop program's
// container) has none, and the control then behaves as it always has.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "upload/portable/url_parts.h"

namespace brimlet {

// The origin of a page whose address cannot be read as an http or https
// address (a file: page, or one that does not parse): it matches nothing,
// not even itself, and is what the page's uploads announce.
inline constexpr char kOpaqueOrigin[] = "null";

// "https://up.example.com", "http://127.0.0.1:8080": the scheme and host in
// lower case, the port left out when it is the scheme's own.
std::string OriginOf(const std::string& address);
// The origin a request goes to, from the parts it connects with.
std::string OriginOf(const UrlParts& target);

// Two origins are the same only when neither is opaque.
bool SameOrigin(const std::string& a, const std::string& b);

// Whether an entry of the lock names the page's origin: "https://a.example.com"
// that origin exactly, "https://*.example.com" any host below example.com
// (never example.com itself, never an address literal), scheme and port
// always as written. Entries that do not parse name nothing. An entry may
// hold several sites separated by spaces, as the Windows Installer package
// writes the sites it is given.
bool SiteListed(const std::vector<std::string>& allowedSites, const std::string& pageOrigin);

// What a page may do with the control.
struct PageStanding {
  bool allowed = true;        // may script it and have its stored properties applied
  bool seesFullPaths = true;  // reads the user's folders through FilePath
};
// `pageOrigin` is nothing when the container gave no address; `allowedSites`
// nothing when no lock is set.
PageStanding StandingOf(const std::optional<std::string>& pageOrigin,
                        const std::optional<std::vector<std::string>>& allowedSites);

// An https page that would send the user's files over plain http.
bool MixedContent(const std::string& pageOrigin, const UrlParts& target);

}  // namespace brimlet
