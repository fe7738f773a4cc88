// Each example receiver, started from this Windows program under Wine, takes
// a real upload from the control: files picked in the open-file dialog, sent
// by Upload, stored under names the receiver makes (an inert extension kept,
// any other dropped), listed in its index under the names the user picked,
// and acknowledged with a reply the control shows: a line for each file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "container/page_host.h"
#include "framework/text.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/wine/support/example_server.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"
#include "tests/wine/support/upload_support.h"

namespace {

using container::Variant;
using scenario::WriteContent;

class ExampleReceiver : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleReceiver, StoresUnderItsOwnNamesAndGivesTheUsersNamesInIndexAndReply) {
  scenario::ExampleServer server(GetParam());
  ASSERT_TRUE(server.Started());
  scenario::TempFolder folder(std::string("example-") + GetParam());
  const std::string other = folder.Subfolder("다른 폴더");

  std::string binary = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR\r\n";
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) >> 3);
  const std::string report = "보고서 내용\r\n";
  const std::string script = "<?php echo 6*7;";
  ASSERT_TRUE(WriteContent(folder.path() + "\\보고서.txt", report));
  ASSERT_TRUE(WriteContent(folder.path() + "\\table.bin", binary));
  ASSERT_TRUE(WriteContent(folder.path() + "\\shell.php", script));
  ASSERT_TRUE(WriteContent(other + "\\보고서.txt", ""));

  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  scenario::PickFiles(*control, folder.path(), {"보고서.txt", "table.bin", "shell.php"}, 3);
  scenario::PickFiles(*control, other, {"보고서.txt"}, 4);
  ASSERT_EQ(S_OK, control->Put(L"ScriptURL", Variant::FromString(scenario::Wide(server.Url("/receive").c_str()))));
  ASSERT_EQ(S_OK, control->Put(L"ServerResponse", Variant::FromBool(true)));

  drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
  ASSERT_EQ(S_OK, control->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), scenario::WaitForUploadFinish(*control)) << server.Log();

  // The index names the files as the user picked them, in list order; the
  // stored names are the receiver's, and only the text file keeps its
  // extension.
  const auto index = server.Index();
  ASSERT_EQ(4u, index.size()) << server.Log();
  const struct {
    const char* name;
    const std::string& content;
    const char* extension;
  } expected[] = {{"보고서.txt", report, ".txt"}, {"table.bin", binary, ""}, {"shell.php", script, ""},
                  {"보고서.txt", std::string(), ".txt"}};
  std::string reply = "Stored 4 files.";
  for (size_t i = 0; i < index.size(); ++i) {
    const auto& entry = index[i];
    EXPECT_EQ(expected[i].name, entry.name);
    EXPECT_EQ(std::to_string(expected[i].content.size()), entry.size);
    EXPECT_EQ(32 + std::string(expected[i].extension).size(), entry.stored.size()) << entry.stored;
    EXPECT_EQ(expected[i].extension, entry.stored.substr(32)) << entry.stored;
    std::string stored;
    EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\" + entry.stored, &stored)) << entry.stored;
    EXPECT_TRUE(stored == expected[i].content) << entry.name << " differs: " << stored.size() << " bytes";
    reply += "\r\n" + entry.name + " (" + entry.size + " bytes, " + entry.type + ") stored as " + entry.stored;
  }
  EXPECT_EQ(std::vector<std::string>{reply + "\r\n"}, scenario::MessageTexts(watcher));

  control.reset();
  EXPECT_TRUE(server.Stop());
}

// A name with characters code page 949 lacks travels as references, and the
// receiver files it under the name the user sees, not the references.
TEST_P(ExampleReceiver, ReadsBackTheCharacterReferencesOfANameIntoItsIndex) {
  scenario::ExampleServer server(GetParam());
  ASSERT_TRUE(server.Started());
  scenario::TempFolder folder(std::string("names-") + GetParam());
  const std::wstring name = L"\ud55c caf\u00e9 \U0001F600.txt";
  const std::wstring path = scenario::Wide(folder.path().c_str()) + L"\\" + name;
  {
    const fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && ::WriteFile(file.get(), "menu", 4, &written, nullptr));
  }
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  {
    drivers::PickerScript script{{fw::NarrowFromWide(path.c_str(), path.size(), CP_UTF8)}, {}, false};
    script.utf8 = true;
    drivers::DialogWatcher picker(drivers::AnswerPickers(script));
    ASSERT_EQ(S_OK, control->Call(L"AddFile"));
  }
  ASSERT_EQ(S_OK, control->Put(L"ScriptURL", Variant::FromString(scenario::Wide(server.Url("/receive").c_str()))));
  drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
  ASSERT_EQ(S_OK, control->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), scenario::WaitForUploadFinish(*control)) << server.Log();
  const auto index = server.Index();
  ASSERT_EQ(1u, index.size()) << server.Log();
  EXPECT_TRUE(index[0].wideName == name) << index[0].name;
  EXPECT_EQ("4", index[0].size);
  EXPECT_EQ(".txt", index[0].stored.substr(32)) << index[0].stored;
  std::string stored;
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\" + index[0].stored, &stored));
  EXPECT_EQ("menu", stored);
  ::DeleteFileW(path.c_str());
  control.reset();
  EXPECT_TRUE(server.Stop());
}

// The example page of a whole flow, in the page host against the receiver:
// its token header and record field reach the receiver, which stores the
// file and answers JSON that the page's handler reads; with a token the
// receiver does not know, it refuses and stores nothing, and the page says so.
TEST_P(ExampleReceiver, TheUploadFlowPageSendsItsTokenAndFieldAndReadsTheJsonReply) {
  ::SetEnvironmentVariableA("BRIMLET_UPLOAD_TOKEN", "t0k3n-7");
  scenario::ExampleServer server(GetParam());
  ::SetEnvironmentVariableA("BRIMLET_UPLOAD_TOKEN", nullptr);
  ASSERT_TRUE(server.Started());
  scenario::TempFolder folder(std::string("flow-") + GetParam());
  const std::string path = folder.path() + "\\보고서.txt";
  ASSERT_TRUE(WriteContent(path, "record notes"));
  scenario::EnsureRegistered();

  const auto runPage = [&](const char* token) {
    container::PageOptions options;
    options.defines["SERVER"] = server.Url("");
    options.defines["UPLOAD_TOKEN"] = token;
    std::string file = BRIMLET_SOURCE_DIR "/examples/upload_flow.html";
    for (char& c : file) c = c == '/' ? '\\' : c;
    std::wstring error;
    auto page = container::PageHost::LoadFile(fw::WideFromNarrow("Z:" + file), options, &error);
    EXPECT_TRUE(page && page->ok()) << fw::NarrowFromWide(error.data(), error.size());
    if (!page) return std::string();
    {
      drivers::DialogWatcher picker(drivers::AnswerPickers({{path}, {}, false}));
      EXPECT_EQ(S_OK, page->Click(L"Add files"));
    }
    drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
    EXPECT_EQ(S_OK, page->Click(L"Upload"));
    const auto ended = [&] {
      const std::wstring& text = page->transcript();
      return text.find(L"record 1024.") != std::wstring::npos || text.find(L"failed") != std::wstring::npos;
    };
    for (DWORD start = ::GetTickCount(); !ended() && ::GetTickCount() - start < 30000;) page->PumpFor(50);
    EXPECT_TRUE(page->ok());
    return fw::NarrowFromWide(page->transcript().data(), page->transcript().size());
  };

  const std::string refused = runPage("forged");
  EXPECT_NE(std::string::npos, refused.find("The upload failed (HTTP 403)")) << refused;
  EXPECT_TRUE(server.Index().empty()) << server.Log();

  const std::string transcript = runPage("t0k3n-7");
  const auto index = server.Index();
  ASSERT_EQ(1u, index.size()) << transcript << server.Log();
  EXPECT_EQ("보고서.txt", index[0].name);
  std::string stored;
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\" + index[0].stored, &stored));
  EXPECT_EQ("record notes", stored);
  EXPECT_NE(std::string::npos, transcript.find("1 file, 12 bytes: " + path + " (12 bytes)")) << transcript;
  EXPECT_NE(std::string::npos, transcript.find("보고서.txt (12 bytes) is " + index[0].stored)) << transcript;
  EXPECT_NE(std::string::npos, transcript.find("Attached to record 1024.")) << transcript;
  EXPECT_NE(std::string::npos, transcript.find("[##########] 100% of ")) << transcript;
  EXPECT_TRUE(server.Stop());
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, ExampleReceiver, ::testing::Values("php", "node", "python"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
