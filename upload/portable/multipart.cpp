// The framing texts; their lengths feed the declared Content-Length.
#include "upload/portable/multipart.h"

namespace brimlet {

std::string BoundaryLine(bool firstPart) {
  std::string line = firstPart ? "" : "\r\n";
  return line + "--" + kBoundary + "\r\n";
}

std::string PartHeader(std::uint32_t number, const std::string& path,
                       const std::string& contentType) {
  return "Content-Disposition: form-data; name=\"FILE" + std::to_string(number) +
         "\"; filename=\"" + path + "\"\r\nContent-Type: " + contentType +
         "\r\n\r\n";
}

std::string Trailer() { return std::string("\r\n--") + kBoundary + "--\r\n"; }

std::string AcceptHeaderLine() { return "Accept: */*\r\n"; }

std::string ContentTypeHeaderLine() {
  return std::string("Content-Type: multipart/form-data; boundary=") +
         kBoundary + "\r\n";
}

std::string ContentLengthHeaderLine(std::uint64_t contentLength) {
  return "Content-Length: " + std::to_string(contentLength) + "\r\n";
}

}  // namespace brimlet
