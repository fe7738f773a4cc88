// The content type a part declares for a file, from the system's table of
// file classes (the "Content Type" value of the extension's key).
#pragma once

#include <optional>
#include <string>

// "application/octet-stream" when the table has no answer.
std::string GetContentType(const std::string& path);
// The same for a key already taken from a path (nullopt: nothing to look up).
std::string ContentTypeForKey(const std::optional<std::string>& key);
