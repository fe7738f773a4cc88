// The content type a part declares for a file, from the system's table of
// file classes (the "Content Type" value of the extension's key).
#pragma once

#include <optional>
#include <string>

namespace brimlet {

// For a key taken from a path (nullopt: nothing to look up);
// "application/octet-stream" when the table has no answer.
std::string ContentTypeForKey(const std::optional<std::string>& key);

}  // namespace brimlet
