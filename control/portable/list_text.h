// The column titles of the file list and the view modes its menu switches.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "control/portable/size_text.h"

namespace brimlet {

struct ColumnTitles {
  std::string name;  // column 0
  std::string size;  // column 1
};

// An empty list: "파일 이름" and "크기".
ColumnTitles PlainTitles();
// After files were added: "파일 이름 (3 개)", "크기 (6 KB)".
ColumnTitles AddedTitles(int rowCount, std::uint32_t totalBytes, const NumberSeparators& seps);
// After a removal that left rows: "파일 이름(2 개)", without the blank.
ColumnTitles RefreshedTitles(std::uint32_t fileCount, std::uint32_t totalBytes,
                             const NumberSeparators& seps);

// Why a page's index into the list is refused: "FilePath: ..." with the
// range of rows there are.
std::string IndexRefusal(const std::string& member, long index, long count);

// What FilePath gives a page that may not read the user's folders:
// "C:\fakepath\" and the file's name, as a browser's file input does.
std::wstring FakePath(const std::wstring& path);

// The list view's view modes, as the two low bits of its style.
enum class ViewMode : unsigned { Icon = 0, Report = 1, SmallIcon = 2, List = 3 };

// The mode a view command selects; nothing for any other command.
std::optional<ViewMode> ViewModeOfCommand(unsigned commandId);

}  // namespace brimlet
