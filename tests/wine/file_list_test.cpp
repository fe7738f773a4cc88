// The control's file list as a page and a person meet it: filled from the
// system's real open-file dialog and folder browser (answered by the dialog
// watcher), held to the page's limits with their Korean messages, emptied
// again, switched between views through the real context menu, and read back
// through the list window itself.
#include <windows.h>
#include <dlgs.h>  // the open-file dialog's control ids
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/com_ptr.h"
#include "module/dispatch_ids.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/scenario.h"

namespace {

// Every scenario here fails on a call that ends something already gone.
const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::Variant;
using scenario::ColumnTitle;
using scenario::RowTexts;
using Strings = std::vector<std::string>;

const char kInUse[] = "사용중인 파일입니다. 파일을 닫으신후 첨부하세요";
const char kTotalTooLarge[] = "선택하신 파일 전체 크기가 설정된 크기 보다 큽니다.";
const char kFileTooLarge[] = "선택하신 파일 크기가 설정된 크기 보다 큽니다.";
const char kTooManyFiles[] = "선택하신 파일 개수가 설정된 개수 보다 많습니다.";

// The texts of every message box seen, in order.
Strings Messages(const drivers::DialogWatcher& watcher) {
  Strings texts;
  for (const auto& dialog : watcher.Seen()) {
    if (!drivers::IsOpenFileDialog(dialog.window) && !dialog.text.empty()) texts.push_back(dialog.text);
  }
  return texts;
}

std::string Quoted(const Strings& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "\"" : " \"") + name + "\"";
  return text;
}

class FileList : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::make_unique<scenario::TempFolder>(std::string("brimlet-") + info->name());
    control_ = scenario::HostControl();
    ASSERT_TRUE(control_);
    list_ = scenario::FileListOf(*control_);
    ASSERT_NE(nullptr, list_);
  }
  void TearDown() override {
    control_.reset();
    folder_.reset();
  }

  const std::string& dir() const { return folder_->path(); }
  std::string File(const std::string& name, std::uint64_t size) { return folder_->File(name, size); }

  // AddFile answered with `entries` typed into the dialog; message boxes OK.
  void AddFile(const drivers::PickerScript& script, drivers::DialogWatcher* watcher) {
    watcher->SetAnswer(drivers::AnswerPickers(script, [this](const drivers::DialogSeen&) {
      DWORD_PTR rows = 0;
      ::SendMessageTimeoutA(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 2000, &rows);
      rowsAtMessage_.push_back(static_cast<int>(rows));
    }));
    ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
  }
  void AddFolder(const drivers::PickerScript& script, drivers::DialogWatcher* watcher) {
    watcher->SetAnswer(drivers::AnswerPickers(script, [this](const drivers::DialogSeen&) {
      DWORD_PTR rows = 0;
      ::SendMessageTimeoutA(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 2000, &rows);
      rowsAtMessage_.push_back(static_cast<int>(rows));
    }));
    ASSERT_EQ(S_OK, control_->Call(L"AddFolder"));
  }
  void AddFiles(const std::string& folder, const Strings& names, drivers::DialogWatcher* watcher) {
    AddFile({{folder, Quoted(names)}, {}, false}, watcher);
  }
  void Put(const wchar_t* name, long value) {
    ASSERT_EQ(S_OK, control_->Put(name, Variant::FromLong(value)));
  }

  std::unique_ptr<scenario::TempFolder> folder_;
  std::unique_ptr<container::HostedControl> control_;
  HWND list_ = nullptr;
  std::vector<int> rowsAtMessage_;
};

// ---------------------------------------------------------------- the window
TEST_F(FileList, NewControlShowsAnEmptyReportListFillingItsWindowWithPlainTitles) {
  EXPECT_EQ(0x50800101u, static_cast<DWORD>(::GetWindowLongPtrA(list_, GWL_STYLE)));
  EXPECT_EQ(0, ::GetDlgCtrlID(list_));
  RECT control{}, list{};
  ::GetClientRect(control_->controlWindow(), &control);
  ::GetWindowRect(list_, &list);
  ::MapWindowPoints(nullptr, control_->controlWindow(), reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(0, list.left);
  EXPECT_EQ(0, list.top);
  EXPECT_EQ(control.right, list.right);
  EXPECT_EQ(control.bottom, list.bottom);
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(list_) & LVS_EX_FULLROWSELECT);

  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
  EXPECT_EQ("크기", ColumnTitle(list_, 1));
  RECT client{};
  ::GetClientRect(list_, &client);
  EXPECT_EQ(client.right - 145, scenario::ColumnWidth(list_, 0));
  EXPECT_EQ(120, scenario::ColumnWidth(list_, 1));
  EXPECT_EQ(LVCFMT_RIGHT, scenario::ColumnFormat(list_, 1));
  EXPECT_EQ(unsigned{LVS_REPORT}, scenario::ViewMode(list_));
  // The image lists are attached with the first row, not before.
  EXPECT_EQ(nullptr, ListView_GetImageList(list_, LVSIL_SMALL));
}

// The module's manifest asks for version 6 of the common controls, and the
// control makes its windows with it active: the buttons of its message box
// come from the class that version registers, not from the one a process
// without a manifest (this one) gets.
TEST_F(FileList, TheControlsWindowsUseTheCommonControlsItsManifestAsksFor) {
  HWND plain = ::CreateWindowExA(0, "Button", "", WS_CHILD, 0, 0, 10, 10, control_->hostWindow(),
                                 nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, plain);
  const auto plainButton = ::GetClassLongPtrA(plain, GCW_ATOM);
  ::DestroyWindow(plain);
  ULONG_PTR boxButton = 0;
  drivers::DialogWatcher watcher(drivers::AnswerPickers({{dir() + "\\missing.txt"}, {}, false},
                                                  [&boxButton](const drivers::DialogSeen& box) {
                                                    boxButton = ::GetClassLongPtrA(
                                                        ::GetDlgItem(box.window, IDOK), GCW_ATOM);
                                                  }));
  ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
  ASSERT_NE(0u, boxButton);
  EXPECT_NE(plainButton, boxButton);
}

TEST_F(FileList, OneFileChosenIsListedUnderItsFullPathWithItsSizeAndIcons) {
  const std::string path = File("one.txt", 1000);
  drivers::DialogWatcher watcher;
  AddFile({{path}, {}, false}, &watcher);
  EXPECT_EQ(Strings{path}, RowTexts(list_));
  EXPECT_EQ(Strings{"1,000"}, RowTexts(list_, 1));
  EXPECT_EQ("파일 이름 (1 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (1000 Bytes)", ColumnTitle(list_, 1));
  EXPECT_TRUE(Messages(watcher).empty());

  // The dialog the user saw.
  const auto seen = watcher.Seen();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ("Orvo 파일 업로더", seen[0].caption);

  HIMAGELIST small = ListView_GetImageList(list_, LVSIL_SMALL);
  HIMAGELIST large = ListView_GetImageList(list_, LVSIL_NORMAL);
  ASSERT_NE(nullptr, small);
  ASSERT_NE(nullptr, large);
  EXPECT_EQ(1, ImageList_GetImageCount(small));
  EXPECT_EQ(1, ImageList_GetImageCount(large));
  int cx = 0, cy = 0;
  ImageList_GetIconSize(small, &cx, &cy);
  EXPECT_EQ(16, cx);
  ImageList_GetIconSize(large, &cx, &cy);
  EXPECT_EQ(32, cx);
  LVITEMA item{};
  item.mask = LVIF_IMAGE | LVIF_PARAM;
  item.iItem = 0;
  ListView_GetItem(list_, &item);
  EXPECT_EQ(0, item.iImage);
  EXPECT_EQ(0, item.lParam);
}

// ---------------------------------------------------------------- the menu
TEST_F(FileList, ContextMenuOfANewControlDisablesBothDeletesAndChecksDetails) {
  const auto seen = scenario::ShowContextMenu(*control_, POINT{40, 40}, true);
  ASSERT_TRUE(seen.shown);
  ASSERT_EQ(7u, seen.items.size());
  EXPECT_EQ("선택한 파일 삭제", seen.items[0].text);
  EXPECT_FALSE(seen.items[0].enabled);
  EXPECT_EQ("전체 파일 삭제", seen.items[1].text);
  EXPECT_FALSE(seen.items[1].enabled);
  EXPECT_EQ(0u, seen.items[2].id);
  EXPECT_EQ("파일 추가...", seen.items[3].text);
  EXPECT_TRUE(seen.items[3].enabled);
  EXPECT_EQ("폴더 추가...", seen.items[4].text);
  EXPECT_TRUE(seen.items[4].enabled);
  EXPECT_EQ("목록 보기", seen.items[6].text);
  ASSERT_EQ(4u, seen.submenu.size());
  EXPECT_EQ("큰 아이콘", seen.submenu[0].text);
  EXPECT_EQ("자세히", seen.submenu[3].text);
  EXPECT_FALSE(seen.submenu[0].checked);
  EXPECT_FALSE(seen.submenu[1].checked);
  EXPECT_FALSE(seen.submenu[2].checked);
  EXPECT_TRUE(seen.submenu[3].checked);
}


// ---------------------------------------------------------------- AddFile
TEST_F(FileList, SeveralFilesChosenInAFolderAreListedInDialogOrderWithTheTotal) {
  File("a.txt", 1000);
  File("b.txt", 2000);
  File("c.txt", 3000);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt", "b.txt", "c.txt"}, &watcher);
  EXPECT_EQ((Strings{dir() + "\\a.txt", dir() + "\\b.txt", dir() + "\\c.txt"}), RowTexts(list_));
  EXPECT_EQ((Strings{"1,000", "2,000", "3,000"}), RowTexts(list_, 1));
  EXPECT_EQ("파일 이름 (3 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (6 KB)", ColumnTitle(list_, 1));
}

TEST_F(FileList, FilesChosenInADriveRootGetNoDoubledSeparator) {
  scenario::MappedDrive drive("drive-root-files");
  ASSERT_TRUE(drive.ok());
  ASSERT_TRUE(scenario::WriteFileOfSize(drive.root() + "a.txt", 10));
  ASSERT_TRUE(scenario::WriteFileOfSize(drive.root() + "b.txt", 20));
  drivers::DialogWatcher watcher;
  AddFiles(drive.root(), {"a.txt", "b.txt"}, &watcher);
  EXPECT_EQ((Strings{drive.root() + "a.txt", drive.root() + "b.txt"}), RowTexts(list_));
  EXPECT_EQ("크기 (30 Bytes)", ColumnTitle(list_, 1));
}

TEST_F(FileList, ACountOfTwoTakesTwoOfThreeFilesThenSaysSo) {
  Put(L"MaxFileCount", 2);
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) File(name, 5);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"1.txt", "2.txt", "3.txt"}, &watcher);
  EXPECT_EQ((Strings{dir() + "\\1.txt", dir() + "\\2.txt"}), RowTexts(list_));
  EXPECT_EQ(Strings{kTooManyFiles}, Messages(watcher));
  EXPECT_EQ("파일 이름 (2 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (10 Bytes)", ColumnTitle(list_, 1));
}

TEST_F(FileList, ATotalOfAThousandTakesSixHundredAndRefusesFiveHundredMore) {
  Put(L"MaxTotalSize", 1000);
  File("600.bin", 600);
  File("500.bin", 500);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"600.bin", "500.bin"}, &watcher);
  EXPECT_EQ(Strings{dir() + "\\600.bin"}, RowTexts(list_));
  EXPECT_EQ(Strings{kTotalTooLarge}, Messages(watcher));
  EXPECT_EQ("크기 (600 Bytes)", ColumnTitle(list_, 1));
}

TEST_F(FileList, AFileHeldOpenForWritingThirdOfFiveStopsTheBatchAfterTwo) {
  Strings names;
  for (int i = 1; i <= 5; ++i) {
    names.push_back("doc" + std::to_string(i) + ".txt");
    File(names.back(), 100);
  }
  scenario::FileHolder editor(dir() + "\\doc3.txt");
  ASSERT_TRUE(editor.holding());
  drivers::DialogWatcher watcher;
  AddFiles(dir(), names, &watcher);
  EXPECT_EQ((Strings{dir() + "\\doc1.txt", dir() + "\\doc2.txt"}), RowTexts(list_));
  EXPECT_EQ(Strings{kInUse}, Messages(watcher));
  EXPECT_EQ(std::vector<int>{2}, rowsAtMessage_);
  EXPECT_EQ("파일 이름 (2 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (200 Bytes)", ColumnTitle(list_, 1));
}

TEST_F(FileList, ANameThatDoesNotExistIsRefusedAsInUse) {
  drivers::DialogWatcher watcher;
  AddFile({{dir() + "\\missing.txt"}, {}, false}, &watcher);
  EXPECT_EQ(Strings{kInUse}, Messages(watcher));
  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름 (0 개)", ColumnTitle(list_, 0)) << "the titles are refreshed after a refusal";
}

TEST_F(FileList, ACountLimitOfZeroRefusesEveryFile) {
  Put(L"MaxFileCount", 0);
  const std::string path = File("a.txt", 1);
  drivers::DialogWatcher watcher;
  AddFile({{path}, {}, false}, &watcher);
  EXPECT_EQ(Strings{kTooManyFiles}, Messages(watcher));
  EXPECT_EQ(0, ListView_GetItemCount(list_));
}

TEST_F(FileList, AFileOfFourGibibytesIsRefusedAsTooLargeEvenWithoutLimits) {
  Put(L"MaxFileSize", -1);
  Put(L"MaxTotalSize", -1);
  const std::string small = File("small.txt", 10);
  // Its low 32 bits say 10 bytes.
  const std::string huge = File("huge.bin", 0x100000000ull + 10);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"small.txt", "huge.bin"}, &watcher);
  EXPECT_EQ(Strings{small}, RowTexts(list_));
  EXPECT_EQ(Strings{kFileTooLarge}, Messages(watcher));
}

TEST_F(FileList, CancellingTheOpenDialogChangesNothing) {
  const std::string path = File("a.txt", 7);
  drivers::DialogWatcher watcher;
  AddFile({{path}, {}, false}, &watcher);
  AddFile({{}, {}, true}, &watcher);
  EXPECT_EQ(Strings{path}, RowTexts(list_));
  EXPECT_EQ("파일 이름 (1 개)", ColumnTitle(list_, 0));
  EXPECT_TRUE(Messages(watcher).empty());
}

TEST_F(FileList, TheSameFileChosenTwiceIsListedTwice) {
  const std::string path = File("twice.txt", 7);
  drivers::DialogWatcher watcher;
  AddFile({{path}, {}, false}, &watcher);
  AddFile({{path}, {}, false}, &watcher);
  EXPECT_EQ((Strings{path, path}), RowTexts(list_));
  EXPECT_EQ("크기 (14 Bytes)", ColumnTitle(list_, 1));
}

// The file-type box of the open-file dialog, as the user sees it.
Strings FileTypes(HWND dialog) {
  Strings types;
  HWND combo = ::GetDlgItem(dialog, cmb1);
  DWORD_PTR count = 0;
  if (!combo || !::SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 2000, &count)) return types;
  for (DWORD_PTR i = 0; i < count; ++i) {
    static char text[512];
    text[0] = '\0';
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000, &ignored);
    types.push_back(text);
  }
  return types;
}

TEST_F(FileList, TheFilterBecomesTheDialogsFileTypesEvenWithoutItsFinalBar) {
  const struct {
    const char* filter;
    Strings types;
  } cases[] = {{"모든 파일|*.*|", {"모든 파일"}},
               {"텍스트 문서|*.txt|모든 파일|*.*", {"텍스트 문서", "모든 파일"}}};
  for (const auto& one : cases) {
    ASSERT_EQ(S_OK, control_->Put(L"Filter", Variant::FromString(scenario::Wide(one.filter))));
    Strings types;
    drivers::DialogWatcher watcher([&types](const drivers::DialogSeen& dialog) {
      if (!drivers::IsOpenFileDialog(dialog.window)) return IDOK;
      types = FileTypes(dialog.window);
      return IDCANCEL;
    });
    ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
    EXPECT_EQ(one.types, types) << one.filter;
  }
  EXPECT_EQ(0, ListView_GetItemCount(list_));
}

TEST_F(FileList, AVeryLongFilterOpensTheDialogWhole) {
  std::wstring filter;
  for (int i = 0; i < 400; ++i) filter += scenario::Wide("문서 종류") + std::to_wstring(i) + L"|*.t" + std::to_wstring(i) + L"|";
  ASSERT_EQ(S_OK, control_->Put(L"Filter", Variant::FromString(filter)));
  size_t types = 0;
  drivers::DialogWatcher watcher([&types](const drivers::DialogSeen& dialog) {
    if (!drivers::IsOpenFileDialog(dialog.window)) return IDOK;
    types = FileTypes(dialog.window).size();
    return IDCANCEL;
  });
  ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
  EXPECT_EQ(400u, types);
}

// Some 4,600 bytes of names for a 4,096-byte result. Wine's dialog keeps
// what fits of the typed text rather than failing, so the last name arrives
// cut; whatever the dialog returns, the control reads no further than the
// result and lists only whole names it was given, in their order.
TEST_F(FileList, ASelectionFillingTheWholeResultIsReadWithinIt) {
  Strings names;
  for (int i = 0; i < 40; ++i) {
    names.push_back(std::string(110, static_cast<char>('a' + i % 26)) + std::to_string(i) + ".txt");
    File(names.back(), 1);
  }
  drivers::DialogWatcher watcher;
  AddFiles(dir(), names, &watcher);
  const Strings rows = RowTexts(list_);
  ASSERT_LT(rows.size(), names.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(dir() + "\\" + names[i], rows[i]);
  EXPECT_LE(Messages(watcher).size(), 1u);
}

// ---------------------------------------------------------------- AddFolder
TEST_F(FileList, AFolderGivesTheFilesLyingDirectlyInItHiddenOnesIncluded) {
  const std::string a = File("a.txt", 1);
  const std::string hidden = File("hidden.txt", 2);
  ::SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  scenario::TempFolder sub("sub", dir());
  sub.File("deeper.txt", 4);
  drivers::DialogWatcher watcher;
  AddFolder({{}, dir(), false}, &watcher);
  Strings rows = RowTexts(list_);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ((Strings{a, hidden}), rows);
  EXPECT_TRUE(Messages(watcher).empty());
  EXPECT_EQ("파일 이름 (2 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (3 Bytes)", ColumnTitle(list_, 1));
  const auto seen = watcher.Seen();
  ASSERT_FALSE(seen.empty());
  const auto& texts = seen[0].childTexts;
  EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "첨부할 폴더를 선택하세요."));
}

TEST_F(FileList, ADriveRootChosenGivesRootPathsWithoutADoubledSeparator) {
  scenario::MappedDrive drive("drive-root-folder");
  ASSERT_TRUE(drive.ok());
  ASSERT_TRUE(scenario::WriteFileOfSize(drive.root() + "r.txt", 3));
  drivers::DialogWatcher watcher;
  AddFolder({{}, drive.root(), false}, &watcher);
  EXPECT_EQ(Strings{drive.root() + "r.txt"}, RowTexts(list_));
}

TEST_F(FileList, CancellingTheFolderBrowserChangesNothing) {
  File("a.txt", 3);
  drivers::DialogWatcher watcher;
  AddFolder({{}, {}, true}, &watcher);
  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
  EXPECT_TRUE(Messages(watcher).empty());
}

TEST_F(FileList, AFolderOverTheCountIsListedWholeThenClearedAfterTheMessage) {
  for (int i = 0; i < 150; ++i) File("f" + std::to_string(i) + ".txt", 1);
  drivers::DialogWatcher watcher;
  AddFolder({{}, dir(), false}, &watcher);
  EXPECT_EQ(Strings{kTooManyFiles}, Messages(watcher));
  EXPECT_EQ(std::vector<int>{150}, rowsAtMessage_) << "all listed while the message shows";
  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
  EXPECT_EQ("크기", ColumnTitle(list_, 1));
  // Both counters are back at 0: a single file now reads as the only one.
  const std::string one = File("after.txt", 5);
  AddFile({{one}, {}, false}, &watcher);
  EXPECT_EQ("크기 (5 Bytes)", ColumnTitle(list_, 1));
}

TEST_F(FileList, AFolderWithOneFileTooLargeClearsTheFilesListedBefore) {
  Strings names;
  for (int i = 0; i < 5; ++i) {
    names.push_back("before" + std::to_string(i) + ".txt");
    File(names.back(), 10);
  }
  drivers::DialogWatcher watcher;
  AddFiles(dir(), names, &watcher);
  ASSERT_EQ(5, ListView_GetItemCount(list_));
  Put(L"MaxFileSize", 1000);
  scenario::TempFolder other("other", dir());
  other.File("small.txt", 10);
  other.File("large.bin", 1001);
  AddFolder({{}, other.path(), false}, &watcher);
  EXPECT_EQ(Strings{kFileTooLarge}, Messages(watcher));
  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
}

TEST_F(FileList, AFolderHoldingAFileOpenForWritingEndsEmpty) {
  File("a.txt", 1);
  const std::string held = File("b.txt", 1);
  scenario::FileHolder editor(held);
  ASSERT_TRUE(editor.holding());
  drivers::DialogWatcher watcher;
  AddFolder({{}, dir(), false}, &watcher);
  EXPECT_EQ(Strings{kInUse}, Messages(watcher));
  EXPECT_EQ(0, ListView_GetItemCount(list_));
}

TEST_F(FileList, ANegativeCountRefusesEveryFolderButNoFile) {
  Put(L"MaxFileCount", -1);
  const std::string path = File("a.txt", 1);
  drivers::DialogWatcher watcher;
  AddFile({{path}, {}, false}, &watcher);
  EXPECT_EQ(1, ListView_GetItemCount(list_)) << "files compare the count unsigned";
  AddFolder({{}, dir(), false}, &watcher);
  EXPECT_EQ(Strings{kTooManyFiles}, Messages(watcher));
  EXPECT_EQ(0, ListView_GetItemCount(list_));
}

TEST_F(FileList, AnEmptyFolderAddsNothingAndRefreshesTheTitles) {
  File("a.txt", 1);
  File("b.txt", 1);
  File("c.txt", 1);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt", "b.txt", "c.txt"}, &watcher);
  scenario::TempFolder empty("empty", dir());
  AddFolder({{}, empty.path(), false}, &watcher);
  EXPECT_EQ(3, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름 (3 개)", ColumnTitle(list_, 0));
  EXPECT_TRUE(Messages(watcher).empty());
}

// ---------------------------------------------------------------- Korean names
TEST_F(FileList, KoreanFolderAndFileNamesTravelEndToEnd) {
  scenario::TempFolder korean("한글 폴더", dir());
  const std::string report = korean.File("보고서.txt", 1234567);
  const std::string photo = korean.File("사진 파일.jpg", 10);
  drivers::DialogWatcher watcher;
  AddFiles(korean.path(), {"보고서.txt"}, &watcher);
  EXPECT_EQ(Strings{report}, RowTexts(list_));
  EXPECT_EQ(Strings{"1,234,567"}, RowTexts(list_, 1));
  EXPECT_EQ("크기 (1.17 MB)", ColumnTitle(list_, 1));
  ASSERT_EQ(S_OK, control_->Call(L"RemoveAll"));
  AddFolder({{}, korean.path(), false}, &watcher);
  Strings rows = RowTexts(list_);
  std::sort(rows.begin(), rows.end());
  Strings expected{report, photo};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, rows);
  EXPECT_TRUE(Messages(watcher).empty());
}

// ---------------------------------------------------------------- removing
TEST_F(FileList, RemovingRowsOneAndThreeOfFiveKeepsTheOthersInOrder) {
  Strings names;
  for (int i = 0; i < 5; ++i) {
    names.push_back("r" + std::to_string(i) + ".txt");
    File(names.back(), 100 * (i + 1));
  }
  drivers::DialogWatcher watcher;
  AddFiles(dir(), names, &watcher);
  scenario::SelectRows(list_, {1, 3});
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ((Strings{dir() + "\\r0.txt", dir() + "\\r2.txt", dir() + "\\r4.txt"}), RowTexts(list_));
  EXPECT_EQ("파일 이름(3 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (900 Bytes)", ColumnTitle(list_, 1));
}

TEST_F(FileList, AfterARemovalTheTotalIsTheSizesTheRemainingRowsShow) {
  const std::string grows = File("grows.txt", 100);
  File("goes.txt", 50);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"grows.txt", "goes.txt"}, &watcher);
  ASSERT_TRUE(scenario::WriteFileOfSize(grows, 3000));
  scenario::SelectRows(list_, {1});
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ(Strings{grows}, RowTexts(list_));
  EXPECT_EQ(Strings{"100"}, RowTexts(list_, 1)) << "the row keeps the size it was added with";
  EXPECT_EQ("파일 이름(1 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (100 Bytes)", ColumnTitle(list_, 1)) << "the file is not measured again";
}

TEST_F(FileList, AFileThatVanishedStaysListedAndCountedAsListed) {
  File("stays.txt", 100);
  const std::string vanishes = File("vanishes.txt", 200);
  File("goes.txt", 50);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"stays.txt", "vanishes.txt", "goes.txt"}, &watcher);
  ::DeleteFileA(vanishes.c_str());
  scenario::SelectRows(list_, {2});
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ(2, ListView_GetItemCount(list_));
  EXPECT_EQ("크기 (300 Bytes)", ColumnTitle(list_, 1));
}

// The image at `image` of `list`, as the list draws it.
std::vector<DWORD> Pixels(HIMAGELIST list, int image) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list, &cx, &cy);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB}};  // top-down, 32 bits a pixel
  void* bits = nullptr;
  const fw::UniqueDC dc(::CreateCompatibleDC(nullptr));
  const fw::UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return {};
  const HGDIOBJ before = ::SelectObject(dc.get(), bitmap.get());
  ImageList_Draw(list, image, dc.get(), 0, 0, ILD_NORMAL);
  ::GdiFlush();
  const auto* first = static_cast<const DWORD*>(bits);
  std::vector<DWORD> pixels(first, first + cx * cy);
  ::SelectObject(dc.get(), before);
  return pixels;
}

// The shell's icon for `path` found by its name, held by an image list like
// the control's.
std::vector<DWORD> ShellPixels(const std::string& path, int size) {
  SHFILEINFOA info{};
  ::SHGetFileInfoA(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | (size == 16 ? SHGFI_SMALLICON : 0));
  const fw::UniqueIcon icon(info.hIcon);
  const fw::UniqueImageList list(ImageList_Create(size, size, ILC_COLOR24, 1, 1));
  if (!icon || ImageList_AddIcon(list.get(), icon.get()) != 0) return {};
  return Pixels(list.get(), 0);
}

// A shortcut at `path` to `target`, as the shell saves one.
bool MakeShortcut(const std::string& path, const std::string& target) {
  fw::ComPtr<IShellLinkA> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.put()))) ||
      FAILED(link->SetPath(target.c_str()))) {
    return false;
  }
  fw::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return false;
  return SUCCEEDED(file->Save(scenario::Wide(path.c_str()).c_str(), TRUE));
}

std::string Extension(const std::string& path) { return path.substr(path.rfind('.')); }

// A folder of three hundred files: many of three types, two programs that
// carry icons of their own, and a shortcut. Each icon is held once and
// shared by the rows of its type; every row shows what the shell gives for
// its file by its name (a program may get an icon of its own that way, so
// programs are not held to sharing); the titles after each removal add up
// the sizes the remaining rows show.
TEST_F(FileList, AFolderOfMixedTypesSharesOneImagePerIconAndTotalsWhatTheRowsShow) {
  for (int i = 0; i < 100; ++i) {
    File("t" + std::to_string(i) + ".txt", 512);
    File("d" + std::to_string(i) + ".dat", 512);
  }
  for (int i = 0; i < 97; ++i) File("h" + std::to_string(i) + ".htm", 1000);
  Put(L"MaxFileCount", 1000);
  char system[MAX_PATH] = {}, windows[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  ::GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string notes = dir() + "\\notes.exe", registry = dir() + "\\registry.exe";
  ASSERT_TRUE(::CopyFileA((std::string(system) + "\\notepad.exe").c_str(), notes.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileA((std::string(windows) + "\\regedit.exe").c_str(), registry.c_str(), FALSE));
  const std::string shortcut = dir() + "\\registry.lnk";
  ASSERT_TRUE(MakeShortcut(shortcut, registry));

  drivers::DialogWatcher watcher;
  AddFolder({{}, dir(), false}, &watcher);
  EXPECT_TRUE(Messages(watcher).empty());
  const Strings paths = RowTexts(list_);
  ASSERT_EQ(300u, paths.size());
  EXPECT_EQ("파일 이름 (300 개)", ColumnTitle(list_, 0));

  HIMAGELIST small = ListView_GetImageList(list_, LVSIL_SMALL);
  HIMAGELIST large = ListView_GetImageList(list_, LVSIL_NORMAL);
  std::map<std::string, std::set<int>> imagesOfType;
  std::map<int, std::string> aRowOfImage;
  std::map<std::string, int> imageOf;
  for (int row = 0; row < static_cast<int>(paths.size()); ++row) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ASSERT_TRUE(ListView_GetItem(list_, &item));
    imageOf[paths[row]] = item.iImage;
    aRowOfImage.emplace(item.iImage, paths[row]);
    if (paths[row] != notes && paths[row] != registry) imagesOfType[Extension(paths[row])].insert(item.iImage);
  }
  for (const auto& [type, images] : imagesOfType) EXPECT_EQ(1u, images.size()) << type;
  // Each icon copied once: the lists hold exactly the images the rows use.
  EXPECT_EQ(static_cast<int>(aRowOfImage.size()), ImageList_GetImageCount(small));
  EXPECT_EQ(static_cast<int>(aRowOfImage.size()), ImageList_GetImageCount(large));
  // Every image, in both sizes, is the shell's icon for each file showing it.
  for (const std::string& path : {dir() + "\\t0.txt", dir() + "\\d0.dat", dir() + "\\h0.htm", notes,
                                  registry, shortcut}) {
    EXPECT_EQ(ShellPixels(path, 16), Pixels(small, imageOf[path])) << path;
    EXPECT_EQ(ShellPixels(path, 32), Pixels(large, imageOf[path])) << path;
  }

  // The programs, the shortcut and the pages go; one text file grew on disk
  // meanwhile, and still counts the size its row shows.
  std::vector<int> going;
  for (int row = 0; row < static_cast<int>(paths.size()); ++row) {
    const std::string type = Extension(paths[row]);
    if (type == ".exe" || type == ".lnk" || type == ".htm") going.push_back(row);
  }
  ASSERT_TRUE(scenario::WriteFileOfSize(dir() + "\\t7.txt", 5000));
  scenario::SelectRows(list_, going);
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ(200, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름(200 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (100 KB)", ColumnTitle(list_, 1));
  scenario::SelectRows(list_, {0, 50, 100, 199});
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ("파일 이름(196 개)", ColumnTitle(list_, 0));
  EXPECT_EQ("크기 (98 KB)", ColumnTitle(list_, 1));
  for (const std::string& path : RowTexts(list_)) {
    const std::string type = Extension(path);
    EXPECT_TRUE(type == ".txt" || type == ".dat") << path;
  }
  EXPECT_TRUE(Messages(watcher).empty());
}

TEST_F(FileList, RemovingWithNothingSelectedChangesNothing) {
  File("a.txt", 1);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt"}, &watcher);
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ(1, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름 (1 개)", ColumnTitle(list_, 0)) << "the titles are not rewritten";
}

TEST_F(FileList, RemovingEveryRowBringsBackThePlainTitles) {
  File("a.txt", 1);
  File("b.txt", 1);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt", "b.txt"}, &watcher);
  scenario::SelectRows(list_, {0, 1});
  ASSERT_EQ(S_OK, control_->Call(L"Remove"));
  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
  EXPECT_EQ("크기", ColumnTitle(list_, 1));
}

TEST_F(FileList, RemoveAllOnAnEmptyListStillResetsTheTitles) {
  drivers::DialogWatcher watcher;
  AddFile({{dir() + "\\missing.txt"}, {}, false}, &watcher);  // refused: "(0 개)"
  ASSERT_EQ("파일 이름 (0 개)", ColumnTitle(list_, 0));
  ASSERT_EQ(S_OK, control_->Call(L"RemoveAll"));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
  EXPECT_EQ("크기", ColumnTitle(list_, 1));
}

// ---------------------------------------------------------------- menu and views
TEST_F(FileList, WithRowsAndASelectionBothDeletesAreEnabled) {
  File("a.txt", 1);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt"}, &watcher);
  auto seen = scenario::ShowContextMenu(*control_, POINT{40, 40}, false);
  ASSERT_EQ(7u, seen.items.size());
  EXPECT_FALSE(seen.items[0].enabled) << "nothing selected yet";
  EXPECT_TRUE(seen.items[1].enabled);
  scenario::SelectRows(list_, {0});
  seen = scenario::ShowContextMenu(*control_, POINT{40, 40}, false);
  ASSERT_EQ(7u, seen.items.size());
  EXPECT_TRUE(seen.items[0].enabled);
  EXPECT_TRUE(seen.items[1].enabled);
}

TEST_F(FileList, DeleteAllFromTheMenuEmptiesTheList) {
  File("a.txt", 1);
  File("b.txt", 1);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt", "b.txt"}, &watcher);
  scenario::ShowContextMenu(*control_, POINT{40, 40}, false, 1);
  EXPECT_EQ(0, ListView_GetItemCount(list_));
  EXPECT_EQ("파일 이름", ColumnTitle(list_, 0));
}

TEST_F(FileList, AddFileFromTheMenuOpensTheSameDialog) {
  const std::string path = File("menu.txt", 1);
  drivers::DialogWatcher watcher(drivers::AnswerPickers({{path}, {}, false}));
  scenario::ShowContextMenu(*control_, POINT{40, 40}, false, 2);
  EXPECT_EQ(Strings{path}, RowTexts(list_));
}

TEST_F(FileList, EachViewItemSwitchesTheModeAndMovesTheCheckMark) {
  const struct {
    int item;
    unsigned mode;
  } views[] = {{0, LVS_ICON}, {1, LVS_SMALLICON}, {2, LVS_LIST}, {3, LVS_REPORT}, {1, LVS_SMALLICON}};
  for (const auto& view : views) {
    scenario::ShowContextMenu(*control_, POINT{40, 40}, true, view.item);
    EXPECT_EQ(view.mode, scenario::ViewMode(list_)) << view.item;
    const auto seen = scenario::ShowContextMenu(*control_, POINT{40, 40}, true);
    ASSERT_EQ(4u, seen.submenu.size());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(i == view.item, seen.submenu[i].checked) << view.item << " " << i;
  }
  // Repeating a command changes nothing.
  ::SendMessageA(control_->controlWindow(), WM_COMMAND, 32775, 0);
  EXPECT_EQ(unsigned{LVS_SMALLICON}, scenario::ViewMode(list_));
}

TEST_F(FileList, TheKeyboardFormOfTheRequestShowsTheMenuToo) {
  // Nothing consults EnablePopupMenu: the menu shows all the same.
  ASSERT_EQ(S_OK, control_->Put(L"EnablePopupMenu", Variant::FromBool(false)));
  const auto seen = scenario::ShowContextMenu(*control_, POINT{-1, -1}, false);
  EXPECT_TRUE(seen.shown);
  EXPECT_EQ(7u, seen.items.size());
}

// ---------------------------------------------------------------- lifetime
TEST_F(FileList, TheImageListsGoWithTheWindowAndOnlyOnce) {
  File("a.txt", 1);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"a.txt"}, &watcher);
  HIMAGELIST small = ListView_GetImageList(list_, LVSIL_SMALL);
  HIMAGELIST large = ListView_GetImageList(list_, LVSIL_NORMAL);
  ASSERT_EQ(1, ImageList_GetImageCount(small));
  auto inPlace = control_->As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  ASSERT_EQ(S_OK, inPlace->InPlaceDeactivate());
  EXPECT_FALSE(::IsWindow(list_));
  int cx = 0, cy = 0;
  EXPECT_FALSE(ImageList_GetIconSize(small, &cx, &cy));
  EXPECT_FALSE(ImageList_GetIconSize(large, &cx, &cy));
  // A new window starts a new, empty list.
  ASSERT_EQ(S_OK, control_->DoVerb(OLEIVERB_INPLACEACTIVATE));
  HWND again = scenario::FileListOf(*control_);
  ASSERT_NE(nullptr, again);
  EXPECT_EQ(0, ListView_GetItemCount(again));
}

// A page that picks its next batch in its UploadFinish handler keeps it: the
// upload takes away only the files it took.
TEST_F(FileList, FilesListedInTheUploadFinishHandlerStayListed) {
  File("sent.txt", 10);
  const std::string next = File("next.txt", 20);
  drivers::DialogWatcher watcher;
  AddFiles(dir(), {"sent.txt"}, &watcher);
  ASSERT_EQ(1, ListView_GetItemCount(list_));
  // Refused before any connection: the upload ends after the user's message.
  ASSERT_EQ(S_OK, control_->Put(L"ScriptURL", Variant::FromString(L"ftp://127.0.0.1/")));
  control_->events().SetHandler([&](const container::EventCall& call) {
    if (call.id == DISPID_BRIMLET_UPLOADFINISH) AddFiles(dir(), {"next.txt"}, &watcher);
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return control_->events().Count(DISPID_BRIMLET_UPLOADFINISH) > 0; }, 30000));
  control_->PumpUntil([] { return false; }, 300);
  EXPECT_EQ(Strings{next}, RowTexts(list_));
  Variant count;
  ASSERT_EQ(S_OK, control_->Get(L"FileCount", &count));
  EXPECT_EQ(1, count.get()->lVal);
}

}  // namespace
