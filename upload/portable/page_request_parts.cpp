// The rules for the page's own fields and header lines.
#include "upload/portable/page_request_parts.h"

#include <algorithm>
#include <cctype>

#include "upload/portable/delimiter_watch.h"
#include "upload/portable/multipart.h"
#include "upload/portable/upload_messages.h"

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

// What browsers never let a page set: the request's framing, the user's
// cookies and where the request comes from are the browser's to say.
const char* const kForbiddenHeaders[] = {
    "Accept-Charset", "Accept-Encoding", "Access-Control-Request-Headers", "Access-Control-Request-Method",
    "Connection", "Cookie", "Cookie2", "Date", "DNT", "Expect", "Keep-Alive", "Origin", "Referer", "Set-Cookie",
    "TE", "Trailer", "Transfer-Encoding", "Upgrade", "Via"};
const char* const kForbiddenPrefixes[] = {"Proxy-", "Sec-"};

}  // namespace

std::optional<std::string> FormFieldRefusal(const std::string& name, const std::string& value) {
  if (name.empty()) return kFieldNameEmpty;
  // Servers read the quoted name with `\` as an escape: "a\" is a" to
  // PHP and no name at all to others. Code page 949 has no trail byte '\'.
  if (HasLineBreak(name) || name.find_first_of("\"\\") != std::string::npos)
    return kFieldNameCharacters;
  if (IsFilePartName(name)) return kFieldNameTaken;
  if (HasLineBreak(value)) return kFieldValueLineBreak;
  // The value follows its header's blank line: one that starts with the
  // delimiter's hyphens and boundary would end the part there.
  if (HoldsDelimiter("\r\n\r\n", value)) return kFieldValueDelimiter;
  return std::nullopt;
}

std::optional<std::string> RequestHeaderRefusal(const std::string& name, const std::string& value) {
  if (name.empty()) return kHeaderNameEmpty;
  if (!std::all_of(name.begin(), name.end(), IsTokenCharacter))
    return kHeaderNameCharacters;
  for (const char* owned : kOwnedHeaders)
    if (EqualIgnoringAsciiCase(name, owned)) return FormatOwnedHeaderRefusal(name);
  for (const char* forbidden : kForbiddenHeaders)
    if (EqualIgnoringAsciiCase(name, forbidden)) return FormatForbiddenHeaderRefusal(name);
  for (const std::string prefix : kForbiddenPrefixes)
    if (name.size() >= prefix.size() && EqualIgnoringAsciiCase(name.substr(0, prefix.size()), prefix))
      return FormatForbiddenHeaderRefusal(name);
  const bool control = std::any_of(value.begin(), value.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
  });
  if (control) return kHeaderValueControl;
  return std::nullopt;
}

bool SameFieldName(const std::string& a, const std::string& b) { return a == b; }
bool SameHeaderName(const std::string& a, const std::string& b) { return EqualIgnoringAsciiCase(a, b); }

void NamedValues::Set(const std::string& name, const std::string& value) {
  for (auto& entry : m_entries) {
    if (m_sameName(entry.first, name)) {
      entry.second = value;
      return;
    }
  }
  m_entries.emplace_back(name, value);
}

void NamedValues::Remove(const std::string& name) {
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                [&](const auto& entry) { return m_sameName(entry.first, name); }),
                 m_entries.end());
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
