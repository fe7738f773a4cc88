// Walks a path character by character; see path_text.h for why.
#include "upload/portable/path_text.h"

namespace brimlet {

bool IsCp949LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::size_t FindLastCharacter(const std::string& text, char c,
                              LeadBytePredicate isLeadByte, std::size_t from) {
  std::size_t found = std::string::npos;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i >= from && text[i] == c) found = i;
    // A lead byte at the very end has no trail: it is a character of its own.
    const bool pair = isLeadByte(static_cast<unsigned char>(text[i])) &&
                      i + 1 < text.size();
    i += pair ? 2 : 1;
  }
  return found;
}

std::string BaseName(const std::string& path, LeadBytePredicate isLeadByte) {
  const std::size_t slash = FindLastCharacter(path, '\\', isLeadByte);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NameExtension(const std::string& path, LeadBytePredicate isLeadByte) {
  const std::string name = BaseName(path, isLeadByte);
  const std::size_t dot = FindLastCharacter(name, '.', isLeadByte);
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

}  // namespace brimlet
