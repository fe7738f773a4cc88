// What the user is shown of a server's reply. The reply keeps up to 99,999
// bytes, but a message box shows nothing at all once its text reaches 32,767
// characters: the box gets the reply's beginning, cut where a character
// starts, rather than an empty box.
#pragma once

#include <cstddef>
#include <string>

#include "upload/portable/path_text.h"

namespace brimlet {

inline constexpr std::size_t kReplyKeptBytes = 99999;
// The code page a reply is read in unless it says it is UTF-8.
inline constexpr unsigned kKoreanCodePage = 949;
inline constexpr unsigned kUtf8CodePage = 65001;
inline constexpr std::size_t kReplyShownBytes = 32766;

// The reply as kept: its first 99,999 bytes, up to its first NUL (the reply
// is shown as text).
std::string KeptReply(const std::string& received);
// Whether a reply's Content-Type header value names UTF-8 as its charset;
// any other reply is read as code page 949.
bool IsUtf8ContentType(const std::string& contentType);

// The code page a reply is read in, for the page and the user alike.
inline unsigned ReplyCodePage(bool utf8) { return utf8 ? kUtf8CodePage : kKoreanCodePage; }

// The part of a kept reply a message box can show, in the reply's own
// encoding (UTF-8, or code page 949 with its lead bytes).
std::string ShownReply(const std::string& kept, bool utf8, LeadBytePredicate isLeadByte);

}  // namespace brimlet
