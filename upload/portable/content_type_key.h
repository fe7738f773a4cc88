// Which key of the system's file-class table names a path's content type,
// and what a part says when the table has no answer. The registry read
// itself is the module's; these are the rules around it.
#pragma once

#include <optional>
#include <string>

#include "upload/portable/path_text.h"

namespace brimlet {

inline constexpr const char kDefaultContentType[] = "application/octet-stream";

// The tail of the path from its last '.' to the end, dot included (".txt").
// A dot in the first byte does not count, and the last dot may lie in a
// folder name ("C:\my.dir\file" gives ".dir\file"). Without a dot there is
// nothing to look up.
std::optional<std::string> ContentTypeKey(const std::string& path,
                                          LeadBytePredicate isLeadByte);

// The type read from the table, or the default when the read gave nothing.
std::string ContentTypeOrDefault(const std::optional<std::string>& value);

}  // namespace brimlet
