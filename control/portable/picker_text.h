// The text rules of the file picker: the dialog's filter list, the splitting
// of a multi-file selection into full paths, and the folder path trimming of
// the folder scan. The filter is taken wide, as the page gave it or as the
// system decoded its code page text, so no trail byte of a double-byte
// character is ever taken for a separator.
#pragma once

#include <cstddef>
#include <string>

#include "upload/portable/path_text.h"

namespace brimlet {

// The open-file dialog's title, the folder browser's prompt, and the filter a
// control starts with.
extern const char kPickerTitle[];          // "Orvo 파일 업로더"
extern const char kFolderBrowserPrompt[];  // "첨부할 폴더를 선택하세요."
extern const char kDefaultFilter[];        // "모든 파일|*.*|"

// "desc|pattern|desc|pattern|" -> "desc\0pattern\0desc\0pattern\0\0". The
// result always ends in two NULs, also when the filter lacks its final '|'.
std::wstring ConvertFilter(const std::wstring& filter);

// Folder and name joined with one '\', or directly when the folder already
// ends in a separator (C:\ + a.txt -> C:\a.txt). Paths are wide (UTF-16), as
// the W dialogs and finds give them: no separator and no NUL ever occurs
// inside another character.
std::wstring JoinFolderAndName(const std::wstring& folder, const std::wstring& name);

// Trailing separators removed, repeatedly (C:\ -> C:); trailing white space
// goes only where a separator follows it.
std::wstring TrimFolderPath(const std::wstring& path);

// Walks the result of a multi-select open-file dialog: either one full path
// followed by two NULs, or a folder, a NUL, each name and a NUL, and a final
// NUL. Reads never go past `size` characters, terminated or not.
class SelectionReader {
 public:
  static constexpr std::size_t kEnd = static_cast<std::size_t>(-1);

  SelectionReader(const wchar_t* buffer, std::size_t size) : m_buffer(buffer), m_size(size) {}

  static std::size_t FirstPosition() { return 0; }
  // The next full path; `position` moves on, and becomes kEnd after the last.
  std::wstring NextPath(std::size_t* position) const;

 private:
  // Length of the NUL-terminated string at `offset`, bounded by the buffer.
  std::size_t StringLength(std::size_t offset) const;
  wchar_t At(std::size_t offset) const { return offset < m_size ? m_buffer[offset] : L'\0'; }

  const wchar_t* m_buffer;
  std::size_t m_size;
};

}  // namespace brimlet
