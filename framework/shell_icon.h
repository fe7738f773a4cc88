// The shell's icon for a file, found by its name alone: the file is never
// opened, so a locked, missing or slow file still gets the icon of its type.
#pragma once

#include <optional>
#include <string>

#include "framework/unique_handle.h"

namespace fw {

enum class IconSize { Large, Small };

// Never empty: when the shell has no icon, the system's application icon.
UniqueIcon ShellIconByName(const std::wstring& path, IconSize size);

// Where the shell keeps that same icon in its system image lists. The shell
// holds each icon once: one position serves every file of a type, and a file
// that carries its own icon (a program, a shortcut) gets a position of its
// own. Two names with the same position show the same icon, so a caller may
// fetch the icon for the first and reuse it for the rest. Nothing when the
// shell cannot say.
std::optional<int> ShellIconIndexByName(const std::wstring& path);

}  // namespace fw
