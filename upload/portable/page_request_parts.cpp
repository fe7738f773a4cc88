// The rules for the page's own fields and header lines.
#include "upload/page_request_parts.h"

#include <algorithm>
#include <cctype>

#include "upload/multipart.h"

namespace brimlet {
namespace {

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// FILE1, FILE2, ... name the file parts; in any case, since servers differ
// on whether field names are case-sensitive.
bool IsFilePartName(const std::string& name) {
  if (name.size() <= 4 || !EqualIgnoringAsciiCase(name.substr(0, 4), "FILE")) return false;
  return std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The characters of a header name (RFC 9110's token).
bool IsTokenCharacter(char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return std::string("!#$%&'*+-.^_`|~").find(c) != std::string::npos;
}

// Header lines the control writes itself, or that WinInet does.
const char* const kOwnedHeaders[] = {"Content-Type", "Content-Length", "Host", "Accept"};

}  // namespace

std::optional<std::string> FormFieldRefusal(const std::string& name, const std::string& value) {
  if (name.empty()) return "필드 이름이 비어 있습니다.";
  if (HasLineBreak(name) || name.find('"') != std::string::npos)
    return "필드 이름에 따옴표나 줄바꿈을 쓸 수 없습니다.";
  if (IsFilePartName(name)) return "FILE 뒤에 숫자가 오는 이름은 파일이 씁니다.";
  if (HasLineBreak(value)) return "필드 값에 줄바꿈을 쓸 수 없습니다.";
  return std::nullopt;
}

std::optional<std::string> RequestHeaderRefusal(const std::string& name, const std::string& value) {
  if (name.empty()) return "헤더 이름이 비어 있습니다.";
  if (!std::all_of(name.begin(), name.end(), IsTokenCharacter))
    return "헤더 이름에는 공백, 콜론, 줄바꿈이나 ASCII 밖의 글자를 쓸 수 없습니다.";
  for (const char* owned : kOwnedHeaders)
    if (EqualIgnoringAsciiCase(name, owned)) return name + " 헤더는 컨트롤이 정합니다.";
  const bool control = std::any_of(value.begin(), value.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
  });
  if (control) return "헤더 값에 줄바꿈이나 제어 문자를 쓸 수 없습니다.";
  return std::nullopt;
}

bool SameFieldName(const std::string& a, const std::string& b) { return a == b; }
bool SameHeaderName(const std::string& a, const std::string& b) { return EqualIgnoringAsciiCase(a, b); }

void NamedValues::Set(const std::string& name, const std::string& value) {
  for (auto& entry : entries_) {
    if (sameName_(entry.first, name)) {
      entry.second = value;
      return;
    }
  }
  entries_.emplace_back(name, value);
}

void NamedValues::Remove(const std::string& name) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const auto& entry) { return sameName_(entry.first, name); }),
                 entries_.end());
}

std::string FormFieldParts(const NamedValues& fields) {
  std::string parts;
  for (const auto& [name, value] : fields.entries()) {
    parts += BoundaryLine(parts.empty());
    parts += "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value;
  }
  return parts;
}

std::vector<std::string> RequestHeaderLines(const NamedValues& headers) {
  std::vector<std::string> lines;
  for (const auto& [name, value] : headers.entries()) lines.push_back(name + ": " + value + "\r\n");
  return lines;
}

}  // namespace brimlet
