#include "tests/receiver/reply.h"

namespace receiver {

void FillReplyText(std::uint64_t offset, char* out, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t position = offset + i;
    const std::uint64_t line = position / kReplyLineBytes;
    const std::size_t column = static_cast<std::size_t>(position % kReplyLineBytes);
    char c;
    if (column < 10) {
      // Ten decimal digits of the line's own offset, most significant first.
      std::uint64_t value = line * kReplyLineBytes;
      for (std::size_t d = column; d < 9; ++d) value /= 10;
      c = static_cast<char>('0' + value % 10);
    } else if (column == 10) {
      c = ' ';
    } else if (column == kReplyLineBytes - 1) {
      c = '\n';
    } else {
      c = static_cast<char>('a' + (line + column) % 26);
    }
    out[i] = c;
  }
}

std::string ReplyText(std::size_t size) {
  std::string text(size, '\0');
  FillReplyText(0, text.data(), size);
  return text;
}

std::string StatusReason(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Status " + std::to_string(status);
  }
}

std::string ResponseHead(int status, std::uint64_t contentLength, const std::string& contentType,
                         const std::string& extraLines) {
  return "HTTP/1.1 " + std::to_string(status) + " " + StatusReason(status) +
         "\r\n"
         "Server: brimlet-receiver\r\n"
         "Content-Type: " + contentType + "\r\n"
         "Content-Length: " +
         std::to_string(contentLength) +
         "\r\n"
         "Connection: close\r\n" +
         extraLines + "\r\n";
}

}  // namespace receiver
