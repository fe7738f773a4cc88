#include "control/portable/picker_text.h"

#include <algorithm>

namespace brimlet {

const char kPickerTitle[] = "Orvo 파일 업로더";
const char kFolderBrowserPrompt[] = "첨부할 폴더를 선택하세요.";
const char kDefaultFilter[] = "모든 파일|*.*|";

namespace {

bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// Whether the last separator ('\', or '/' when there is no '\') is the last
// character of `text`.
bool EndsInSeparator(const std::wstring& text) {
  if (text.empty()) return false;
  std::size_t separator = text.rfind(L'\\');
  if (separator == std::wstring::npos) separator = text.rfind(L'/');
  return separator != std::wstring::npos && separator == text.size() - 1;
}

}  // namespace

std::wstring ConvertFilter(const std::wstring& filter) {
  std::wstring list = filter;
  std::replace(list.begin(), list.end(), L'|', L'\0');
  // The dialog reads pairs until an empty description: the list needs a NUL
  // after its last pattern and one more after that.
  if (list.empty() || list.back() != L'\0') list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

std::wstring JoinFolderAndName(const std::wstring& folder, const std::wstring& name) {
  if (EndsInSeparator(folder)) return folder + name;
  return folder + L'\\' + name;
}

std::wstring TrimFolderPath(const std::wstring& path) {
  std::wstring result = path;
  for (;;) {
    std::wstring copy = result;
    while (!copy.empty() && IsSpace(copy.back())) copy.pop_back();
    if (!EndsInSeparator(copy)) return result;
    copy.pop_back();
    result = copy;
  }
}

std::size_t SelectionReader::StringLength(std::size_t offset) const {
  std::size_t end = offset;
  while (end < m_size && m_buffer[end] != L'\0') ++end;
  return end - offset;
}

std::wstring SelectionReader::NextPath(std::size_t* position) const {
  if (!position || *position == kEnd || *position >= m_size) {
    if (position) *position = kEnd;
    return {};
  }
  const std::size_t folderLength = StringLength(0);
  const std::wstring folder(m_buffer, folderLength);
  std::size_t name = *position;
  if (name == FirstPosition()) {
    name = folderLength + 1;
    if (At(name) == L'\0') {  // one file: its full path stands alone
      *position = kEnd;
      return folder;
    }
  }
  if (name >= m_size) {  // an unterminated buffer has nothing more
    *position = kEnd;
    return {};
  }
  const std::size_t nameLength = StringLength(name);
  const std::wstring chosen(m_buffer + name, nameLength);
  const std::size_t next = name + nameLength + 1;
  *position = At(next) == L'\0' ? kEnd : next;
  return JoinFolderAndName(folder, chosen);
}

}  // namespace brimlet
