// Walks a path character by character; see path_text.h for why.
#include "upload/portable/path_text.h"

namespace brimlet {

bool IsCp949LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::size_t NextCharOffset(const char* text, std::size_t size, std::size_t i,
                           LeadBytePredicate isLeadByte) {
  if (i >= size) return size;
  if (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < size && text[i + 1] != '\0') {
    return i + 2;
  }
  return i + 1;
}

std::size_t FindLastCharacter(const std::string& text, char c,
                              LeadBytePredicate isLeadByte, std::size_t from) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < text.size(); i = NextCharOffset(text.data(), text.size(), i, isLeadByte)) {
    if (i >= from && text[i] == c) found = i;
  }
  return found;
}

std::wstring BaseName(const std::wstring& path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring NameExtension(const std::wstring& path) {
  const std::wstring name = BaseName(path);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

std::wstring OpenablePath(const std::wstring& path) {
  if (path.size() < kPlainPathLimit) return path;
  if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) return path;
  if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') return L"\\\\?\\UNC\\" + path.substr(2);
  const bool drive = path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/') &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  if (!drive) return path;
  // The extended form is taken literally: '/' is no separator there.
  std::wstring extended = L"\\\\?\\" + path;
  for (wchar_t& c : extended) {
    if (c == L'/') c = L'\\';
  }
  return extended;
}

}  // namespace brimlet
