// What of a server's reply is kept, and what of it a message box shows.
#include "upload/reply_text.h"

namespace brimlet {

std::string KeptReply(const std::string& received) {
  std::string kept = received.substr(0, kReplyKeptBytes);
  const std::size_t nul = kept.find('\0');
  if (nul != std::string::npos) kept.resize(nul);
  return kept;
}

std::string ShownReply(const std::string& kept, LeadBytePredicate isLeadByte) {
  if (kept.size() <= kReplyShownBytes) return kept;
  std::size_t end = 0;
  while (end < kept.size()) {
    const std::size_t next = end + (isLeadByte(static_cast<unsigned char>(kept[end])) ? 2 : 1);
    if (next > kReplyShownBytes) break;
    end = next;
  }
  return kept.substr(0, end);
}

}  // namespace brimlet
