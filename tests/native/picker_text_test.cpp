#include "control/portable/picker_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace brimlet {
namespace {

bool Cp949Lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// Shift-JIS, where '\' (0x5C) and '|' (0x7C) occur as trail bytes: the
// character-wise rules must never take them for separators.
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool NoLead(unsigned char) { return false; }

const std::string kSjisWithBackslash = "\x95\x5C";  // one character ending in 0x5C
const std::string kSjisWithBar = "\x81\x7C";        // one character ending in 0x7C

std::vector<std::string> AllPaths(const std::string& buffer, LeadBytePredicate isLead) {
  SelectionReader reader(buffer.data(), buffer.size(), isLead);
  std::vector<std::string> paths;
  std::size_t position = SelectionReader::FirstPosition();
  while (position != SelectionReader::kEnd && paths.size() < 100) paths.push_back(reader.NextPath(&position));
  return paths;
}

TEST(FilterConversion, DefaultKoreanFilterBecomesOnePairWithTwoFinalNuls) {
  const std::string converted = ConvertFilter("모든 파일|*.*|", Cp949Lead);
  EXPECT_EQ(std::string("모든 파일\0*.*\0\0", 15), converted);
}

TEST(FilterConversion, FilterWithoutFinalBarStillEndsInTwoNuls) {
  EXPECT_EQ(std::string("Text\0*.txt\0All\0*.*\0\0", 20), ConvertFilter("Text|*.txt|All|*.*", Cp949Lead));
  EXPECT_EQ(std::string("\0\0", 2), ConvertFilter("", Cp949Lead));
}

TEST(FilterConversion, TrailByteThatLooksLikeABarIsKept) {
  const std::string filter = "A" + kSjisWithBar + "|*.a|";
  const std::string converted = ConvertFilter(filter, ShiftJisLead);
  EXPECT_EQ("A" + kSjisWithBar + std::string("\0*.a\0\0", 6), converted);
  // Read byte-wise the same text splits inside the character.
  EXPECT_NE(converted, ConvertFilter(filter, NoLead));
}

TEST(FilterConversion, LongFilterIsConvertedWhole) {
  std::string filter;
  for (int i = 0; i < 2000; ++i) filter += "이미지|*.jpg|";
  const std::string converted = ConvertFilter(filter, Cp949Lead);
  ASSERT_EQ(filter.size() + 1, converted.size());
  EXPECT_EQ(4000u + 1, static_cast<std::size_t>(std::count(converted.begin(), converted.end(), '\0')));
}

TEST(JoiningFolderAndName, OneSeparatorUnlessTheFolderEndsInOne) {
  EXPECT_EQ("C:\\a.txt", JoinFolderAndName("C:\\", "a.txt", Cp949Lead));
  EXPECT_EQ("C:\\Docs\\a.txt", JoinFolderAndName("C:\\Docs", "a.txt", Cp949Lead));
  EXPECT_EQ("C:/Docs/a.txt", JoinFolderAndName("C:/Docs/", "a.txt", Cp949Lead));
  // A folder with a backslash earlier and a slash last: the backslash is the
  // last separator looked at, and it is not at the end.
  EXPECT_EQ("C:\\Docs/\\a.txt", JoinFolderAndName("C:\\Docs/", "a.txt", Cp949Lead));
  EXPECT_EQ("\\a.txt", JoinFolderAndName("", "a.txt", Cp949Lead));
  EXPECT_EQ("D:\\자료\\보고서.hwp", JoinFolderAndName("D:\\자료", "보고서.hwp", Cp949Lead));
}

TEST(JoiningFolderAndName, TrailByteBackslashIsNotASeparator) {
  const std::string folder = "C:\\" + kSjisWithBackslash;
  EXPECT_EQ(folder + "\\a.txt", JoinFolderAndName(folder, "a.txt", ShiftJisLead));
  EXPECT_EQ(folder + "a.txt", JoinFolderAndName(folder, "a.txt", NoLead)) << "what a byte-wise scan would do";
}

TEST(TrimmingFolderPaths, TrailingSeparatorsGoAllOfThem) {
  EXPECT_EQ("C:", TrimFolderPath("C:\\", Cp949Lead));
  EXPECT_EQ("C:\\Docs", TrimFolderPath("C:\\Docs\\\\", Cp949Lead));
  EXPECT_EQ("C:/Docs", TrimFolderPath("C:/Docs//", Cp949Lead));
  EXPECT_EQ("C:\\한글 폴더", TrimFolderPath("C:\\한글 폴더\\", Cp949Lead));
  EXPECT_EQ("", TrimFolderPath("\\\\\\", Cp949Lead));
}

TEST(TrimmingFolderPaths, WhiteSpaceGoesOnlyWhereASeparatorFollows) {
  EXPECT_EQ("C:\\Docs  ", TrimFolderPath("C:\\Docs  ", Cp949Lead));
  EXPECT_EQ("C:\\Docs", TrimFolderPath("C:\\Docs\\  ", Cp949Lead));
  EXPECT_EQ("C:\\Docs ", TrimFolderPath("C:\\Docs \\", Cp949Lead));
}

TEST(TrimmingFolderPaths, TrailByteBackslashIsKept) {
  const std::string path = "C:\\" + kSjisWithBackslash;
  EXPECT_EQ(path, TrimFolderPath(path, ShiftJisLead));
  EXPECT_EQ(path, TrimFolderPath(path + "\\", ShiftJisLead));
}

TEST(SplittingTheSelection, OneFileIsTheFirstStringWhole) {
  const std::string buffer("C:\\Docs\\보고서.txt\0\0", 20);
  EXPECT_EQ(std::vector<std::string>{"C:\\Docs\\보고서.txt"}, AllPaths(buffer, Cp949Lead));
}

TEST(SplittingTheSelection, SeveralFilesAreJoinedToTheirFolderInDialogOrder) {
  const std::string buffer("C:\\Docs\0b.txt\0a.txt\0한글.txt\0\0", 31);
  const std::vector<std::string> expected{"C:\\Docs\\b.txt", "C:\\Docs\\a.txt", "C:\\Docs\\한글.txt"};
  EXPECT_EQ(expected, AllPaths(buffer, Cp949Lead));
}

TEST(SplittingTheSelection, FilesInADriveRootGetNoDoubledSeparator) {
  const std::string buffer("C:\\\0a.txt\0b.txt\0\0", 17);
  const std::vector<std::string> expected{"C:\\a.txt", "C:\\b.txt"};
  EXPECT_EQ(expected, AllPaths(buffer, Cp949Lead));
}

TEST(SplittingTheSelection, ReadsStopAtTheBufferEndWhenTheResultIsUnterminated) {
  std::string full(4096, 'x');
  EXPECT_EQ(std::vector<std::string>{full}, AllPaths(full, Cp949Lead));
  std::string names = std::string("C:\\D\0", 5) + std::string(4091, 'n');
  const auto paths = AllPaths(names, Cp949Lead);
  ASSERT_EQ(1u, paths.size());
  EXPECT_EQ("C:\\D\\" + std::string(4091, 'n'), paths[0]);
}

TEST(SplittingTheSelection, AnEndedPositionGivesNothingMore) {
  const std::string buffer("C:\\a.txt\0\0", 10);
  SelectionReader reader(buffer.data(), buffer.size(), Cp949Lead);
  std::size_t position = SelectionReader::kEnd;
  EXPECT_EQ("", reader.NextPath(&position));
  EXPECT_EQ(SelectionReader::kEnd, position);
}

}  // namespace
}  // namespace brimlet

namespace brimlet {
namespace {

// The wide dialog's result and the folder scan's paths, with names code page
// 949 lacks, and the form in which a long path is opened.
TEST(WidePickerText, SelectionsFoldersAndLongPathsKeepEveryCharacter) {
  const std::wstring several(L"C:\\up\0caf\u00e9.txt\0M\u00fcller.docx\0\0", 28);
  WideSelectionReader reader(several.data(), several.size());
  std::vector<std::wstring> paths;
  for (std::size_t position = SelectionReader::FirstPosition(); position != SelectionReader::kEnd;) {
    paths.push_back(reader.NextPath(&position));
  }
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\up\\caf\u00e9.txt", L"C:\\up\\M\u00fcller.docx"}), paths);

  const std::wstring one(L"D:\\\u0e20\u0e32\u0e29\u0e32.txt\0\0", 12);
  std::size_t position = SelectionReader::FirstPosition();
  EXPECT_EQ(L"D:\\\u0e20\u0e32\u0e29\u0e32.txt", WideSelectionReader(one.data(), one.size()).NextPath(&position));
  EXPECT_EQ(SelectionReader::kEnd, position);
  // A buffer cut short ends the walk without reading past it.
  position = SelectionReader::FirstPosition();
  WideSelectionReader cut(several.data(), 8);
  cut.NextPath(&position);
  EXPECT_EQ(std::wstring(), cut.NextPath(&position));
  EXPECT_EQ(SelectionReader::kEnd, position);

  EXPECT_EQ(L"C:", TrimFolderPath(std::wstring(L"C:\\ \\")));
  EXPECT_EQ(L"C:\\r\u00e9sum\u00e9s", TrimFolderPath(std::wstring(L"C:\\r\u00e9sum\u00e9s\\")));
  EXPECT_EQ(L"C:\\a.txt", JoinFolderAndName(L"C:\\", L"a.txt"));
  EXPECT_EQ(L"C:\\d\\a.txt", JoinFolderAndName(L"C:\\d", L"a.txt"));

  // Short paths are opened as listed; from MAX_PATH characters on, through
  // the extended form, never twice.
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
