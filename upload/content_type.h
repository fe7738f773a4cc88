// The content type a part declares for a file, from the system's table of
// file classes (the "Content Type" value of the extension's key).
#pragma once

#include <string>

// "application/octet-stream" when the table has no answer.
std::string GetContentType(const std::string& path);
