// The shell's icon for a file, found by its name alone: the file is never
// opened, so a locked, missing or slow file still gets the icon of its type.
#pragma once

#include <string>

#include "framework/unique_handle.h"

namespace fw {

enum class IconSize { Large, Small };

// Never empty: when the shell has no icon, the system's application icon.
UniqueIcon ShellIconByName(const std::string& path, IconSize size);

}  // namespace fw
