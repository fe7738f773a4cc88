// Pages run as a browser runs them: the example pages load and hand their
// params to the control, their scripts read and set its properties, its
// event reaches the page's handler, alerts are real message boxes, and a
// script error names the page line it stands on.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "container/page_host.h"
#include "framework/text.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/responsiveness_probe.h"
#include "tests/drivers/screenshot.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"

namespace {

const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::HostedControl;
using container::PageHost;
using container::Variant;

const char kServer[] = "http://127.0.0.1:8123";
const char kObject[] =
    "<object id=\"upload\" classid=\"clsid:63C86E2A-4127-4050-A0F7-CBA35E51CBA6\" width=300 "
    "height=120>";

std::string WindowsPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

std::wstring ExamplePath(const char* name) {
  const std::string path = WindowsPath(std::string(BRIMLET_SOURCE_DIR "/examples/") + name);
  return std::wstring(path.begin(), path.end());
}

container::PageOptions TestOptions() {
  container::PageOptions options;
  options.defines["SERVER"] = kServer;
  return options;
}

std::unique_ptr<PageHost> OpenExample(const char* name) {
  scenario::EnsureRegistered();
  std::wstring error;
  auto page = PageHost::LoadFile(ExamplePath(name), TestOptions(), &error);
  EXPECT_TRUE(page) << std::string(error.begin(), error.end());
  return page;
}

std::unique_ptr<PageHost> OpenText(const std::string& html) {
  scenario::EnsureRegistered();
  return PageHost::Load(html, TestOptions());
}

std::string Errors(const PageHost& page) {
  std::string text;
  for (const auto& error : page.errors()) {
    const std::wstring line = container::DescribeError(error);
    text += fw::NarrowFromWide(line.data(), line.size(), CP_UTF8) + "\n";
  }
  return text;
}

Variant Property(PageHost& page, const wchar_t* name) {
  Variant value;
  HostedControl* control = page.Control(L"upload");
  EXPECT_TRUE(control);
  if (control) {
    EXPECT_EQ(S_OK, control->Get(name, &value)) << "reading a property";
  }
  return value;
}

TEST(ExamplePages, EachLoadsItsControlVisiblyAndRunsWithoutErrors) {
  for (const char* name : {"minimal.html", "limits.html", "server_reply.html",
                           "upload_finish.html"}) {
    SCOPED_TRACE(name);
    auto page = OpenExample(name);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->ok()) << Errors(*page);
    EXPECT_TRUE(page->notes().empty());
    HostedControl* control = page->Control(L"upload");
    ASSERT_TRUE(control);
    HWND window = control->controlWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(::IsChild(page->window(), window));
    RECT rect{};
    ::GetClientRect(window, &rect);
    EXPECT_EQ(480, rect.right);
    EXPECT_EQ(240, rect.bottom);
    EXPECT_EQ(std::wstring(kServer, kServer + sizeof kServer - 1) + L"/upload",
              Property(*page, L"ScriptURL").AsString());
    EXPECT_FALSE(page->finished());
    // A picture of the page is a PNG file of its window's client size.
    const std::string png = WindowsPath(std::string(BRIMLET_BUILD_DIR "/scenarios/") + name + ".png");
    ASSERT_TRUE(drivers::SaveWindowPng(page->window(), png));
    std::string picture;
    ASSERT_TRUE(scenario::ReadWholeFile(png, &picture));
    ASSERT_GE(picture.size(), 24u);
    EXPECT_EQ("\x89PNG\r\n\x1A\n", picture.substr(0, 8));
    EXPECT_EQ("IHDR", picture.substr(12, 4)) << "the header comes first";
    const auto bigEndian = [&picture](size_t at) {
      long value = 0;
      for (size_t i = at; i < at + 4; ++i) value = value * 256 + static_cast<unsigned char>(picture[i]);
      return value;
    };
    ::GetClientRect(page->window(), &rect);
    EXPECT_EQ(rect.right, bigEndian(16));
    EXPECT_EQ(rect.bottom, bigEndian(20));
  }
}

TEST(ExamplePages, MinimalPageLeavesEveryOtherPropertyAtItsDefault) {
  auto page = OpenExample("minimal.html");
  ASSERT_TRUE(page);
  EXPECT_EQ(100, Property(*page, L"MaxFileCount").AsLong());
  EXPECT_EQ(1073741824, Property(*page, L"MaxFileSize").AsLong());
  EXPECT_EQ(scenario::Wide("모든 파일|*.*|"), Property(*page, L"Filter").AsString());
  EXPECT_EQ(L"False", Property(*page, L"ServerResponse").AsString());
  ASSERT_EQ(2u, page->page().buttons.size());
  EXPECT_EQ("upload.AddFile()", page->page().buttons[0].onclick);
  EXPECT_EQ("upload.Upload()", page->page().buttons[1].onclick);
}

TEST(ExamplePages, LimitsPageParamsReachTheControlAndItsScriptReadsThemBack) {
  auto page = OpenExample("limits.html");
  ASSERT_TRUE(page);
  EXPECT_EQ(3, Property(*page, L"MaxFileCount").AsLong());
  EXPECT_EQ(1048576, Property(*page, L"MaxFileSize").AsLong());
  EXPECT_EQ(2097152, Property(*page, L"MaxTotalSize").AsLong());
  EXPECT_EQ(scenario::Wide("이미지 파일 (*.jpg;*.png)|*.jpg;*.png|모든 파일|*.*|"),
            Property(*page, L"Filter").AsString());
  EXPECT_EQ(L"Up to 3 files, 1048576 bytes each, 2097152 bytes in all.\n", page->transcript());
}

TEST(ExamplePages, LimitsPageButtonSetsAPropertyThatTheControlAndTheScriptReadBack) {
  auto page = OpenExample("limits.html");
  ASSERT_TRUE(page);
  EXPECT_EQ(S_OK, page->Click(L"Allow ten files"));
  EXPECT_EQ(10, Property(*page, L"MaxFileCount").AsLong());
  Variant seen;
  ASSERT_EQ(S_OK, page->Evaluate(L"upload.MaxFileCount + 1", &seen));
  EXPECT_EQ(11, seen.AsLong());
  EXPECT_NE(std::wstring::npos, page->transcript().find(L"Up to 10 files"));
  EXPECT_TRUE(page->ok()) << Errors(*page);
}

TEST(ExamplePages, ServerReplyPageAsksForTheReplyAndHandlesTheEventInAForBlock) {
  auto page = OpenExample("server_reply.html");
  ASSERT_TRUE(page);
  EXPECT_EQ(L"True", Property(*page, L"ServerResponse").AsString());
  EXPECT_EQ(1u, page->HandlerCount(L"upload"));
  // Upload of an empty list finishes at once, successfully.
  ASSERT_EQ(S_OK, page->Click(L"send"));
  EXPECT_EQ(L"The server has the files.\n", page->transcript());
  EXPECT_TRUE(page->ok()) << Errors(*page);
}

TEST(ExamplePages, UploadFinishPageHandlerRunsAndNavigates) {
  auto page = OpenExample("upload_finish.html");
  ASSERT_TRUE(page);
  EXPECT_EQ(1u, page->HandlerCount(L"upload"));
  ASSERT_EQ(S_OK, page->Click(L"Upload"));
  const std::wstring done = std::wstring(kServer, kServer + sizeof kServer - 1) + L"/done.html";
  EXPECT_EQ(L"Upload 1 finished.\n[navigate] " + done + L"\n", page->transcript());
  ASSERT_EQ(1u, page->navigations().size());
  EXPECT_EQ(done, page->navigations()[0]);
  EXPECT_TRUE(page->finished());
  Variant location;
  ASSERT_EQ(S_OK, page->Evaluate(L"window.location", &location));
  EXPECT_EQ(done, location.AsString());
}

TEST(PageEvents, FunctionSyntaxHandlerReceivesTheOutcomeEachTimeTheEventFires) {
  auto page = OpenText(std::string("<html><body>") + kObject + "</object>\n"
                       "<script>\n"
                       "function upload::UploadFinish(success) { log('finished ' + success); }\n"
                       "</script></body></html>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  ASSERT_EQ(S_OK, page->Run(L"upload.Upload(); upload.Upload();"));
  EXPECT_EQ(L"finished true\nfinished true\n", page->transcript());
}

TEST(PageEvents, ALaterHandlerReplacesTheEarlierOne) {
  auto page = OpenText(std::string(kObject) + "</object>"
                       "<script>function upload::UploadFinish(s) { log('first'); }</script>"
                       "<script>function upload::UploadFinish(s) { log('second'); }</script>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  EXPECT_EQ(1u, page->HandlerCount(L"upload"));
  page->Run(L"upload.Upload()");
  EXPECT_EQ(L"second\n", page->transcript());
}

TEST(PageEvents, HandlerForAnEventTheControlLacksIsAnErrorOnItsLine) {
  auto page = OpenText(std::string(kObject) + "</object>\n"
                       "<script>\n"
                       "log('before');\n"
                       "function upload::NoSuchEvent() { log('never'); }\n"
                       "</script>");
  ASSERT_EQ(1u, page->errors().size()) << Errors(*page);
  EXPECT_EQ(4, page->errors()[0].line);
  EXPECT_NE(std::string::npos, Errors(*page).find("upload::NoSuchEvent")) << Errors(*page);
  EXPECT_EQ(0u, page->HandlerCount(L"upload"));
}

TEST(PageEvents, HandlerThatThrowsIsReportedNotSwallowed) {
  auto page = OpenText(std::string(kObject) + "</object>\n"
                       "<script>\n"
                       "function upload::UploadFinish(success) {\n"
                       "  missingFunction();\n"
                       "}\n"
                       "</script>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  page->Run(L"upload.Upload()");
  ASSERT_EQ(1u, page->errors().size()) << Errors(*page);
  EXPECT_EQ(4, page->errors()[0].line) << "the line in the handler, once";
  EXPECT_FALSE(page->errors()[0].inSnippet);
}

TEST(PageScripts, ErrorsNameThePageLineAndLaterBlocksStillRun) {
  auto page = OpenText(std::string("<html>\n<head><title>Broken</title></head>\n<body>\n") +
                       kObject + "\n</object>\n"
                       "<script language=\"JScript\">\n"     // line 6
                       "var fine = 1;\n"                      // line 7
                       "notDefinedAnywhere.go();\n"           // line 8
                       "</script>\n"
                       "<script>log('second block ran');\n"  // line 10
                       "var x = ;\n"                          // line 11
                       "</script>\n"
                       "<script>log('third block ran');</script>\n");
  ASSERT_EQ(2u, page->errors().size()) << Errors(*page);
  EXPECT_EQ(8, page->errors()[0].line);
  EXPECT_FALSE(page->errors()[0].inSnippet);
  EXPECT_NE(std::wstring::npos, page->errors()[0].message.find(L"notDefinedAnywhere"));
  EXPECT_EQ(11, page->errors()[1].line) << "a syntax error stops its block before it runs";
  EXPECT_EQ(L"third block ran\n", page->transcript());
  EXPECT_EQ(L"page line 8: ", container::DescribeError(page->errors()[0]).substr(0, 13));
}

TEST(PageScripts, CommentWrappedScriptRunsAsInABrowserAndKeepsItsLines) {
  auto page = OpenText("<script language=\"JavaScript\">\n"
                       "<!--\n"
                       "log('ran');\n"
                       "missing();\n"  // line 4
                       "//-->\n"
                       "</script>");
  ASSERT_EQ(1u, page->errors().size()) << Errors(*page);
  EXPECT_EQ(4, page->errors()[0].line);
  EXPECT_EQ(L"ran\n", page->transcript());
}

TEST(PageScripts, SnippetErrorsCountTheirOwnLines) {
  auto page = OpenText(std::string(kObject) + "</object>");
  ASSERT_TRUE(page->ok());
  EXPECT_TRUE(FAILED(page->Run(L"var a = 1;\nnope();")));
  ASSERT_EQ(1u, page->errors().size());
  EXPECT_TRUE(page->errors()[0].inSnippet);
  EXPECT_EQ(2, page->errors()[0].line);
}

TEST(PageScripts, ScriptSetsEveryKindOfPropertyAndReadsItBackAsItsOwnType) {
  auto page = OpenText(std::string(kObject) + "</object>\n<script>\n"
                       "upload.ScriptURL = 'http://127.0.0.1:9/x';\n"
                       "upload.MaxTotalSize = 12345;\n"
                       "upload.ServerResponse = true;\n"
                       "log(typeof upload.MaxTotalSize, ' ', upload.MaxTotalSize + 1, ' ',\n"
                       "    typeof upload.ServerResponse, ' ', upload.ServerResponse, ' ',\n"
                       "    upload.ScriptURL);\n"
                       "</script>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  EXPECT_EQ(L"number 12346 boolean true http://127.0.0.1:9/x\n", page->transcript());
  EXPECT_EQ(12345, Property(*page, L"MaxTotalSize").AsLong());
  EXPECT_EQ(L"http://127.0.0.1:9/x", Property(*page, L"ScriptURL").AsString());
}

TEST(PageWindowObject, AlertIsARealMessageBoxTheWatcherReads) {
  drivers::DialogWatcher watcher;
  auto page = OpenText(std::string(kObject) + "</object>"
                       "<button id=warn onclick=\"alert('Files: ' + upload.MaxFileCount)\">"
                       "Warn</button>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  ASSERT_EQ(S_OK, page->Click(L"warn"));
  const auto seen = watcher.Seen();
  ASSERT_EQ(1u, seen.size());
  EXPECT_EQ("Message from the page", seen[0].caption);
  EXPECT_EQ("Files: 100", seen[0].text);
  EXPECT_EQ(L"[alert] Files: 100\n", page->transcript());
}

TEST(PageWindowObject, WriteLogCloseAndTitleBehaveAsAPageExpects) {
  auto page = OpenText("<title>Some &amp; title</title>"
                       "<script>document.write('a', 1, true); document.writeln(null);"
                       "log(document.title); window.log(undefined);</script>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  EXPECT_EQ(L"a1truenull\nSome & title\nundefined\n", page->transcript());
  wchar_t caption[64] = {};
  ::GetWindowTextW(page->window(), caption, 64);
  EXPECT_STREQ(L"Some & title", caption);
  EXPECT_FALSE(page->finished());
  EXPECT_FALSE(page->PumpUntilFinished(50));
  page->Run(L"close();");
  EXPECT_TRUE(page->finished());
  EXPECT_TRUE(page->PumpUntilFinished(50));
}

TEST(PageWindowObject, APageThatWritesWithoutEndIsStoppedWithOneError) {
  scenario::EnsureRegistered();
  container::PageOptions options = TestOptions();
  options.maxTranscript = 1000;
  auto page = PageHost::Load("<script>\nwhile (true) log('0123456789');\n</script>\n"
                             "<script>log('next block');</script>",
                             options);
  ASSERT_EQ(1u, page->errors().size()) << Errors(*page);
  EXPECT_EQ(2, page->errors()[0].line);
  EXPECT_EQ(990u, page->transcript().size()) << "90 whole lines: the 91st would not fit";
  EXPECT_EQ(std::wstring::npos, page->transcript().find(L"next"));
}

TEST(PageObjects, AnObjectThatCannotBeCreatedIsAnErrorAndTheRestOfThePageRuns) {
  auto page = OpenText(
      "\n<object id=ghost classid=\"clsid:00000000-1111-2222-3333-444444444444\"></object>\n"
      "<object id=nameless classid=\"BRIMLET.BrimletCtrl.1\"></object>\n" + std::string(kObject) +
      "</object><script>log(typeof ghost, ' ', upload.MaxFileCount);</script>");
  ASSERT_EQ(2u, page->errors().size()) << Errors(*page);
  EXPECT_EQ(2, page->errors()[0].line);
  EXPECT_EQ(3, page->errors()[1].line);
  EXPECT_EQ(nullptr, page->Control(L"ghost"));
  EXPECT_TRUE(page->Control(L"upload"));
  EXPECT_EQ(L"undefined 100\n", page->transcript());
}

TEST(PageObjects, Cp949PageHandsItsKoreanParamToTheControlUnchanged) {
  // "모든 파일 (*.*)|*.*|" saved in CP949, as older Korean pages are.
  auto page = OpenText(std::string(kObject) +
                       "<param name=Filter value=\"\xB8\xF0\xB5\xE7 \xC6\xC4\xC0\xCF (*.*)|*.*|\">"
                       "</object>");
  ASSERT_TRUE(page->ok()) << Errors(*page);
  EXPECT_EQ(scenario::Wide("모든 파일 (*.*)|*.*|"), Property(*page, L"Filter").AsString());
}

TEST(PageObjects, UnfilledPlaceholderIsAnError) {
  auto page = OpenText(std::string(kObject) + "<param name=ScriptURL value=\"{{RECEIVER}}/up\">"
                       "</object>");
  ASSERT_EQ(1u, page->errors().size());
  EXPECT_NE(std::string::npos, Errors(*page).find("{{RECEIVER}}"));
  EXPECT_EQ(L"{{RECEIVER}}/up", Property(*page, L"ScriptURL").AsString());
}

// The command the demo and people use.
std::string HostCommand(const std::string& arguments) {
  return "\"" + scenario::BuildDir() + "\\brimlet_demo.exe\" page " + arguments;
}

TEST(PageCommand, RunsSnippetsInOrderPrintsTheTranscriptAndEndsWhenThePageCloses) {
  scenario::EnsureRegistered();
  std::string output;
  const std::wstring path = ExamplePath("limits.html");
  const std::string limits(path.begin(), path.end());
  const std::string png = WindowsPath(BRIMLET_BUILD_DIR "/scenarios/limits_page.png");
  ::DeleteFileA(png.c_str());
  const DWORD code = scenario::RunProcess(
      HostCommand("\"" + limits + "\" --define SERVER=http://127.0.0.1:9 --click \"Allow ten files\" "
                  "--run \"log(upload.ScriptURL)\" --run \"alert('hello')\" "
                  "--run \"window.close()\" --wait 60000 --png \"" + png + "\""),
      &output, 60000);
  EXPECT_EQ(0u, code) << output;
  // The alert was a box that the command's own watcher answered, or the
  // command would still be waiting on it.
  EXPECT_EQ("Up to 3 files, 1048576 bytes each, 2097152 bytes in all.\n"
            "Up to 10 files, 1048576 bytes each, 2097152 bytes in all.\n"
            "http://127.0.0.1:9/upload\n"
            "[alert] hello\n",
            output);
  std::string picture;
  ASSERT_TRUE(scenario::ReadWholeFile(png, &picture));
  EXPECT_EQ("\x89PNG\r\n\x1A\n", picture.substr(0, 8));
}

TEST(PageCommand, PageWithAScriptErrorExitsWithOneAndNamesTheLine) {
  scenario::EnsureRegistered();
  const std::string file = std::string(BRIMLET_BUILD_DIR) + "/scenarios/broken_page.html";
  {
    HANDLE handle = ::CreateFileA(WindowsPath(file).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    const char text[] = "<script>\nlog('ok');\n\nbroken(;\n</script>\n";
    DWORD written = 0;
    ::WriteFile(handle, text, sizeof text - 1, &written, nullptr);
    ::CloseHandle(handle);
  }
  std::string output;
  const DWORD code =
      scenario::RunProcess(HostCommand("\"" + WindowsPath(file) + "\" --wait 0"), &output, 60000);
  EXPECT_EQ(1u, code) << output;
  EXPECT_NE(std::string::npos, output.find("error: page line 4: ")) << output;
}

TEST(PageCommand, MissingPageAndBadArgumentsAreRefusedWithTheirOwnCodes) {
  std::string output;
  EXPECT_EQ(3u, scenario::RunProcess(HostCommand("Z:\\no\\such\\page.html"), &output, 60000))
      << output;
  EXPECT_EQ(2u, scenario::RunProcess(HostCommand("x.html --wait"), &output, 60000)) << output;
  EXPECT_EQ(2u, scenario::RunProcess(HostCommand("x.html --wait soon"), &output, 60000)) << output;
}

}  // namespace

// ------------------------------------------------------------ a whole upload
namespace upload_page {

// The progress dialog runs the upload and closes by itself; leave it be.
using drivers::IsProgressDialog;

TEST(PageUpload, FileAddedThroughThePageButtonReachesTheServerAndTheHandlerNavigates) {
  scenario::Receiver receiver;
  ASSERT_TRUE(receiver.Started());
  scenario::TempFolder folder("brimlet-page-upload");
  const std::string path = folder.File("page.txt", 3000);
  std::string content;
  ASSERT_TRUE(scenario::ReadWholeFile(path, &content));

  drivers::DialogWatcher watcher;
  auto pickers = drivers::AnswerPickers({{path}, {}, false});
  watcher.SetAnswer([pickers](const drivers::DialogSeen& dialog) {
    return IsProgressDialog(dialog.window) ? 0 : pickers(dialog);
  });
  scenario::EnsureRegistered();
  container::PageOptions options;
  options.defines["SERVER"] = receiver.Url("/ok");
  std::wstring error;
  auto page = PageHost::LoadFile(ExamplePath("upload_finish.html"), options, &error);
  ASSERT_TRUE(page);
  ASSERT_TRUE(page->ok()) << Errors(*page);

  ASSERT_EQ(S_OK, page->Click(L"Add files"));
  ASSERT_EQ(S_OK, page->Click(L"Upload"));
  ASSERT_TRUE(page->PumpUntilFinished(30000)) << "the handler navigates once the upload is over";
  EXPECT_TRUE(page->ok()) << Errors(*page);
  const std::wstring done = fw::WideFromNarrow(receiver.Url("/ok/done.html"));
  EXPECT_EQ(L"Upload 1 finished.\n[navigate] " + done + L"\n", page->transcript());

  const auto requests = receiver.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const std::string body = requests[0].Body();
  EXPECT_NE(std::string::npos, body.find("name=\"FILE1\"; filename=\"" + path + "\"")) << body.substr(0, 400);
  EXPECT_NE(std::string::npos, body.find(content));
}

}  // namespace upload_page
