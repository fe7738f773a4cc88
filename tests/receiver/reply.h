// The receiver's answers: the response head, and the printable body it sends
// for reply/N. The body is a function of the position alone, so it can be
// streamed in pieces and a reader can check any stretch of it: every 64-byte
// line starts with its own offset, which shows at a glance where a truncated
// or shifted copy went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace receiver {

constexpr std::size_t kReplyLineBytes = 64;

// Fills `out` with the reply bytes from `offset` to `offset + size`.
void FillReplyText(std::uint64_t offset, char* out, std::size_t size);

// The first `size` bytes of the reply text, for readers that check it whole.
std::string ReplyText(std::size_t size);

std::string StatusReason(int status);

// Status line and headers, blank line included. Every answer closes its
// connection, so clients never wait for a second request.
std::string ResponseHead(int status, std::uint64_t contentLength, const std::string& contentType = "text/plain",
                         const std::string& extraLines = "");

}  // namespace receiver
