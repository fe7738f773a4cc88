// What a page builds its own upload flow with, used as a page author would:
// script in a page reads the reply and the failure in its UploadFinish
// handler, sets form fields and header lines that the receiver records,
// follows the list and the body through FilesChanged and UploadProgress, and
// is told why when it calls a member wrongly.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "container/page_host.h"
#include "framework/text.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/responsiveness_probe.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"

namespace {

const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::PageHost;

// Every event is logged; a reply's line breaks show as '|'.
const char kPage[] =
    "<object id=\"upload\" classid=\"clsid:63C86E2A-4127-4050-A0F7-CBA35E51CBA6\" width=300 height=120>"
    "</object>\n"
    "<script>\n"
    "var progress = [];\n"
    "function upload::UploadFinish(success) {\n"
    "  log('finish ' + success + ' ' + upload.ResponseStatus + ' [' +\n"
    "      upload.ResponseText.replace(/\\r?\\n/g, '|') + '] [' + upload.ErrorText + '] ' + upload.FileCount);\n"
    "}\n"
    "function upload::FilesChanged(count) { log('files ' + count + ' ' + upload.TotalSize); }\n"
    "function upload::UploadProgress(sent, total) { progress.push([sent, total]); }\n"
    "function attempt(what, f) {\n"
    "  try { f(); log(what + ' taken'); }\n"
    "  catch (e) { log(what + ' ' + (e.number >>> 0).toString(16) + ' ' + (e.description != '')); }\n"
    "}\n"
    "</script>\n";

using drivers::IsProgressDialog;

class PageApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(receiver_.Started());
    scenario::EnsureRegistered();
    page_ = PageHost::Load(kPage, container::PageOptions{});
    ASSERT_TRUE(page_);
    std::string errors;
    for (const auto& error : page_->errors()) {
      const std::wstring line = container::DescribeError(error);
      errors += fw::NarrowFromWide(line.data(), line.size()) + "\n";
    }
    ASSERT_TRUE(page_->ok()) << errors;
  }

  // Runs script as the page's own; fails the test on a script error.
  void Run(const std::string& code) {
    const std::wstring wide = fw::WideFromNarrow(code);
    EXPECT_EQ(S_OK, page_->Run(wide)) << code;
  }
  // Picks `paths` in the open-file dialog that AddFile opens.
  void AddFiles(const std::vector<std::string>& paths) {
    drivers::DialogWatcher watcher(drivers::AnswerPickers({paths, {}, false}));
    Run("upload.AddFile();");
  }
  // Starts an upload to `route`.
  void Upload(const std::string& route) {
    Run("upload.ScriptURL = '" + receiver_.Url(route) + "'; upload.Upload();");
  }
  // Pumps until the transcript has `count` more finish lines than at the
  // last call; false after 30 s.
  bool WaitForFinishes(std::size_t count) {
    drivers::DialogWatcher watcher([](const drivers::DialogSeen& seen) { return IsProgressDialog(seen.window) ? 0 : IDOK; });
    const auto finishes = [this] {
      std::size_t n = 0;
      for (std::size_t at = page_->transcript().find(L"finish "); at != std::wstring::npos;
           at = page_->transcript().find(L"finish ", at + 1))
        ++n;
      return n;
    };
    const DWORD start = ::GetTickCount();
    while (finishes() < finishesSeen_ + count) {
      if (::GetTickCount() - start > 30000) return false;
      page_->PumpFor(50);
    }
    // The list's reset follows the event.
    page_->PumpFor(100);
    finishesSeen_ += count;
    return true;
  }
  // The transcript's lines since the last call, in the page's code page.
  std::vector<std::string> NewLines() {
    const std::wstring& all = page_->transcript();
    std::vector<std::string> lines;
    std::wstring line;
    for (std::size_t i = read_; i < all.size(); ++i) {
      if (all[i] == L'\n') {
        lines.push_back(fw::NarrowFromWide(line.data(), line.size()));
        line.clear();
      } else {
        line += all[i];
      }
    }
    read_ = all.size() - line.size();
    return lines;
  }

  scenario::Receiver receiver_;
  scenario::TempFolder folder_{"brimlet-page-api"};
  std::unique_ptr<PageHost> page_;
  std::size_t read_ = 0;
  std::size_t finishesSeen_ = 0;
};

// The handler reads its own upload's status, reply (UTF-8 or code page 949
// as the reply says) and failure, before the list is emptied.
TEST_F(PageApi, TheFinishHandlerReadsTheReplyAndTheFailureOfItsUpload) {
  const std::string file = folder_.File("보고서.txt", 300);
  const struct {
    const char* route;
    const char* line;
  } cases[] = {
      {"/json-reply", "finish true 200 [{\"stored\":\"보고서.txt\",\"note\":\"저장했습니다\"}] [] 1"},
      {"/korean-reply", "finish true 200 [저장했습니다] [] 1"},
      {"/status/404", "finish false 404 [status 404|] [서버 응답 오류: 404] 1"},
      {"/empty", "finish true 200 [] [] 1"},
  };
  for (const auto& c : cases) {
    AddFiles({file});
    NewLines();
    Upload(c.route);
    ASSERT_TRUE(WaitForFinishes(1)) << c.route;
    const std::vector<std::string> lines = NewLines();
    ASSERT_EQ(2u, lines.size()) << c.route;
    EXPECT_EQ(c.line, lines[0]) << c.route;
    EXPECT_EQ("files 0 0", lines[1]) << "the list empties after the handler: " << c.route;
  }

  // Two uploads at once: each handler reads its own upload's values.
  AddFiles({file});
  NewLines();
  Upload("/status/201/slow-reply/1500");
  Upload("/status/202/korean-reply");
  ASSERT_TRUE(WaitForFinishes(2));
  const std::vector<std::string> expected = {"finish true 202 [저장했습니다] [] 1", "files 0 0",
                                             "finish true 201 [OK|] [] 0"};
  EXPECT_EQ(expected, NewLines());
}

// Fields go before the files and header lines with the request, both as
// the page last set them (a character code page 949 lacks as a reference, as
// a form page sends it); once cleared, the request is what it was without.
TEST_F(PageApi, FieldsAndHeaderLinesReachTheServerAndLeaveNoTraceOnceCleared) {
  const std::string file = folder_.File("a.bin", 5);
  const std::string boundary = "----MULTI-PARTS-FORM-DATA-BOUNDARY";
  Run("upload.SetFormField('record_id', '42'); upload.SetFormField('메모', '첫째 줄 caf\\u00e9 \\ud83d\\ude00');"
      "upload.SetFormField('record_id', '43'); upload.SetRequestHeader('X-Upload-Token', 'abc 123');"
      "upload.SetRequestHeader('x-upload-token', 'def');");
  AddFiles({file});
  Upload("/ok");
  ASSERT_TRUE(WaitForFinishes(1));
  AddFiles({file});
  Run("upload.ClearFormFields(); upload.SetRequestHeader('X-Upload-Token', '');");
  Upload("/ok");
  ASSERT_TRUE(WaitForFinishes(1));

  const auto requests = receiver_.WaitForRequests(2);
  ASSERT_EQ(2u, requests.size());
  const std::string fileParts = "Content-Disposition: form-data; name=\"FILE1\"; filename=\"" + file +
                                "\"\r\nContent-Type: application/octet-stream\r\n\r\nxxxxx\r\n" + boundary + "--\r\n";
  EXPECT_EQ(boundary + "\r\nContent-Disposition: form-data; name=\"record_id\"\r\n\r\n43\r\n" + boundary +
                "\r\nContent-Disposition: form-data; name=\"메모\"\r\n\r\n첫째 줄 caf&#233; &#128512;\r\n" + boundary + "\r\n" +
                fileParts,
            requests[0].Body());
  EXPECT_EQ("def", requests[0].Header("X-Upload-Token"));
  EXPECT_EQ(std::to_string(requests[0].Body().size()), requests[0].Header("Content-Length"));
  EXPECT_EQ(boundary + "\r\n" + fileParts, requests[1].Body());
  EXPECT_EQ(std::string::npos, requests[1].Head().find("X-Upload-Token")) << requests[1].Head();
}

// Every wrong call is refused with its code and a reason, and changes
// nothing: the upload after them sends no field and no header of theirs.
TEST_F(PageApi, WrongCallsAreRefusedWithAReasonAndChangeNothing) {
  Run("attempt('path of an empty list', function () { upload.FilePath(0); });"
      "attempt('size without index', function () { upload.FileSize(); });"
      "attempt('path by a word', function () { upload.FilePath('first'); });"
      "attempt('field of a file part', function () { upload.SetFormField('file2', 'x'); });"
      "attempt('field name with a quote', function () { upload.SetFormField('a\"b', 'x'); });"
      "attempt('field value with a line break', function () { upload.SetFormField('a', 'x\\ny'); });"
      "attempt('field name with a backslash', function () { upload.SetFormField('a\\\\', 'x'); });"
      "attempt('field value opening with the delimiter', function () {"
      "  upload.SetFormField('a', '----MULTI-PARTS-FORM-DATA-BOUNDARY--'); });"
      "attempt('owned header', function () { upload.SetRequestHeader('content-length', '1'); });"
      "attempt('header name with a space', function () { upload.SetRequestHeader('X Bad', 'y'); });"
      "attempt('header name not ASCII', function () { upload.SetRequestHeader('헤더', 'y'); });"
      "attempt('header value with a line break', function () { upload.SetRequestHeader('X-A', 'b\\r\\nX-B: c'); });"
      "attempt('header value outside the code page', function () { upload.SetRequestHeader('X-A', 'caf\\u00e9'); });"
      "attempt('count set', function () { upload.FileCount = 3; });"
      "attempt('good field', function () { upload.SetFormField('ok', '1'); upload.ClearFormFields(); });");
  const std::vector<std::string> expected = {
      "path of an empty list 8002000b true",       "size without index 8002000e true",
      "path by a word 80020005 true",              "field of a file part 80070057 true",
      "field name with a quote 80070057 true",     "field value with a line break 80070057 true",
      "field name with a backslash 80070057 true", "field value opening with the delimiter 80070057 true",
      "owned header 80070057 true",                "header name with a space 80070057 true",
      "header name not ASCII 80070057 true",       "header value with a line break 80070057 true",
      "header value outside the code page 80070057 true",
      "count set 80020003 true",                   "good field taken"};
  EXPECT_EQ(expected, NewLines());

  const std::string file = folder_.File("b.txt", 3);
  AddFiles({file});
  Run("attempt('path past the end', function () { upload.FilePath(1); });"
      "log(upload.FileCount + ' ' + upload.FilePath(0) + ' ' + upload.FileSize(0) + ' ' + upload.TotalSize);");
  EXPECT_EQ((std::vector<std::string>{"files 1 3", "path past the end 8002000b true", "1 " + file + " 3 3"}),
            NewLines());
  Upload("/ok");
  ASSERT_TRUE(WaitForFinishes(1));
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(0u, requests[0].Body().find("----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; "
                                        "name=\"FILE1\""));
  EXPECT_EQ(std::string::npos, requests[0].Head().find("X-A")) << requests[0].Head();
}

// One FilesChanged per user action, however many rows it touched; the body's
// progress climbs to the whole body and ends with it.
TEST_F(PageApi, EventsComeOncePerActionAndProgressEndsWithTheWholeBody) {
  const std::string folder = folder_.Subfolder("many");
  for (int i = 0; i < 500; ++i) scenario::WriteFileOfSize(folder + "\\f" + std::to_string(i) + ".txt", 100);
  Run("upload.MaxFileCount = 1000;");
  {
    drivers::DialogWatcher watcher(drivers::AnswerPickers({{}, folder, false}));
    Run("upload.AddFolder();");
  }
  EXPECT_EQ(std::vector<std::string>{"files 500 50000"}, NewLines());
  Run("upload.RemoveAll(); upload.RemoveAll();");
  EXPECT_EQ(std::vector<std::string>{"files 0 0"}, NewLines()) << "the second found nothing to remove";

  const std::string big = folder_.File("big.bin", 6 << 20);
  AddFiles({big});
  EXPECT_EQ(std::vector<std::string>{"files 1 6291456"}, NewLines());
  Upload("/slow-read/8388608/discard");
  ASSERT_TRUE(WaitForFinishes(1));
  EXPECT_EQ((std::vector<std::string>{"finish true 200 [OK|] [] 1", "files 0 0"}), NewLines());
  container::Variant report;
  ASSERT_EQ(S_OK, page_->Evaluate(L"progress.length + ' ' + progress[progress.length - 1][0] + ' ' + "
                                  L"progress[progress.length - 1][1] + ' ' + (function () {"
                                  L"for (var i = 1; i < progress.length; ++i) if (progress[i][0] <= progress[i - 1][0]) "
                                  L"return 'not climbing'; return 'climbing'; })()",
                                  &report));
  const std::wstring wide = report.AsString();
  const std::string text = fw::NarrowFromWide(wide.data(), wide.size());
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const std::string length = requests[0].Header("Content-Length");
  EXPECT_NE(std::string::npos, text.find(" " + length + " " + length + " climbing")) << text;
  EXPECT_GE(std::stoi(text), 2) << "a body that takes a second is reported more than once: " << text;
}

}  // namespace
