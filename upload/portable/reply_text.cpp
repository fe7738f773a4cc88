// What of a server's reply is kept, and what of it a message box shows.
#include "upload/portable/reply_text.h"

#include <cctype>

namespace brimlet {

std::string KeptReply(const std::string& received) {
  std::string kept = received.substr(0, kReplyKeptBytes);
  const std::size_t nul = kept.find('\0');
  if (nul != std::string::npos) kept.resize(nul);
  return kept;
}

bool IsUtf8ContentType(const std::string& contentType) {
  std::string lower;
  for (const char c : contentType)
    if (c != ' ' && c != '\t' && c != '"' && c != '\'') lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::size_t at = lower.find("charset="); at != std::string::npos; at = lower.find("charset=", at + 1)) {
    // A parameter, not the tail of another word.
    if (at != 0 && lower[at - 1] != ';') continue;
    const std::string value = lower.substr(at + 8, lower.find(';', at) - (at + 8));
    return value == "utf-8" || value == "utf8";
  }
  return false;
}

std::string ShownReply(const std::string& kept, bool utf8, LeadBytePredicate isLeadByte) {
  if (kept.size() <= kReplyShownBytes) return kept;
  // A character never takes fewer bytes in UTF-8 than units in UTF-16, so
  // the cut in bytes holds for the box's characters too.
  if (utf8) {
    std::size_t end = kReplyShownBytes;
    while (end > 0 && (static_cast<unsigned char>(kept[end]) & 0xC0) == 0x80) --end;
    return kept.substr(0, end);
  }
  std::size_t end = 0;
  while (end < kept.size()) {
    const std::size_t next = NextCharOffset(kept.data(), kept.size(), end, isLeadByte);
    if (next > kReplyShownBytes) break;
    end = next;
  }
  return kept.substr(0, end);
}

}  // namespace brimlet
