// The part of the content-type lookup that needs no registry.
#include "upload/portable/content_type_key.h"

namespace brimlet {

std::optional<std::string> ContentTypeKey(const std::string& path,
                                          LeadBytePredicate isLeadByte) {
  const std::size_t dot = FindLastCharacter(path, '.', isLeadByte, 1);
  if (dot == std::string::npos) return std::nullopt;
  return path.substr(dot);
}

std::string ContentTypeOrDefault(const std::optional<std::string>& value) {
  if (!value || value->empty()) return kDefaultContentType;
  return *value;
}

}  // namespace brimlet
