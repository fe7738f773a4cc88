#include "control/portable/list_text.h"

#include "progress/portable/progress_text.h"
#include "resources/resource_ids.h"
#include "upload/portable/path_text.h"

namespace brimlet {

ColumnTitles PlainTitles() { return {kNameColumnTitle, kSizeColumnTitle}; }

ColumnTitles AddedTitles(int rowCount, std::uint32_t totalBytes, const NumberSeparators& seps) {
  return {std::string(kNameColumnTitle) + " (" + std::to_string(rowCount) + " 개)",
          std::string(kSizeColumnTitle) + " " + FormatTotalSize(totalBytes, seps)};
}

ColumnTitles RefreshedTitles(std::uint32_t fileCount, std::uint32_t totalBytes,
                             const NumberSeparators& seps) {
  // The count is shown as the signed number it is printed as everywhere.
  return {std::string(kNameColumnTitle) + "(" + std::to_string(static_cast<std::int32_t>(fileCount)) +
              " 개)",
          std::string(kSizeColumnTitle) + " " + FormatTotalSize(totalBytes, seps)};
}

std::optional<ViewMode> ViewModeOfCommand(unsigned commandId) {
  switch (commandId) {
    case ID_VIEW_LARGE_ICONS: return ViewMode::Icon;
    case ID_VIEW_SMALL_ICONS: return ViewMode::SmallIcon;
    case ID_VIEW_LIST: return ViewMode::List;
    case ID_VIEW_DETAILS: return ViewMode::Report;
    default: return std::nullopt;
  }
}

std::string IndexRefusal(const std::string& member, long index, long count) {
  if (count == 0) return member + ": 목록이 비어 있습니다.";
  return member + ": " + std::to_string(index) + "번 파일은 없습니다 (0부터 " + std::to_string(count - 1) + "까지).";
}

std::wstring FakePath(const std::wstring& path) { return L"C:\\fakepath\\" + BaseName(path); }

}  // namespace brimlet
