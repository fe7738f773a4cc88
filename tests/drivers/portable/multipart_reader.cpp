#include "tests/drivers/portable/multipart_reader.h"

namespace drivers {
namespace {

// The value of `key="..."` in a header line. The file name is sent without
// escaping, so it runs to the last quote of the line.
std::string QuotedValue(const std::string& line, const std::string& key, bool toLastQuote) {
  const std::string marker = key + "=\"";
  std::size_t start = line.find(marker);
  // "name=" also matches inside "filename=": take the one after "; " or at the start.
  while (start != std::string::npos && start > 0 && line[start - 1] != ' ' && line[start - 1] != ';')
    start = line.find(marker, start + 1);
  if (start == std::string::npos) return {};
  start += marker.size();
  const std::size_t end = toLastQuote ? line.rfind('"') : line.find('"', start);
  return end == std::string::npos || end < start ? std::string() : line.substr(start, end - start);
}

}  // namespace

std::optional<std::vector<FormPart>> ReadMultipart(const std::string& body, const std::string& boundary) {
  const std::string delimiter = "--" + boundary;
  if (body.compare(0, delimiter.size() + 2, delimiter + "\r\n") != 0) return std::nullopt;
  std::vector<FormPart> parts;
  std::size_t position = delimiter.size() + 2;
  for (;;) {
    const std::size_t headerEnd = body.find("\r\n\r\n", position);
    if (headerEnd == std::string::npos) return std::nullopt;
    FormPart part;
    for (std::size_t line = position; line < headerEnd;) {
      std::size_t next = body.find("\r\n", line);
      if (next == std::string::npos || next > headerEnd) next = headerEnd;
      const std::string text = body.substr(line, next - line);
      if (text.rfind("Content-Disposition:", 0) == 0) {
        part.name = QuotedValue(text, "name", false);
        part.filename = QuotedValue(text, "filename", true);
      } else if (text.rfind("Content-Type:", 0) == 0) {
        part.contentType = text.substr(text.find_first_not_of(' ', 13));
      }
      line = next + 2;
    }
    const std::size_t dataStart = headerEnd + 4;
    const std::size_t dataEnd = body.find("\r\n" + delimiter, dataStart);
    if (dataEnd == std::string::npos) return std::nullopt;
    part.data = body.substr(dataStart, dataEnd - dataStart);
    parts.push_back(std::move(part));
    position = dataEnd + 2 + delimiter.size();
    if (body.compare(position, 4, "--\r\n") == 0 && position + 4 == body.size()) return parts;
    if (body.compare(position, 2, "\r\n") != 0) return std::nullopt;
    position += 2;
  }
}

}  // namespace drivers
