// What a page adds to its uploads beside the files: form fields, sent as
// text parts before the file parts, and request header lines. Both stay set
// across uploads until the page changes them; while none is set, the
// request is byte for byte what it would be without them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brimlet {

// Why a name or value is refused; nothing when it is taken.
std::optional<std::string> FormFieldRefusal(const std::string& name, const std::string& value);
std::optional<std::string> RequestHeaderRefusal(const std::string& name, const std::string& value);

// Names and values in the order they were first set; setting a name again
// replaces its value in place.
class NamedValues {
 public:
  // `sameName` compares two names (fields are case-sensitive, headers not).
  explicit NamedValues(bool (*sameName)(const std::string&, const std::string&)) : m_sameName(sameName) {}
  void Set(const std::string& name, const std::string& value);
  void Remove(const std::string& name);
  void Clear() { m_entries.clear(); }
  const std::vector<std::pair<std::string, std::string>>& entries() const { return m_entries; }

 private:
  bool (*m_sameName)(const std::string&, const std::string&);
  std::vector<std::pair<std::string, std::string>> m_entries;
};

bool SameFieldName(const std::string& a, const std::string& b);
bool SameHeaderName(const std::string& a, const std::string& b);

// The text parts of the fields, framing included, as they open the body;
// empty without fields. The first file's part then opens with the CR LF of
// a later part.
std::string FormFieldParts(const NamedValues& fields);
// "Name: value\r\n" for each header.
std::vector<std::string> RequestHeaderLines(const NamedValues& headers);

}  // namespace brimlet
