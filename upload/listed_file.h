// A file of the list, opened for reading the one way the control opens it:
// read access, shared with readers only, so a file another program holds open
// for writing is refused; through the extended form when its path is long.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "framework/unique_handle.h"

namespace brimlet {

// `flags` are CreateFile's attributes and flags (a hint such as sequential
// reading); an empty handle when the file cannot be opened.
fw::UniqueFile OpenListedFile(const std::wstring& path, DWORD flags);

// The open file's full size, or nothing when the system cannot say.
std::optional<std::uint64_t> OpenFileSize(HANDLE file);

}  // namespace brimlet
