// Character-wise searches in multi-byte (ANSI code page) paths. The trail
// byte of a double-byte character may have any value the code page allows,
// so a separator is only recognised where a character starts. The lead-byte
// test is passed in: the module asks the system, the tests use a fixed table.
#pragma once

#include <cstddef>
#include <string>

namespace brimlet {

using LeadBytePredicate = bool (*)(unsigned char byte);

// The lead bytes of the Korean code page 949.
bool IsCp949LeadByte(unsigned char byte);

// Offset of the character after the one at `i` (never past `size`). A lead
// byte at the very end, or before a NUL (never a trail byte), is a character
// of its own.
std::size_t NextCharOffset(const char* text, std::size_t size, std::size_t i,
                           LeadBytePredicate isLeadByte);

// Position of the last character equal to `c` at or after `from`, or npos.
std::size_t FindLastCharacter(const std::string& text, char c,
                              LeadBytePredicate isLeadByte,
                              std::size_t from = 0);

// Paths as the system names them are wide (UTF-16), where '\\' and '.' never
// occur inside another character.

// The text after the last backslash, or the whole path when there is none.
std::wstring BaseName(const std::wstring& path);

// The extension of the path's file name from its last '.', dot included
// (".txt"), or empty when the name has no dot. The shell's icon for a name
// depends on this alone, so it keys the icons of the upload's rows.
std::wstring NameExtension(const std::wstring& path);

// The system's plain path functions take paths shorter than MAX_PATH (260
// characters with the final NUL). A longer full path is opened and searched
// through its extended form: "\\?\C:\..." for a drive, "\\?\UNC\server\share\..."
// for a share. Shorter paths, relative ones and those already extended are
// returned as they are: the list, the page and the wire never see the prefix.
inline constexpr std::size_t kPlainPathLimit = 260;
std::wstring OpenablePath(const std::wstring& path);

}  // namespace brimlet
