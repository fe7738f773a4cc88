#include "container/portable/page_scanner.h"

#include <algorithm>
#include <utility>

#include "container/portable/page_text.h"

namespace container::page {
namespace {

constexpr size_t kMaxLabelBytes = 4096;
constexpr size_t kMaxReferenceBytes = 32;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), Lower);
  return result;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierChar(char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '$'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool IsIdentifier(std::string_view text) {
  return !text.empty() && !IsDigit(text.front()) &&
         std::all_of(text.begin(), text.end(), IsIdentifierChar);
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  c = Lower(c);
  return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// Finds `needle` (lower case) in `text` from `from`, ignoring ASCII case.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && Lower(text[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

// Collapses runs of white space to one space and trims the ends.
std::string CollapseSpaces(std::string_view text) {
  std::string result;
  bool space = false;
  for (char c : Trim(text)) {
    if (IsSpace(c)) {
      space = true;
      continue;
    }
    if (space) result.push_back(' ');
    space = false;
    result.push_back(c);
  }
  return result;
}

// The text of a piece of markup with its tags left out.
std::string WithoutTags(std::string_view markup) {
  std::string text;
  bool inTag = false;
  for (char c : markup) {
    if (c == '<') inTag = true;
    else if (c == '>' && inTag) inTag = false;
    else if (!inTag) text.push_back(c);
  }
  return text;
}

struct Tag {
  std::string name;  // lower case
  bool closing = false;
  std::vector<std::pair<std::string, std::string>> attributes;  // names lower case
  size_t start = 0;  // of its '<'
  size_t end = 0;    // just past its '>'

  std::string Attribute(std::string_view name) const {
    for (const auto& attribute : attributes) {
      if (attribute.first == name) return attribute.second;
    }
    return {};
  }
  bool Has(std::string_view name) const {
    return std::any_of(attributes.begin(), attributes.end(),
                       [name](const auto& attribute) { return attribute.first == name; });
  }
};

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') newlines_.push_back(i);
    }
  }

  Page Run() {
    while (pos_ < text_.size()) {
      const size_t open = text_.find('<', pos_);
      if (open == std::string_view::npos) break;
      pos_ = open;
      if (text_.substr(open, 4) == "<!--") {
        SkipComment();
        continue;
      }
      const char next = open + 1 < text_.size() ? text_[open + 1] : '\0';
      if (next == '!' || next == '?') {
        SkipDeclaration();
        continue;
      }
      const bool closing = next == '/';
      const size_t nameStart = open + 1 + (closing ? 1 : 0);
      if (nameStart >= text_.size() || !IsAsciiLetter(text_[nameStart])) {
        pos_ = open + 1;  // a '<' in running text
        continue;
      }
      Tag tag = ReadTag(open, closing, nameStart);
      Handle(tag);
    }
    if (!openObjects_.empty()) {
      Problem("<object> at line " + std::to_string(page_.objects[openObjects_.back()].line) +
              " is not closed");
    }
    return std::move(page_);
  }

 private:
  int LineAt(size_t offset) const {
    return static_cast<int>(std::lower_bound(newlines_.begin(), newlines_.end(), offset) -
                            newlines_.begin()) + 1;
  }

  void Problem(std::string text) { page_.problems.push_back(std::move(text)); }

  void SkipComment() {
    const size_t end = text_.find("-->", pos_ + 4);
    if (end == std::string_view::npos) {
      Problem("comment at line " + std::to_string(LineAt(pos_)) + " is not closed");
      pos_ = text_.size();
      return;
    }
    pos_ = end + 3;
  }

  void SkipDeclaration() {
    const size_t end = text_.find('>', pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
  }

  Tag ReadTag(size_t open, bool closing, size_t nameStart) {
    Tag tag;
    tag.start = open;
    tag.closing = closing;
    size_t i = nameStart;
    while (i < text_.size() && !IsSpace(text_[i]) && text_[i] != '>' && text_[i] != '/') ++i;
    tag.name = LowerCase(text_.substr(nameStart, i - nameStart));
    for (;;) {
      while (i < text_.size() && (IsSpace(text_[i]) || text_[i] == '/')) ++i;
      if (i >= text_.size()) {
        Problem("<" + tag.name + "> at line " + std::to_string(LineAt(open)) + " is not closed");
        break;
      }
      if (text_[i] == '>') {
        ++i;
        break;
      }
      const size_t nameBegin = i;
      while (i < text_.size() && !IsSpace(text_[i]) && text_[i] != '=' && text_[i] != '>' &&
             text_[i] != '/') {
        ++i;
      }
      std::string name = LowerCase(text_.substr(nameBegin, i - nameBegin));
      if (name.empty()) {
        ++i;  // a stray '=' or the like: step over it
        continue;
      }
      size_t look = i;
      while (look < text_.size() && IsSpace(text_[look])) ++look;
      std::string value;
      if (look < text_.size() && text_[look] == '=') {
        i = look + 1;
        while (i < text_.size() && IsSpace(text_[i])) ++i;
        value = ReadValue(&i, tag.name, open);
      }
      tag.attributes.emplace_back(std::move(name), std::move(value));
    }
    tag.end = i;
    pos_ = i;
    return tag;
  }

  std::string ReadValue(size_t* at, const std::string& tagName, size_t open) {
    size_t i = *at;
    if (i < text_.size() && (text_[i] == '"' || text_[i] == '\'')) {
      const char quote = text_[i];
      const size_t close = text_.find(quote, i + 1);
      if (close == std::string_view::npos) {
        Problem("a quoted value in <" + tagName + "> at line " + std::to_string(LineAt(open)) +
                " is not closed");
        *at = text_.size();
        return DecodeEntities(text_.substr(i + 1));
      }
      *at = close + 1;
      return DecodeEntities(text_.substr(i + 1, close - i - 1));
    }
    const size_t begin = i;
    while (i < text_.size() && !IsSpace(text_[i]) && text_[i] != '>') ++i;
    *at = i;
    return DecodeEntities(text_.substr(begin, i - begin));
  }

  // The raw text of an element whose content is not markup, up to its end
  // tag; the scan continues after that end tag.
  std::string_view RawContent(const Tag& tag) {
    const size_t close = FindNoCase(text_, "</" + tag.name, tag.end);
    if (close == std::string_view::npos) {
      Problem("<" + tag.name + "> at line " + std::to_string(LineAt(tag.start)) +
              " has no end tag");
      pos_ = text_.size();
      return text_.substr(tag.end);
    }
    const size_t gt = text_.find('>', close);
    pos_ = gt == std::string_view::npos ? text_.size() : gt + 1;
    return text_.substr(tag.end, close - tag.end);
  }

  void Handle(const Tag& tag) {
    if (tag.closing) {
      if (tag.name == "object" && !openObjects_.empty()) openObjects_.pop_back();
      return;
    }
    if (tag.name == "object") return OnObject(tag);
    if (tag.name == "param") return OnParam(tag);
    if (tag.name == "script") return OnScript(tag);
    if (tag.name == "button") return OnButton(tag);
    if (tag.name == "input") return OnInput(tag);
    if (tag.name == "body" && tag.Has("onload")) {
      page_.onload = tag.Attribute("onload");
      page_.onloadLine = LineAt(tag.start);
      return;
    }
    if (tag.name == "title") {
      page_.title = CollapseSpaces(DecodeEntities(RawContent(tag)));
      return;
    }
    if (tag.name == "style" || tag.name == "textarea") RawContent(tag);
  }

  void OnObject(const Tag& tag) {
    ObjectTag object;
    object.id = tag.Has("id") ? tag.Attribute("id") : tag.Attribute("name");
    object.line = LineAt(tag.start);
    if (tag.Has("classid")) {
      object.classId = ClassIdFromAttribute(tag.Attribute("classid"));
      if (object.classId.empty()) {
        Problem("<object> at line " + std::to_string(object.line) + " has a classid that is not " +
                "clsid: and a GUID");
      }
    }
    if (tag.Has("width")) object.width = ParsePixels(tag.Attribute("width"));
    if (tag.Has("height")) object.height = ParsePixels(tag.Attribute("height"));
    page_.objects.push_back(std::move(object));
    openObjects_.push_back(page_.objects.size() - 1);
  }

  void OnParam(const Tag& tag) {
    const int line = LineAt(tag.start);
    if (openObjects_.empty()) {
      Problem("<param> at line " + std::to_string(line) + " is outside any <object>");
      return;
    }
    if (tag.Attribute("name").empty()) {
      Problem("<param> at line " + std::to_string(line) + " has no name");
      return;
    }
    page_.objects[openObjects_.back()].params.push_back({tag.Attribute("name"), tag.Attribute("value")});
  }

  void OnScript(const Tag& tag) {
    const int line = LineAt(tag.start);
    const std::string_view content = RawContent(tag);
    if (!IsJScriptBlock(tag.Attribute("language"), tag.Attribute("type"))) {
      Problem("script at line " + std::to_string(line) + " is not JScript and is not run");
      return;
    }
    if (tag.Has("src")) {
      Problem("script at line " + std::to_string(line) + " names a src, which is not loaded");
      return;
    }
    ScriptBlock block;
    block.line = LineAt(tag.end);
    block.code = WithHtmlCommentsAsLineComments(std::string(content));
    if (tag.Has("for") || tag.Has("event")) {
      // <script for="upload" event="UploadFinish(success)"> is the same
      // handler as function upload::UploadFinish(success). The header goes on
      // the code's first line so that line numbers stay those of the page.
      const std::string target(Trim(tag.Attribute("for")));
      std::string event(Trim(tag.Attribute("event")));
      const size_t paren = event.find('(');
      const std::string eventName(Trim(std::string_view(event).substr(0, paren)));
      if (!IsIdentifier(target) || !IsIdentifier(eventName) ||
          (paren != std::string::npos && event.back() != ')')) {
        Problem("script at line " + std::to_string(line) + " has a for/event pair that names " +
                "no object and event");
        return;
      }
      if (paren == std::string::npos) event += "()";
      block.code = "function " + target + "::" + event + " {" + block.code + "\n}";
    }
    page_.scripts.push_back(std::move(block));
  }

  void OnButton(const Tag& tag) {
    Button button;
    button.id = tag.Attribute("id");
    button.onclick = tag.Attribute("onclick");
    button.line = LineAt(tag.start);
    // The end tags are found once for the whole page, so a page of
    // unclosed buttons does not cost a search for each one; a label is
    // short, so an end tag further away belongs to a later button.
    const size_t close = NextButtonEnd(tag.end);
    if (close != std::string_view::npos && close - tag.end <= kMaxLabelBytes) {
      button.label =
          CollapseSpaces(DecodeEntities(WithoutTags(text_.substr(tag.end, close - tag.end))));
    }
    if (!button.onclick.empty()) page_.buttons.push_back(std::move(button));
  }

  void OnInput(const Tag& tag) {
    const std::string type = LowerCase(Trim(tag.Attribute("type")));
    if (type != "button" && type != "submit" && type != "reset") return;
    if (!tag.Has("onclick")) return;
    page_.buttons.push_back(
        {tag.Attribute("id"), CollapseSpaces(tag.Attribute("value")), tag.Attribute("onclick"),
         LineAt(tag.start)});
  }

  size_t NextButtonEnd(size_t from) {
    if (!buttonEndsFound_) {
      for (size_t at = FindNoCase(text_, "</button", 0); at != std::string_view::npos;
           at = FindNoCase(text_, "</button", at + 1)) {
        buttonEnds_.push_back(at);
      }
      buttonEndsFound_ = true;
    }
    const auto next = std::lower_bound(buttonEnds_.begin(), buttonEnds_.end(), from);
    return next == buttonEnds_.end() ? std::string_view::npos : *next;
  }

  std::string_view text_;
  std::vector<size_t> newlines_;
  std::vector<size_t> buttonEnds_;
  bool buttonEndsFound_ = false;
  size_t pos_ = 0;
  Page page_;
  std::vector<size_t> openObjects_;  // indices into page_.objects
};

}  // namespace

Page ScanPage(std::string_view text) { return Scanner(text).Run(); }

std::string DecodeEntities(std::string_view text) {
  static const std::pair<std::string_view, unsigned long> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0},
  };
  std::string result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) break;
    result.append(text.substr(i, amp - i));
    i = amp + 1;
    // References are short; a far ';' belongs to something else, and
    // looking no further keeps a run of bare '&'s linear.
    const size_t semi = text.substr(0, amp + kMaxReferenceBytes).find(';', amp);
    if (semi == std::string_view::npos) {
      result.push_back('&');
      continue;
    }
    const std::string_view body = text.substr(amp + 1, semi - amp - 1);
    bool decoded = false;
    if (body.size() >= 2 && body[0] == '#') {
      const bool hex = body[1] == 'x' || body[1] == 'X';
      const std::string_view digits = body.substr(hex ? 2 : 1);
      unsigned long value = 0;
      bool valid = !digits.empty();
      for (char c : digits) {
        const int digit = hex ? HexValue(c) : (IsDigit(c) ? c - '0' : -1);
        if (digit < 0) valid = false;
        if (!valid) break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        if (value > 0x10FFFF) value = 0x110000;  // stays out of range, no overflow
      }
      if (valid) {
        AppendUtf8(&result, value);
        decoded = true;
      }
    } else {
      for (const auto& named : kNamed) {
        if (LowerCase(body) == named.first) {
          AppendUtf8(&result, named.second);
          decoded = true;
          break;
        }
      }
    }
    if (decoded) {
      i = semi + 1;
    } else {
      result.push_back('&');
    }
  }
  if (i < text.size()) result.append(text.substr(i));
  return result;
}

std::string ClassIdFromAttribute(std::string_view value) {
  value = Trim(value);
  if (value.size() < 6 || LowerCase(value.substr(0, 6)) != "clsid:") return {};
  value = Trim(value.substr(6));
  if (!value.empty() && value.front() == '{') {
    if (value.back() != '}') return {};
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() != 36) return {};
  std::string guid = "{";
  for (size_t i = 0; i < value.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (value[i] == '-')) return {};
    if (!dash && HexValue(value[i]) < 0) return {};
    const char c = value[i];
    guid.push_back((c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return guid + "}";
}

int ParsePixels(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && LowerCase(value.substr(value.size() - 2)) == "px") {
    value = Trim(value.substr(0, value.size() - 2));
  }
  if (value.empty() || value.size() > 5) return -1;
  int pixels = 0;
  for (char c : value) {
    if (!IsDigit(c)) return -1;
    pixels = pixels * 10 + (c - '0');
  }
  return pixels <= 16384 ? pixels : -1;
}

std::string WithHtmlCommentsAsLineComments(std::string code) {
  size_t lineStart = 0;
  while (lineStart < code.size()) {
    size_t i = lineStart;
    while (i < code.size() && (code[i] == ' ' || code[i] == '\t')) ++i;
    if (code.compare(i, 4, "<!--") == 0) {
      code.replace(i, 4, "//  ");
    } else if (code.compare(i, 3, "-->") == 0) {
      code.replace(i, 3, "// ");
    }
    const size_t newline = code.find('\n', i);
    if (newline == std::string::npos) break;
    lineStart = newline + 1;
  }
  return code;
}

bool IsJScriptBlock(std::string_view language, std::string_view type) {
  const std::string lang = LowerCase(Trim(language));
  if (!lang.empty()) {
    return lang == "jscript" || lang == "ecmascript" || lang.rfind("javascript", 0) == 0;
  }
  std::string kind = LowerCase(Trim(type));
  const size_t semi = kind.find(';');
  if (semi != std::string::npos) kind = std::string(Trim(std::string_view(kind).substr(0, semi)));
  if (kind.empty()) return true;
  static const char* const kTypes[] = {"text/javascript", "text/jscript", "application/javascript",
                                       "application/x-javascript", "text/ecmascript",
                                       "application/ecmascript"};
  return std::any_of(std::begin(kTypes), std::end(kTypes),
                     [&kind](const char* known) { return kind == known; });
}

}  // namespace container::page
