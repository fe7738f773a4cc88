#include "control/portable/list_text.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

namespace brimlet {
namespace {

const NumberSeparators kComma{".", ","};

TEST(ColumnTitles, PlainTitlesNameTheColumnsOnly) {
  EXPECT_EQ("파일 이름", PlainTitles().name);
  EXPECT_EQ("크기", PlainTitles().size);
}

TEST(ColumnTitles, AfterAddingTheCountHasABlankBeforeItsParenthesis) {
  const ColumnTitles titles = AddedTitles(3, 6000, kComma);
  EXPECT_EQ("파일 이름 (3 개)", titles.name);
  EXPECT_EQ("크기 (6 KB)", titles.size);
  EXPECT_EQ("크기 (1.50 MB)", AddedTitles(1, 1572864, kComma).size);
}

TEST(ColumnTitles, AfterRemovingTheCountHasNoBlank) {
  const ColumnTitles titles = RefreshedTitles(2, 5000, kComma);
  EXPECT_EQ("파일 이름(2 개)", titles.name);
  EXPECT_EQ("크기 (5 KB)", titles.size);
  EXPECT_EQ("크기 (0 Bytes)", RefreshedTitles(1, 0, kComma).size);
}

TEST(ViewModes, EachViewCommandSelectsItsModeAndNothingElseDoes) {
  EXPECT_EQ(ViewMode::Icon, ViewModeOfCommand(ID_VIEW_LARGE_ICONS));
  EXPECT_EQ(ViewMode::SmallIcon, ViewModeOfCommand(ID_VIEW_SMALL_ICONS));
  EXPECT_EQ(ViewMode::List, ViewModeOfCommand(ID_VIEW_LIST));
  EXPECT_EQ(ViewMode::Report, ViewModeOfCommand(ID_VIEW_DETAILS));
  EXPECT_FALSE(ViewModeOfCommand(ID_ADD_FILE));
  EXPECT_FALSE(ViewModeOfCommand(0));
}

}  // namespace
}  // namespace brimlet
