// Uploads as a page and a person meet them: files added through the real
// open-file dialog, Upload called by name, the progress dialog read and
// clicked by the watcher while the transfer runs, and every byte the server
// got checked at a real local receiver.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/message_drain.h"
#include "framework/text.h"
#include "framework/unique_handle.h"
#include "module/dispatch_ids.h"
#include "resources/resource_ids.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/responsiveness_probe.h"
#include "tests/receiver/record.h"
#include "tests/receiver/reply.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"
#include "tests/wine/support/upload_support.h"

namespace {

// Every scenario here fails on a call that ends something already gone.
const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::Variant;
using receiver::Outcome;
using scenario::IsProgressDialog;
using scenario::LeaveProgressOpen;
using scenario::MessageTexts;
using scenario::RecordedRequest;
using scenario::WriteContent;
using Strings = std::vector<std::string>;

const char kInUse[] = "사용중인 파일입니다. 파일을 닫으신후 첨부하세요";
const char kConfirmCancel[] = "전송을 정말 취소하시겠습니까?";
const char kBadUrl[] = "오류: URL은 http:// 또는 https:// 로 시작해야 합니다.";
const int kCancelButton = IDC_CANCEL_UPLOAD;

// What a server receives for one part, written out from the wire format.
std::string Part(bool first, int number, const std::string& path, const std::string& type,
                 const std::string& data) {
  return std::string(first ? "" : "\r\n") + "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n" +
         "Content-Disposition: form-data; name=\"FILE" + std::to_string(number) + "\"; filename=\"" +
         path + "\"\r\nContent-Type: " + type + "\r\n\r\n" + data;
}
const char kTrailer[] = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";

std::string ItemText(HWND dialog, int id) { return drivers::WindowTextA(::GetDlgItem(dialog, id)); }

// The progress dialog as the user reads it at one moment.
struct ProgressSeen {
  std::string caption, currentFile, fileTime, filePercent, totalTime, totalPercent;
  Strings panes;        // the status bar's three panes
  Strings rowNames, rowSizes, rowStatuses;
};

std::string PaneText(HWND bar, int pane) {
  char text[512] = {};
  DWORD_PTR length = 0;
  ::SendMessageTimeoutA(bar, SB_GETTEXTLENGTHA, pane, 0, SMTO_NORMAL, 2000, &length);
  if (LOWORD(length) >= sizeof text) return {};
  ::SendMessageTimeoutA(bar, SB_GETTEXTA, pane, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000, &length);
  return text;
}

std::string ListText(HWND list, int row, int column) {
  char text[512] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item), SMTO_NORMAL, 2000,
                        &ignored);
  return text;
}

ProgressSeen ReadProgress(HWND dialog) {
  ProgressSeen seen;
  seen.caption = drivers::WindowTextA(dialog);
  seen.currentFile = ItemText(dialog, IDC_CURRENT_FILE);
  seen.fileTime = ItemText(dialog, IDC_FILE_TIME_LEFT);
  seen.filePercent = ItemText(dialog, IDC_FILE_PERCENT);
  seen.totalTime = ItemText(dialog, IDC_TOTAL_TIME_LEFT);
  seen.totalPercent = ItemText(dialog, IDC_TOTAL_PERCENT);
  HWND bar = ::FindWindowExA(dialog, nullptr, STATUSCLASSNAMEA, nullptr);
  for (int pane = 0; pane < 3; ++pane) seen.panes.push_back(bar ? PaneText(bar, pane) : "");
  HWND list = ::GetDlgItem(dialog, IDC_FILE_LIST);
  DWORD_PTR rows = 0;
  ::SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 2000, &rows);
  for (int row = 0; row < static_cast<int>(rows); ++row) {
    seen.rowNames.push_back(ListText(list, row, 0));
    seen.rowSizes.push_back(ListText(list, row, 1));
    seen.rowStatuses.push_back(ListText(list, row, 2));
  }
  return seen;
}

// A file class of the test's own in the system's table, so that the lookup
// is seen to read it whatever the system ships.
class RegisteredContentType {
 public:
  RegisteredContentType() {
    fw::UniqueHKey key;
    ::RegCreateKeyExA(HKEY_CLASSES_ROOT, kExtension, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    ::RegSetValueExA(key.get(), "Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(kType), sizeof kType);
  }
  ~RegisteredContentType() { ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kExtension); }
  static constexpr char kExtension[] = ".brimtest";
  static constexpr char kType[] = "application/x-brimlet-test";
};

class Upload : public scenario::HostedUploadTest {
 protected:
  Upload() : HostedUploadTest("upload-") {}

  std::string File(const std::string& name, const std::string& content) {
    const std::string path = folder_->path() + "\\" + name;
    EXPECT_TRUE(WriteContent(path, content)) << path;
    return path;
  }
  void AddFiles(const Strings& names) {
    scenario::PickFiles(*control_, folder_->path(), names, static_cast<int>(names.size()));
  }
  void SetUrl(const std::string& url) {
    ASSERT_EQ(S_OK, control_->Put(L"ScriptURL", Variant::FromString(scenario::Wide(url.c_str()))));
  }
  std::optional<bool> WaitForFinish(DWORD timeoutMs = 30000) {
    return scenario::WaitForUploadFinish(*control_, timeoutMs);
  }
  int Rows() { return ListView_GetItemCount(scenario::FileListOf(*control_)); }
};

// ---------------------------------------------------------------- the request
TEST_F(Upload, OneFileIsPostedByteForByteAndTheListEmpties) {
  const std::string path = File("a.bin", "hello");
  AddFiles({"a.bin"});
  // The server takes a moment to answer, as a real script does: the body
  // goes out while the dialog is still being made, and the dialog stays up
  // until the answer.
  SetUrl(receiver_.Url("/slow-reply/500/upload.asp?user=7"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  EXPECT_TRUE(MessageTexts(watcher).empty()) << MessageTexts(watcher)[0];

  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const RecordedRequest& request = requests[0];
  EXPECT_EQ(Outcome::kComplete, request.entry.outcome);
  EXPECT_EQ(0u, request.Head().find("POST /slow-reply/500/upload.asp?user=7 HTTP/1.0\r\n")) << request.Head();
  EXPECT_EQ("*/*", request.Header("Accept"));
  EXPECT_EQ("multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY", request.Header("Content-Type"));
  const std::string expected = Part(true, 1, path, "application/octet-stream", "hello") + kTrailer;
  EXPECT_EQ(expected, request.Body());
  EXPECT_EQ(std::to_string(expected.size()), request.Header("Content-Length"));
  EXPECT_EQ(std::to_string(request.Body().size()), request.Header("Content-Length"));

  EXPECT_EQ(0, Rows());
  // The progress dialog was shown for the upload, and is gone again.
  bool sawProgress = false;
  for (const auto& dialog : watcher.Seen()) {
    for (const auto& text : dialog.childTexts) sawProgress |= text == "현재 파일";
  }
  EXPECT_TRUE(sawProgress);
}

// A page that calls Upload again just as the first upload ends: the end of
// the first waits in this thread's queue, and the second Upload's own drain
// delivers it (its handler fires UploadFinish and empties the list) in the
// middle of starting the second. The second still sends the rows the page
// saw when it asked, with no in-use box for rows that have gone.
TEST_F(Upload, ASecondUploadStartedAsTheFirstEndsSendsTheRowsItWasAskedFor) {
  const std::string path = File("a.bin", "hello");
  AddFiles({"a.bin"});
  SetUrl(receiver_.Url("/ok/upload.asp"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  const UINT kUploadFinished = WM_USER + 1;
  MSG queued{};
  const DWORD deadline = ::GetTickCount() + 30000;
  // Posted to a window of the control's thread that is not the control's
  // visible one.
  while (!::PeekMessageA(&queued, nullptr, kUploadFinished, kUploadFinished, PM_NOREMOVE) &&
         static_cast<LONG>(deadline - ::GetTickCount()) > 0)
    ::Sleep(10);
  ASSERT_EQ(kUploadFinished, queued.message) << "the first upload did not end";
  ASSERT_EQ(1, Rows());

  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(1u, control_->events().Count(1)) << "the first upload's end was delivered inside Upload";
  ASSERT_TRUE(control_->PumpUntil([&] { return control_->events().Count(1) == 2; }, 30000));
  for (const auto& call : control_->events().Of(DISPID_BRIMLET_UPLOADFINISH)) EXPECT_NE(VARIANT_FALSE, call.args[0].get()->boolVal);
  EXPECT_TRUE(MessageTexts(watcher).empty()) << MessageTexts(watcher)[0];
  const auto requests = receiver_.WaitForRequests(2);
  ASSERT_EQ(2u, requests.size());
  for (const auto& request : requests)
    EXPECT_EQ(Part(true, 1, path, "application/octet-stream", "hello") + kTrailer, request.Body());
  EXPECT_EQ(0, Rows());
}

TEST_F(Upload, PartsAreNumberedWithoutGapsWhenAFileIsInUseAtUploadTime) {
  RegisteredContentType registered;
  const std::string first = File("first.brimtest", "one");
  const std::string locked = File("locked.bin", "two");
  const std::string third = File("third.bin", std::string("\r\n--x\0y", 7));
  AddFiles({"first.brimtest", "locked.bin", "third.bin"});
  SetUrl(receiver_.Url("/ok"));
  scenario::FileHolder holder(locked);
  ASSERT_TRUE(holder.holding());
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  EXPECT_EQ(Strings{kInUse}, MessageTexts(watcher));

  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Part(true, 1, first, RegisteredContentType::kType, "one") +
                Part(false, 2, third, "application/octet-stream", std::string("\r\n--x\0y", 7)) + kTrailer,
            requests[0].Body());
}

// More files than the upload keeps open from the start, or opens ahead of
// the one it measures. Cancelled while they are being opened, the upload
// sends nothing. Left to run with two of them held by another program (one
// far into the list, one past the files kept open), each of those is told
// and left out, and every other part goes out whole and numbered without
// gaps; every row comes, in list order, and reads done once the body has
// gone; and once the page has heard of the end, none of the files stays held.
TEST_F(Upload, ManySmallFilesAreAllSentShownDoneAndNoneStaysHeld) {
  constexpr int kFiles = 2100;
  const std::string folder = folder_->Subfolder("many");
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%04d.bin", i);
    paths.push_back(folder + "\\" + name);
    ASSERT_TRUE(WriteContent(paths.back(), std::to_string(i)));
  }
  ASSERT_EQ(S_OK, control_->Put(L"MaxFileCount", Variant::FromLong(kFiles + 1)));
  auto addAll = [&] {
    drivers::DialogWatcher picker(drivers::AnswerPickers({{}, folder, false}));
    ASSERT_EQ(S_OK, control_->Call(L"AddFolder"));
    ASSERT_EQ(kFiles, Rows());
  };
  addAll();
  // Cancelled by the page while the files are still being opened: it ends
  // once, cancelled, and nothing goes out.
  SetUrl(receiver_.Url("/ok"));
  control_->events().Clear();
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_EQ(S_OK, control_->Call(L"UploadCancel"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  Variant error;
  ASSERT_EQ(S_OK, control_->Get(L"ErrorText", &error));
  EXPECT_STREQ(L"업로드가 취소되었습니다.", error.get()->bstrVal);
  control_->PumpUntil(nullptr, 500);
  EXPECT_EQ(1u, control_->events().Count(DISPID_BRIMLET_UPLOADFINISH));
  EXPECT_TRUE(receiver_.WaitForRequests(1, 500).empty());
  addAll();
  control_->events().Clear();
  const int heldIndices[] = {700, 2070};
  std::vector<int> sent;  // the files that go out, by index
  for (int i = 0; i < kFiles; ++i)
    if (i != heldIndices[0] && i != heldIndices[1]) sent.push_back(i);
  std::optional<scenario::FileHolder> holdFar, holdPastOpen;
  holdFar.emplace(paths[heldIndices[0]]);
  holdPastOpen.emplace(paths[heldIndices[1]]);
  ASSERT_TRUE(holdFar->holding() && holdPastOpen->holding());
  // The server answers seconds after the body: the dialog is read then,
  // which takes a while with this many rows.
  SetUrl(receiver_.Url("/slow-reply/8000/ok"));
  std::optional<ProgressSeen> awaiting;
  std::mutex lock;
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (!IsProgressDialog(seen.window)) return IDOK;
    HWND bar = ::FindWindowExA(seen.window, nullptr, STATUSCLASSNAMEA, nullptr);
    if (PaneText(bar, 0) != "서버 응답 기다림...") return 0;
    ProgressSeen now = ReadProgress(seen.window);
    std::lock_guard<std::mutex> hold(lock);
    if (!awaiting && now.rowNames.size() == sent.size()) awaiting = now;
    return 0;
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish(120000));
  EXPECT_EQ((Strings{kInUse, kInUse}), MessageTexts(watcher));
  {
    std::lock_guard<std::mutex> hold(lock);
    ASSERT_TRUE(awaiting) << "the dialog never showed every row while the reply was awaited";
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(paths[sent[i]].substr(folder.size() + 1), awaiting->rowNames[i]) << i;
      EXPECT_EQ("완료", awaiting->rowStatuses[i]) << i;
    }
  }
  holdFar.reset();
  holdPastOpen.reset();
  // Each file is released soon after the end: another program may write it.
  const DWORD deadline = ::GetTickCount() + 5000;
  for (const std::string& path : paths) {
    fw::UniqueFile writable;
    while (!(writable = fw::UniqueFile(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr))) &&
           static_cast<LONG>(deadline - ::GetTickCount()) > 0)
      ::Sleep(20);
    EXPECT_TRUE(writable) << path << " is still held";
  }
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const std::string body = requests[0].Body();
  EXPECT_EQ(std::to_string(body.size()), requests[0].Header("Content-Length"));
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const std::string& path = paths[sent[i]];
    const std::string part =
        Part(i == 0, static_cast<int>(i + 1), path, "application/octet-stream", std::to_string(sent[i]));
    EXPECT_NE(std::string::npos, body.find(part + "\r\n")) << path;
  }
  for (const int held : heldIndices) EXPECT_EQ(std::string::npos, body.find(paths[held].substr(folder.size() + 1)));
}

TEST_F(Upload, EmptyFilesAndWholePiecesKeepTheDeclaredLength) {
  std::string pieces(2 * 65536, '\0');
  for (size_t i = 0; i < pieces.size(); ++i) pieces[i] = static_cast<char>(i * 7);
  const std::string empty = File("empty.bin", "");
  const std::string whole = File("whole.bin", pieces);
  AddFiles({"empty.bin", "whole.bin"});
  SetUrl(receiver_.Url("/ok"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const std::string expected = Part(true, 1, empty, "application/octet-stream", "") +
                               Part(false, 2, whole, "application/octet-stream", pieces) + kTrailer;
  EXPECT_EQ(expected.size(), requests[0].Body().size());
  EXPECT_TRUE(expected == requests[0].Body());
  EXPECT_EQ(std::to_string(expected.size()), requests[0].Header("Content-Length"));
}

TEST_F(Upload, AKoreanPathTravelsAsItsCodePageBytes) {
  const std::string sub = folder_->Subfolder("보고서");
  const std::string path = sub + "\\한글 파일.bin";
  ASSERT_TRUE(WriteContent(path, "data"));
  drivers::DialogWatcher picker(drivers::AnswerPickers({{path}, {}, false}));
  ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
  ASSERT_EQ(1, Rows());
  picker.SetAnswer(LeaveProgressOpen);
  SetUrl(receiver_.Url("/ok"));
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  // The part names the file by the bytes the list shows, in code page 949.
  EXPECT_EQ(Part(true, 1, path, "application/octet-stream", "data") + kTrailer, requests[0].Body());
  EXPECT_NE(std::string::npos, requests[0].Body().find("\xBA\xB8\xB0\xED\xBC\xAD"));  // 보고서
}

// Files named with characters code page 949 lacks: added through the folder
// browser and the open-file dialog, listed and given to the page whole,
// shown whole in the progress dialog, and sent with each missing character
// as a decimal reference. One of them lies deeper than MAX_PATH.
class WideNamedFiles {
 public:
  explicit WideNamedFiles(std::wstring folder) : folder_(std::move(folder)) {}
  WideNamedFiles(const WideNamedFiles&) = delete;
  WideNamedFiles& operator=(const WideNamedFiles&) = delete;
  ~WideNamedFiles() {
    for (const std::wstring& path : paths_) ::DeleteFileW((L"\\\\?\\" + path).c_str());
  }
  std::wstring Write(const std::wstring& name, const std::string& content) {
    const std::wstring path = folder_ + L"\\" + name;
    const fw::UniqueFile file(::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    EXPECT_TRUE(file && ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                                    nullptr) && written == content.size());
    paths_.push_back(path);
    return path;
  }

 private:
  std::wstring folder_;
  std::vector<std::wstring> paths_;
};

std::wstring ListTextW(HWND list, int row, int column) {
  wchar_t text[1024] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 1024;
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item), SMTO_NORMAL, 2000,
                        &ignored);
  return text;
}

std::vector<std::wstring> ListColumnW(HWND list, int column) {
  std::vector<std::wstring> texts;
  DWORD_PTR rows = 0;
  ::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 2000, &rows);
  for (int row = 0; row < static_cast<int>(rows); ++row) texts.push_back(ListTextW(list, row, column));
  return texts;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

TEST_F(Upload, NamesTheCodePageLacksAreListedShownAndSentAsReferences) {
  const std::string folder = folder_->Subfolder("names");
  const std::wstring wideFolder = scenario::Wide(folder.c_str());
  WideNamedFiles disk(wideFolder);
  const std::wstring deepName = std::wstring(240, L'l') + L"\u00e9.txt";
  // name, what its part's file name ends in, content
  const struct {
    std::wstring name;
    std::string wire;
    std::string content;
  } files[] = {
      {L"a.txt", "\\a.txt", "a"},
      {L"caf\u00e9.txt", "\\caf&#233;.txt", std::string(8 << 20, 'c')},  // keeps the dialog up
      {L"M\u00fcller.docx", "\\M&#252;ller.docx", "mu"},
      {L"\u0e20\u0e32\u0e29\u0e32.txt", "\\&#3616;&#3634;&#3625;&#3634;.txt", "thai"},
      {L"\U0001F600.png", "\\&#128512;.png", "emoji"},
      {L"\ud55c\uae00 caf\u00e9.hwp", "\\\xc7\xd1\xb1\xdb caf&#233;.hwp", "mixed"},
      {deepName, "\\" + std::string(240, 'l') + "&#233;.txt", "deep"},
  };
  std::vector<std::wstring> paths;
  for (const auto& file : files) paths.push_back(disk.Write(file.name, file.content));
  ASSERT_GE(paths.back().size(), static_cast<size_t>(MAX_PATH)) << "the deep file must lie past MAX_PATH";
  // One more, beside the folder, chosen by name in the open-file dialog.
  WideNamedFiles beside(scenario::Wide(folder_->path().c_str()));
  const std::wstring resume = beside.Write(L"r\u00e9sum\u00e9.pdf", "cv");

  {
    drivers::DialogWatcher picker(drivers::AnswerPickers({{}, folder, false}));
    ASSERT_EQ(S_OK, control_->Call(L"AddFolder"));
    EXPECT_TRUE(MessageTexts(picker).empty()) << MessageTexts(picker)[0];
  }
  {
    drivers::PickerScript script{{folder_->path() + u8"\\r\u00e9sum\u00e9.pdf"}, {}, false};
    script.utf8 = true;
    drivers::DialogWatcher picker(drivers::AnswerPickers(script));
    ASSERT_EQ(S_OK, control_->Call(L"AddFile"));
    EXPECT_TRUE(MessageTexts(picker).empty()) << MessageTexts(picker)[0];
  }
  std::vector<std::wstring> expected = paths;
  expected.push_back(resume);
  const std::vector<std::wstring> listed = ListColumnW(scenario::FileListOf(*control_), 0);
  EXPECT_EQ(Sorted(expected), Sorted(listed));
  // The page reads the same paths, without loss and without any prefix.
  ASSERT_EQ(expected.size(), listed.size());
  for (size_t row = 0; row < listed.size(); ++row) {
    Variant path;
    ASSERT_EQ(S_OK, control_->InvokeId(DISPID_BRIMLET_FILEPATH, DISPATCH_METHOD,
                                       {Variant::FromLong(static_cast<long>(row))}, &path));
    EXPECT_EQ(listed[row], path.AsString());
  }

  std::optional<std::vector<std::wstring>> rowNames;
  std::wstring currentFile;
  std::mutex lock;
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (!IsProgressDialog(seen.window)) return IDOK;
    HWND list = ::GetDlgItem(seen.window, IDC_FILE_LIST);
    std::vector<std::wstring> names = ListColumnW(list, 0);
    wchar_t shown[1024] = {};
    ::GetWindowTextW(::GetDlgItem(seen.window, IDC_CURRENT_FILE), shown, 1024);
    std::lock_guard<std::mutex> hold(lock);
    if (!rowNames && names.size() == expected.size()) rowNames = names;
    if (std::wstring(shown).find(L"caf\u00e9") != std::wstring::npos) currentFile = shown;
    return 0;
  });
  SetUrl(receiver_.Url("/slow-read/1048576"));
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish(60000));
  {
    std::lock_guard<std::mutex> hold(lock);
    ASSERT_TRUE(rowNames) << "the dialog's rows were never seen";
    std::vector<std::wstring> names;
    for (const auto& file : files) names.push_back(file.name);
    names.push_back(L"r\u00e9sum\u00e9.pdf");
    EXPECT_EQ(Sorted(names), Sorted(*rowNames));
    EXPECT_EQ(wideFolder + L"\\caf\u00e9.txt", currentFile);
  }
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const std::string body = requests[0].Body();
  EXPECT_EQ(std::to_string(body.size()), requests[0].Header("Content-Length"));
  for (const auto& file : files) {
    const std::string header = "filename=\"" + folder + file.wire + "\"\r\n";
    const size_t at = body.find(header);
    ASSERT_NE(std::string::npos, at) << header;
    const size_t data = body.find("\r\n\r\n", at) + 4;
    EXPECT_EQ(file.content, body.substr(data, file.content.size())) << header;
  }
  EXPECT_NE(std::string::npos, body.find("filename=\"" + folder_->path() + "\\r&#233;sum&#233;.pdf\"\r\n"));
  EXPECT_EQ(std::string::npos, body.find('?')) << "no character was lost on the way";
}

// ---------------------------------------------------------------- refusals
TEST_F(Upload, AnAddressThatIsNotHttpIsRefusedWithoutAConnection) {
  File("a.bin", "x");
  for (const std::string& url : {"ftp://127.0.0.1:" + std::to_string(receiver_.Port()) + "/ok", std::string("/ok")}) {
    AddFiles({"a.bin"});
    SetUrl(url);
    drivers::DialogWatcher watcher;
    control_->events().Clear();
    ASSERT_EQ(S_OK, control_->Call(L"Upload"));
    EXPECT_EQ(std::optional<bool>(false), WaitForFinish()) << url;
    EXPECT_EQ(Strings{kBadUrl}, MessageTexts(watcher)) << url;
    EXPECT_EQ(0, Rows());
  }
  EXPECT_TRUE(receiver_.WaitForRequests(1, 500).empty());
}

TEST_F(Upload, ARefusedConnectionFailsWithTheSendError) {
  File("a.bin", "x");
  AddFiles({"a.bin"});
  SetUrl("http://127.0.0.1:" + std::to_string(scenario::Receiver::UnusedPort()) + "/ok");
  drivers::DialogWatcher watcher;
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  const Strings texts = MessageTexts(watcher);
  ASSERT_EQ(1u, texts.size());
  EXPECT_EQ(0u, texts[0].find("오류: HttpSendRequestEx: ")) << texts[0];
}

TEST_F(Upload, AServerThatClosesMidBodyFailsTheUpload) {
  File("big.bin", std::string(4 << 20, 'z'));
  AddFiles({"big.bin"});
  SetUrl(receiver_.Url("/close-mid-body/1000"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  // The first piece's write is blocked when the reset comes. Windows fails
  // it at once; Wine 8 now and then leaves it blocked until the upload's
  // 30-second silence limit, and the upload fails then. Either way it fails,
  // so the wait outlasts that limit.
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish(60000));
  EXPECT_EQ(1u, MessageTexts(watcher).size());
  EXPECT_EQ(0, Rows());
}

TEST_F(Upload, HttpsToATrustedServerSendsTheSameBodyOverTls) {
  ASSERT_TRUE(scenario::Receiver::TrustTestAuthority());
  scenario::Receiver secure(scenario::Receiver::Tls::kTrusted);
  ASSERT_TRUE(secure.Started());
  const std::string path = File("secret.bin", "over tls");
  AddFiles({"secret.bin"});
  SetUrl(secure.SecureUrl("/ok"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  const auto requests = secure.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Part(true, 1, path, "application/octet-stream", "over tls") + kTrailer, requests[0].Body());
}

TEST_F(Upload, HttpsToAnUntrustedServerFailsWithTheSendError) {
  scenario::Receiver stranger(scenario::Receiver::Tls::kStranger);
  ASSERT_TRUE(stranger.Started());
  File("a.bin", "x");
  AddFiles({"a.bin"});
  SetUrl(stranger.SecureUrl("/ok"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  const Strings texts = MessageTexts(watcher);
  ASSERT_EQ(1u, texts.size());
  EXPECT_EQ(0u, texts[0].find("오류: HttpSendRequestEx: ")) << texts[0];
  EXPECT_TRUE(stranger.WaitForRequests(1, 500).empty());
}

TEST_F(Upload, AResetAfterTheLastByteIsAFailureNotASuccess) {
  const std::string path = File("a.bin", "x");
  AddFiles({"a.bin"});
  // The server takes the whole body, then drops the connection without an
  // answer.
  const size_t body = (Part(true, 1, path, "application/octet-stream", "x") + kTrailer).size();
  SetUrl(receiver_.Url("/close-mid-body/" + std::to_string(body)));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  EXPECT_EQ(Strings{"HttpEndRequest 요청 오류"}, MessageTexts(watcher));
  EXPECT_EQ(0, Rows());
}

TEST_F(Upload, EveryFileInUseAtUploadTimeStillRunsTheWorkerAndFails) {
  const std::string one = File("one.bin", "1");
  const std::string two = File("two.bin", "2");
  AddFiles({"one.bin", "two.bin"});
  SetUrl(receiver_.Url("/ok"));
  scenario::FileHolder holdOne(one), holdTwo(two);
  ASSERT_TRUE(holdOne.holding() && holdTwo.holding());
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  EXPECT_EQ((Strings{kInUse, kInUse}), MessageTexts(watcher));
  EXPECT_EQ(0, Rows());
  // Nothing was sent, and nothing was even attempted.
  EXPECT_TRUE(receiver_.WaitForRequests(1, 500).empty());
}

// A page's timer that cancels while the user reads an in-use message: the
// upload was asked for, so it is cancelled, and nothing goes out. The
// message is the worker's: Upload has returned to the page before it shows.
struct TimerCancel {
  container::HostedControl* control = nullptr;
  const drivers::DialogWatcher* watcher = nullptr;
  std::atomic<bool> cancelled{false};
};
TimerCancel g_timerCancel;
constexpr UINT_PTR kCancelTimer = 25;

void CALLBACK CancelOnceABoxIsOpen(HWND, UINT, UINT_PTR, DWORD) {
  if (g_timerCancel.cancelled || g_timerCancel.watcher->Count() == 0) return;
  EXPECT_EQ(S_OK, g_timerCancel.control->Call(L"UploadCancel"));
  g_timerCancel.cancelled = true;
}

TEST_F(Upload, UploadCancelFromATimerWhileAnInUseMessageIsOpenSendsNothing) {
  const std::string held = File("held.bin", "1");
  File("free.bin", "2");
  AddFiles({"held.bin", "free.bin"});
  SetUrl(receiver_.Url("/ok"));
  scenario::FileHolder hold(held);
  ASSERT_TRUE(hold.holding());
  // The message stays open until the page's timer has cancelled.
  drivers::DialogWatcher watcher([](const drivers::DialogSeen& seen) {
    if (seen.text == kInUse) return g_timerCancel.cancelled ? IDOK : 0;
    return LeaveProgressOpen(seen);
  });
  g_timerCancel.control = control_.get();
  g_timerCancel.watcher = &watcher;
  g_timerCancel.cancelled = false;
  ::SetTimer(control_->hostWindow(), kCancelTimer, 50, &CancelOnceABoxIsOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_FALSE(g_timerCancel.cancelled) << "Upload held the page while the message was open";
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  ::KillTimer(control_->hostWindow(), kCancelTimer);
  EXPECT_TRUE(g_timerCancel.cancelled);
  Variant error;
  ASSERT_EQ(S_OK, control_->Get(L"ErrorText", &error));
  EXPECT_STREQ(L"업로드가 취소되었습니다.", error.get()->bstrVal);
  EXPECT_EQ(Strings{kInUse}, MessageTexts(watcher)) << "no progress dialog, no other message";
  EXPECT_EQ(0, Rows());
  EXPECT_TRUE(receiver_.WaitForRequests(1, 1000).empty());
}

TEST_F(Upload, AServerThatNeverAnswersEndsTheUploadInBoundedTime) {
  File("a.bin", "x");
  AddFiles({"a.bin"});
  SetUrl(receiver_.Url("/slow-reply/120000"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  const DWORD start = ::GetTickCount();
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish(100000));
  EXPECT_LT(::GetTickCount() - start, 100000u);
  EXPECT_EQ(Strings{"HttpEndRequest 요청 오류"}, MessageTexts(watcher));
}

// ---------------------------------------------------------------- replies
// A file whose bytes hold the delimiter and part headers of its own (a saved
// request, a mail archive) would end its part there and add a part of its
// choosing: it is never sent whole, and the user and the page are told which.
TEST_F(Upload, AFileHoldingTheDelimiterIsNotSentWholeAndItsNameIsTold) {
  const std::string injected = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"
                               "Content-Disposition: form-data; name=\"FILE9\"; filename=\"x.php\"\r\n\r\nplanted";
  File("first.bin", "fine");
  const std::string saved = File("saved.eml", std::string(3 << 20, 'm') + injected + std::string(100, 'm'));
  AddFiles({"first.bin", "saved.eml"});
  SetUrl(receiver_.Url("/ok"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  const std::string told = saved + " 파일에 업로드 구분 문자열이 들어 있어 보낼 수 없습니다.";
  EXPECT_EQ(Strings{told}, MessageTexts(watcher));
  Variant error;
  ASSERT_EQ(S_OK, control_->Get(L"ErrorText", &error));
  EXPECT_EQ(fw::WideFromNarrow(told), std::wstring(error.get()->bstrVal));

  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const RecordedRequest& request = requests[0];
  EXPECT_EQ(Outcome::kClientClosed, request.entry.outcome);
  EXPECT_LT(request.entry.received, request.entry.declared.value_or(0));
  EXPECT_EQ(std::string::npos, request.Body().find("FILE9"));
  EXPECT_EQ(std::string::npos, request.Body().find(kTrailer));
  EXPECT_EQ(0u, request.Body().find(Part(true, 1, folder_->path() + "\\first.bin", "application/octet-stream", "fine")));
}

TEST_F(Upload, AnErrorStatusIsAFailedUploadAndItsReplyIsShownWhenAsked) {
  File("a.bin", "x");
  for (bool serverResponse : {false, true}) {
    AddFiles({"a.bin"});
    ASSERT_EQ(S_OK, control_->Put(L"ServerResponse", Variant::FromBool(serverResponse)));
    SetUrl(receiver_.Url("/status/500"));
    drivers::DialogWatcher watcher(LeaveProgressOpen);
    control_->events().Clear();
    ASSERT_EQ(S_OK, control_->Call(L"Upload"));
    EXPECT_EQ(std::optional<bool>(false), WaitForFinish()) << serverResponse;
    EXPECT_EQ(serverResponse ? 1u : 0u, MessageTexts(watcher).size());
  }
}

TEST_F(Upload, TheServersReplyIsShownBeforeTheEventAsFarAsABoxCanHoldIt) {
  File("a.bin", "x");
  ASSERT_EQ(S_OK, control_->Put(L"ServerResponse", Variant::FromBool(true)));
  // A box shows nothing at all from 32,767 characters on: a long reply is
  // shown from its beginning instead.
  for (const auto& sizes : {std::make_pair(20000, 20000), std::make_pair(150000, 32766)}) {
    AddFiles({"a.bin"});
    SetUrl(receiver_.Url("/reply/" + std::to_string(sizes.first)));
    // Counted on the page's thread as the events come; read by the watcher.
    std::atomic<int> finishes{0};
    control_->events().SetHandler([&](const container::EventCall& call) {
      if (call.id == DISPID_BRIMLET_UPLOADFINISH) ++finishes;
    });
    std::atomic<int> eventsWhenShown{-1};
    drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
      if (IsProgressDialog(seen.window)) return 0;
      eventsWhenShown = finishes.load();
      return IDOK;
    });
    control_->events().Clear();
    ASSERT_EQ(S_OK, control_->Call(L"Upload"));
    EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
    const Strings texts = MessageTexts(watcher);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(receiver::ReplyText(sizes.second), texts[0]);
    EXPECT_EQ(0, eventsWhenShown.load());
    control_->events().SetHandler(nullptr);
  }
  // A reply that says it is UTF-8 reads as the page reads it, not as code
  // page 949 bytes.
  AddFiles({"a.bin"});
  SetUrl(receiver_.Url("/json-reply"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  control_->events().Clear();
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  EXPECT_EQ(Strings{"{\"stored\":\"보고서.txt\",\"note\":\"저장했습니다\"}"}, MessageTexts(watcher));
}

TEST_F(Upload, AnEmptyReplyShowsNoBox) {
  File("a.bin", "x");
  AddFiles({"a.bin"});
  ASSERT_EQ(S_OK, control_->Put(L"ServerResponse", Variant::FromBool(true)));
  SetUrl(receiver_.Url("/empty"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  EXPECT_TRUE(MessageTexts(watcher).empty()) << MessageTexts(watcher)[0];
}

// ---------------------------------------------------------------- the dialog
// A body the receiver takes in slowly, so that the dialog stays up for a few
// seconds while the watcher reads and clicks it.
class SlowUpload : public Upload {
 protected:
  void SetUp() override {
    Upload::SetUp();
    // About 2.7 MiB run ahead into the socket buffers at once; the rest takes
    // seconds, long enough for a loaded machine to show the dialog mid-file.
    path_ = File("slow.bin", std::string(8 << 20, 's'));
    small_ = File("small.txt", "tiny");
    AddFiles({"slow.bin", "small.txt"});
    SetUrl(receiver_.Url("/slow-read/1048576"));
  }
  std::string path_, small_;
};

TEST_F(SlowUpload, TheDialogShowsTheCurrentFileAndTheJobWhileItRuns) {
  // The dialog's rows give each file's size as the control's list gave it.
  HWND fileList = scenario::FileListOf(*control_);
  const Strings listedSizes{ListText(fileList, 0, 1), ListText(fileList, 1, 1)};
  ASSERT_FALSE(listedSizes[0].empty());
  std::optional<ProgressSeen> during;
  std::mutex lock;
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (!IsProgressDialog(seen.window)) return IDOK;
    ProgressSeen now = ReadProgress(seen.window);
    if (now.filePercent != "" && now.filePercent != "0%" && now.filePercent != "100%") {
      std::lock_guard<std::mutex> hold(lock);
      if (!during) during = now;
    }
    return 0;
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  std::lock_guard<std::mutex> hold(lock);
  ASSERT_TRUE(during) << "the dialog was never seen mid-file";
  EXPECT_EQ(path_, during->currentFile);
  EXPECT_EQ("파일 전송중...", during->panes[0]);
  EXPECT_EQ("전체 2개 중 1개", during->panes[1]);
  EXPECT_EQ(0u, during->panes[2].find("전송 속도:  ")) << during->panes[2];
  EXPECT_EQ((Strings{"slow.bin", "small.txt"}), during->rowNames);
  EXPECT_EQ(listedSizes, during->rowSizes);
  EXPECT_EQ((Strings{"전송중", "기다림"}), during->rowStatuses);
  EXPECT_NE(std::string::npos, during->fileTime.find(" (8,388,608 중 ")) << during->fileTime;
  EXPECT_NE(std::string::npos, during->totalTime.find("(8,388,612 중 ")) << during->totalTime;
  const int percent = std::atoi(during->filePercent.c_str());
  EXPECT_GT(percent, 0);
  EXPECT_LT(percent, 100);
  // The caption and the block's percentage are read one after the other
  // while the transfer goes on: both say the same kind of thing.
  const std::string caption = during->caption;
  ASSERT_EQ(0u, caption.find("전체 ")) << caption;
  const int captionPercent = std::atoi(caption.c_str() + std::strlen("전체 "));
  EXPECT_EQ("전체 " + std::to_string(captionPercent) + "% 완료됨", caption);
  EXPECT_LE(captionPercent, 100);
  EXPECT_NE(std::string::npos, during->totalPercent.find('%'));
}

TEST_F(SlowUpload, CancelConfirmedWithYesStopsTheUploadAndEmptiesTheList) {
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (seen.text == kConfirmCancel) return IDYES;
    if (IsProgressDialog(seen.window)) return kCancelButton;
    return IDOK;
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  EXPECT_EQ(Strings{kConfirmCancel}, MessageTexts(watcher));
  EXPECT_EQ(0, Rows());
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_NE(Outcome::kComplete, requests[0].entry.outcome);
  EXPECT_LT(requests[0].entry.received, *requests[0].entry.declared);
}

TEST_F(SlowUpload, CancelAnsweredWithNoLetsTheUploadComplete) {
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (seen.text == kConfirmCancel) return IDNO;
    if (IsProgressDialog(seen.window)) return kCancelButton;
    return IDOK;
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  EXPECT_EQ(Strings{kConfirmCancel}, MessageTexts(watcher));
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Outcome::kComplete, requests[0].entry.outcome);
}

TEST_F(SlowUpload, TheCloseBoxAsksTheSameQuestion) {
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (seen.text == kConfirmCancel) return IDYES;
    if (IsProgressDialog(seen.window)) {
      ::PostMessageA(seen.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return -1;  // answered: the watcher posts a command nobody handles
    }
    return IDOK;
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  EXPECT_EQ(Strings{kConfirmCancel}, MessageTexts(watcher));
}

TEST_F(SlowUpload, EscHidesTheDialogWithoutCancelling) {
  std::atomic<bool> pressed{false};
  HWND dialog = nullptr;
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (!IsProgressDialog(seen.window)) return IDOK;
    dialog = seen.window;
    ::PostMessageA(seen.window, WM_KEYDOWN, VK_ESCAPE, 0);
    pressed = true;
    return -1;
  });
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return pressed.load(); }, 10000));
  ASSERT_TRUE(control_->PumpUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, 5000));
  EXPECT_TRUE(control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).empty()) << "hidden, and still sending";
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Outcome::kComplete, requests[0].entry.outcome);
}

TEST_F(SlowUpload, UploadCancelStopsItWithoutAsking) {
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return watcher.Count() > 0; }, 10000));
  ASSERT_EQ(S_OK, control_->Call(L"UploadCancel"));
  EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
  EXPECT_TRUE(MessageTexts(watcher).empty());
}

// A hide and show, or a re-layout, deactivates the control in place and
// activates it again: its window goes and a new one comes mid-upload.
TEST_F(SlowUpload, DeactivatedAndActivatedAgainMidUploadItEndsOnceAndTheNextReadsItsOwnStatus) {
  SetUrl(receiver_.Url("/slow-read/1048576/status/201"));
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return watcher.Count() > 0; }, 10000));
  const HWND before = control_->controlWindow();
  ASSERT_EQ(S_OK, control_->As<IOleInPlaceObject>(IID_IOleInPlaceObject)->InPlaceDeactivate());
  ASSERT_EQ(S_OK, control_->DoVerb(OLEIVERB_INPLACEACTIVATE));
  ASSERT_NE(nullptr, control_->controlWindow());
  EXPECT_FALSE(::IsWindow(before));
  EXPECT_EQ(std::optional<bool>(true), WaitForFinish());
  Variant status;
  ASSERT_EQ(S_OK, control_->Get(L"ResponseStatus", &status));
  EXPECT_EQ(201, status.get()->lVal);

  // The next upload hears its own end, not the first one's again.
  AddFiles({"small.txt"});
  SetUrl(receiver_.Url("/status/409"));
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return control_->events().Count(DISPID_BRIMLET_UPLOADFINISH) >= 2; }, 30000));
  control_->PumpUntil([] { return false; }, 500);
  const auto finishes = control_->events().Of(DISPID_BRIMLET_UPLOADFINISH);
  ASSERT_EQ(2u, finishes.size());
  EXPECT_EQ(VARIANT_FALSE, finishes[1].args[0].get()->boolVal);
  ASSERT_EQ(S_OK, control_->Get(L"ResponseStatus", &status));
  EXPECT_EQ(409, status.get()->lVal);
  EXPECT_EQ(2u, receiver_.WaitForRequests(2).size());
}

TEST_F(SlowUpload, TwoUploadsRunSideBySideEachWithItsOwnDialog) {
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).size() >= 2; }, 30000));
  for (const auto& call : control_->events().Of(DISPID_BRIMLET_UPLOADFINISH)) EXPECT_EQ(VARIANT_TRUE, call.args[0].get()->boolVal);
  EXPECT_EQ(2u, watcher.Count());
  EXPECT_EQ(2u, receiver_.WaitForRequests(2).size());
}

TEST_F(SlowUpload, DestroyingTheControlMidUploadEndsTheWorkerQuietly) {
  drivers::DialogWatcher watcher(LeaveProgressOpen);
  ASSERT_EQ(S_OK, control_->Call(L"Upload"));
  ASSERT_TRUE(control_->PumpUntil([&] { return watcher.Count() > 0; }, 10000));
  HMODULE module = ::GetModuleHandleA("BRIMLET.OCX");
  ASSERT_TRUE(module);
  auto canUnload = scenario::Export<HRESULT(WINAPI*)()>(module, "DllCanUnloadNow");
  ASSERT_TRUE(canUnload);
  control_.reset();
  EXPECT_EQ(S_FALSE, canUnload()) << "the worker still runs";
  // The worker ends by itself, and the module may go once it has.
  const DWORD deadline = ::GetTickCount() + 15000;
  while (canUnload() != S_OK && ::GetTickCount() < deadline) fw::PumpFor(50);
  EXPECT_EQ(S_OK, canUnload());
  EXPECT_TRUE(MessageTexts(watcher).empty()) << MessageTexts(watcher)[0];
}

// ------------------------------------------------- a slow server, a live dialog
// A server that is slow to answer or to read is exactly when a person looks
// at the dialog and reaches for Cancel. A probe asks the dialog for an answer
// every 20 ms while a 3 MB file goes to such a server; a second without one
// is a freeze (a slow draw on a loaded machine stays well below it). Then the
// upload is cancelled mid-way and ends as a cancel ends.
class SlowServer : public Upload {
 protected:
  void SetUp() override {
    Upload::SetUp();
    File("three.bin", std::string(3000000, 'm'));
    AddFiles({"three.bin"});
  }

  enum class CancelBy { kButtonConfirmed, kUploadCancel };

  struct Cancelled {
    bool recordedAtFinish = false;  // the server had the whole request when the page heard
    std::optional<RecordedRequest> request;
  };

  // Uploads to `route`, watches the dialog for a few seconds, cancels, and
  // checks what the page and the user see; returns the receiver's record.
  Cancelled UploadWatchedAndCancelled(const std::string& route, CancelBy cancelBy) {
    SetUrl(receiver_.Url(route));
    std::atomic<bool> cancelNow{false};
    drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
      if (seen.text == kConfirmCancel) return IDYES;
      if (IsProgressDialog(seen.window)) return cancelNow ? kCancelButton : 0;
      return IDOK;
    });
    drivers::ResponsivenessProbe probe;
    EXPECT_EQ(S_OK, control_->Call(L"Upload"));
    EXPECT_TRUE(control_->PumpUntil([&] { return watcher.Count() > 0; }, 10000)) << "no progress dialog";
    // Long enough for the body to be in the server's hands or halfway there.
    fw::PumpFor(3000);
    EXPECT_TRUE(control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).empty()) << "the upload ended before it was cancelled";

    if (cancelBy == CancelBy::kUploadCancel) {
      EXPECT_EQ(S_OK, control_->Call(L"UploadCancel"));
    } else {
      cancelNow = true;
    }
    EXPECT_EQ(std::optional<bool>(false), WaitForFinish());
    Cancelled result;
    result.recordedAtFinish = !receiver_.WaitForRequests(1, 0).empty();
    const drivers::Responsiveness seen = probe.Figures();
    EXPECT_EQ(1u, seen.dialogs);
    EXPECT_GT(seen.answers, 0u);
    EXPECT_LT(seen.longestUnansweredMs, 1000u)
        << "the progress dialog went " << seen.longestUnansweredMs << " ms without answering (" << seen.answers
        << " answers, " << seen.unanswered << " given up)";
    EXPECT_EQ(cancelBy == CancelBy::kButtonConfirmed ? Strings{kConfirmCancel} : Strings{}, MessageTexts(watcher));
    EXPECT_EQ(0, Rows());
    EXPECT_EQ(1u, control_->events().Count(DISPID_BRIMLET_UPLOADFINISH));

    const auto requests = receiver_.WaitForRequests(1, 30000);
    EXPECT_EQ(1u, requests.size());
    if (requests.size() == 1 && requests[0].entry.declared) result.request = requests[0];
    return result;
  }
};

TEST_F(SlowServer, WaitingSecondsForTheReplyTheDialogAnswersAndUploadCancelEndsIt) {
  const Cancelled cancelled = UploadWatchedAndCancelled("/slow-reply/6000/discard", CancelBy::kUploadCancel);
  EXPECT_FALSE(cancelled.recordedAtFinish) << "the upload ended only when the server answered";
  ASSERT_TRUE(cancelled.request);
  // The whole body was in: it was the wait for the reply that was cancelled.
  EXPECT_EQ(*cancelled.request->entry.declared, cancelled.request->entry.received);
}

TEST_F(SlowServer, ReadingSlowlyTheDialogAnswersAndItsCancelButtonEndsIt) {
  const Cancelled cancelled = UploadWatchedAndCancelled("/slow-read/204800/discard", CancelBy::kButtonConfirmed);
  // The server takes 15 s to read the body: the page heard of the cancel
  // long before. (The socket's buffers hold nearly all of it at once, so
  // what the server ends up with is the transport's business.)
  EXPECT_FALSE(cancelled.recordedAtFinish) << "the upload ended only when the server had read everything";
  EXPECT_TRUE(cancelled.request);
}

}  // namespace
