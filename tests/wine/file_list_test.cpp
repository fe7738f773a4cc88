// The control's file list as a page and a person meet it: filled from the
// system's real open-file dialog and folder browser (answered by the dialog
// watcher), held to the page's limits with their Korean messages, emptied
// again, switched between views through the real context menu, and read back
// through the list window itself.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/dialog_watcher.h"
#include "host/picker_answers.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/scenario.h"

namespace {

using host::Variant;
using scenario::ColumnTitle;
using scenario::RowTexts;
using Strings = std::vector<std::string>;

const char kInUse[] = "사용중인 파일입니다. 파일을 닫으신후 첨부하세요";
const char kTotalTooLarge[] = "선택하신 파일 전체 크기가 설정된 크기 보다 큽니다.";
const char kFileTooLarge[] = "선택하신 파일 크기가 설정된 크기 보다 큽니다.";
const char kTooManyFiles[] = "선택하신 파일 개수가 설정된 개수 보다 많습니다.";

// The texts of every message box seen, in order.
Strings Messages(const host::DialogWatcher& watcher) {
  Strings texts;
  for (const auto& dialog : watcher.Seen()) {
    if (!host::IsOpenFileDialog(dialog.window) && !dialog.text.empty()) texts.push_back(dialog.text);
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
  void AddFile(const host::PickerScript& script, host::DialogWatcher* watcher) {
    watcher->SetAnswer(host::AnswerPickers(script, [this](const host::DialogSeen&) {
      DWORD_PTR rows = 0;
      ::SendMessageTimeoutA(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 2000, &rows);
      rowsAtMessage_.push_back(static_cast<int>(rows));
    }));
    ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
  }
  void AddFolder(const host::PickerScript& script, host::DialogWatcher* watcher) {
    watcher->SetAnswer(host::AnswerPickers(script, [this](const host::DialogSeen&) {
      DWORD_PTR rows = 0;
      ::SendMessageTimeoutA(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 2000, &rows);
      rowsAtMessage_.push_back(static_cast<int>(rows));
    }));
    ASSERT_EQ(S_OK, control_->Call(L"AddFolder"));
  }
  void AddFiles(const std::string& folder, const Strings& names, host::DialogWatcher* watcher) {
    AddFile({{folder, Quoted(names)}, {}, false}, watcher);
  }
  void Put(const wchar_t* name, long value) {
    ASSERT_EQ(S_OK, control_->Put(name, Variant::FromLong(value)));
  }

  std::unique_ptr<scenario::TempFolder> folder_;
  std::unique_ptr<host::HostedControl> control_;
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

TEST_F(FileList, OneFileChosenIsListedUnderItsFullPathWithItsSizeAndIcons) {
  const std::string path = File("one.txt", 1000);
  host::DialogWatcher watcher;
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

}  // namespace
