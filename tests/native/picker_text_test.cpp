#include "control/portable/picker_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace brimlet {
namespace {

std::vector<std::wstring> AllPaths(const std::wstring& buffer) {
  SelectionReader reader(buffer.data(), buffer.size());
  std::vector<std::wstring> paths;
  std::size_t position = SelectionReader::FirstPosition();
  while (position != SelectionReader::kEnd && paths.size() < 100) paths.push_back(reader.NextPath(&position));
  return paths;
}

TEST(FilterConversion, DefaultKoreanFilterBecomesOnePairWithTwoFinalNuls) {
  EXPECT_EQ(std::wstring(L"\uBAA8\uB4E0 \uD30C\uC77C\0*.*\0\0", 11), ConvertFilter(L"\uBAA8\uB4E0 \uD30C\uC77C|*.*|"));
}

TEST(FilterConversion, FilterWithoutFinalBarStillEndsInTwoNuls) {
  EXPECT_EQ(std::wstring(L"Text\0*.txt\0All\0*.*\0\0", 20), ConvertFilter(L"Text|*.txt|All|*.*"));
  EXPECT_EQ(std::wstring(L"\0\0", 2), ConvertFilter(L""));
}

// Characters no code page holds reach the dialog as they are: a Thai
// pattern is not turned into "*.???", which would match any extension.
TEST(FilterConversion, EveryCharacterReachesTheDialog) {
  EXPECT_EQ(std::wstring(L"\u0E44\u0E17\0*.\u0E44\u0E17\0\0", 9), ConvertFilter(L"\u0E44\u0E17|*.\u0E44\u0E17|"));
}

TEST(FilterConversion, LongFilterIsConvertedWhole) {
  std::wstring filter;
  for (int i = 0; i < 2000; ++i) filter += L"\uC774\uBBF8\uC9C0|*.jpg|";
  const std::wstring converted = ConvertFilter(filter);
  ASSERT_EQ(filter.size() + 1, converted.size());
  EXPECT_EQ(4000u + 1, static_cast<std::size_t>(std::count(converted.begin(), converted.end(), L'\0')));
}

TEST(JoiningFolderAndName, OneSeparatorUnlessTheFolderEndsInOne) {
  EXPECT_EQ(L"C:\\a.txt", JoinFolderAndName(L"C:\\", L"a.txt"));
  EXPECT_EQ(L"C:\\Docs\\a.txt", JoinFolderAndName(L"C:\\Docs", L"a.txt"));
  EXPECT_EQ(L"C:/Docs/a.txt", JoinFolderAndName(L"C:/Docs/", L"a.txt"));
  // A folder with a backslash earlier and a slash last: the backslash is the
  // last separator looked at, and it is not at the end.
  EXPECT_EQ(L"C:\\Docs/\\a.txt", JoinFolderAndName(L"C:\\Docs/", L"a.txt"));
  EXPECT_EQ(L"\\a.txt", JoinFolderAndName(L"", L"a.txt"));
  EXPECT_EQ(L"D:\\자료\\보고서.hwp", JoinFolderAndName(L"D:\\자료", L"보고서.hwp"));
}

TEST(TrimmingFolderPaths, TrailingSeparatorsGoAllOfThemAndWhiteSpaceOnlyBeforeOne) {
  EXPECT_EQ(L"C:", TrimFolderPath(L"C:\\"));
  EXPECT_EQ(L"C:\\Docs", TrimFolderPath(L"C:\\Docs\\\\"));
  EXPECT_EQ(L"C:/Docs", TrimFolderPath(L"C:/Docs//"));
  EXPECT_EQ(L"C:\\한글 폴더", TrimFolderPath(L"C:\\한글 폴더\\"));
  EXPECT_EQ(L"C:\\r\u00e9sum\u00e9s", TrimFolderPath(L"C:\\r\u00e9sum\u00e9s\\"));
  EXPECT_EQ(L"", TrimFolderPath(L"\\\\\\"));
  EXPECT_EQ(L"C:\\Docs  ", TrimFolderPath(L"C:\\Docs  "));
  EXPECT_EQ(L"C:\\Docs", TrimFolderPath(L"C:\\Docs\\  "));
  EXPECT_EQ(L"C:\\Docs ", TrimFolderPath(L"C:\\Docs \\"));
  EXPECT_EQ(L"C:", TrimFolderPath(L"C:\\ \\"));
}

TEST(SplittingTheSelection, OneFileIsTheFirstStringWholeWithEveryCharacter) {
  const std::wstring buffer(L"D:\\\u0e20\u0e32\u0e29\u0e32 보고서.txt\0\0", 17);
  EXPECT_EQ(std::vector<std::wstring>{L"D:\\\u0e20\u0e32\u0e29\u0e32 보고서.txt"}, AllPaths(buffer));
}

TEST(SplittingTheSelection, SeveralFilesAreJoinedToTheirFolderInDialogOrder) {
  const std::wstring buffer(L"C:\\Docs\0b.txt\0caf\u00e9.txt\0한글.txt\0\0", 31);
  const std::vector<std::wstring> expected{L"C:\\Docs\\b.txt", L"C:\\Docs\\caf\u00e9.txt", L"C:\\Docs\\한글.txt"};
  EXPECT_EQ(expected, AllPaths(buffer));
}

TEST(SplittingTheSelection, FilesInADriveRootGetNoDoubledSeparator) {
  const std::wstring buffer(L"C:\\\0a.txt\0b.txt\0\0", 17);
  const std::vector<std::wstring> expected{L"C:\\a.txt", L"C:\\b.txt"};
  EXPECT_EQ(expected, AllPaths(buffer));
}

TEST(SplittingTheSelection, ReadsStopAtTheBufferEndWhenTheResultIsUnterminated) {
  const std::wstring full(4096, L'x');
  EXPECT_EQ(std::vector<std::wstring>{full}, AllPaths(full));
  const std::wstring names = std::wstring(L"C:\\D\0", 5) + std::wstring(4091, L'n');
  const auto paths = AllPaths(names);
  ASSERT_EQ(1u, paths.size());
  EXPECT_EQ(L"C:\\D\\" + std::wstring(4091, L'n'), paths[0]);
  // Cut short after the folder and one name: the walk ends there.
  EXPECT_EQ(std::vector<std::wstring>{L"C:\\up\\a"}, AllPaths(std::wstring(L"C:\\up\0a\0b.txt", 8)));
}

TEST(SplittingTheSelection, AnEndedPositionGivesNothingMore) {
  const std::wstring buffer(L"C:\\a.txt\0\0", 10);
  SelectionReader reader(buffer.data(), buffer.size());
  std::size_t position = SelectionReader::kEnd;
  EXPECT_EQ(L"", reader.NextPath(&position));
  EXPECT_EQ(SelectionReader::kEnd, position);
}

// Short paths are opened as listed; from MAX_PATH characters on, through the
// extended form, never twice.
TEST(OpenablePaths, LongPathsTakeTheExtendedFormOnce) {
  const std::wstring shortPath = L"C:\\d\\caf\u00e9.txt";
  EXPECT_EQ(shortPath, OpenablePath(shortPath));
  const std::wstring deep = L"C:\\" + std::wstring(300, L'x') + L"\\caf\u00e9.txt";
  EXPECT_EQ(L"\\\\?\\" + deep, OpenablePath(deep));
  EXPECT_EQ(L"\\\\?\\" + deep, OpenablePath(OpenablePath(deep)));
  const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'y');
  EXPECT_EQ(L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'y'), OpenablePath(share));
  const std::wstring relative = std::wstring(300, L'z');
  EXPECT_EQ(relative, OpenablePath(relative));
}

}  // namespace
}  // namespace brimlet
