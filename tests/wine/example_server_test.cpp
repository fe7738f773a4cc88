// Each example receiver, started from this Windows program under Wine, takes
// a real upload from the control: files picked in the open-file dialog, sent
// by Upload, stored under their base names (a name taken twice kept apart)
// and acknowledged with a short text the control shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/dialog_watcher.h"
#include "tests/wine/support/example_server.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"
#include "tests/wine/support/upload_support.h"

namespace {

using host::Variant;
using scenario::WriteContent;

class ExampleReceiver : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleReceiver, StoresWhatTheControlUploadsUnderBaseNamesAndSaysHowMany) {
  scenario::ExampleServer server(GetParam());
  ASSERT_TRUE(server.Started());
  scenario::TempFolder folder(std::string("example-") + GetParam());
  const std::string other = folder.Subfolder("다른 폴더");

  std::string binary = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR\r\n";
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) >> 3);
  const std::string report = "보고서 내용\r\n";
  ASSERT_TRUE(WriteContent(folder.path() + "\\보고서.txt", report));
  ASSERT_TRUE(WriteContent(folder.path() + "\\table.bin", binary));
  ASSERT_TRUE(WriteContent(other + "\\보고서.txt", ""));

  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  scenario::PickFiles(*control, folder.path(), {"보고서.txt", "table.bin"}, 2);
  scenario::PickFiles(*control, other, {"보고서.txt"}, 3);
  ASSERT_EQ(S_OK, control->Put(L"ScriptURL", Variant::FromString(scenario::Wide(server.Url("/receive").c_str()))));
  ASSERT_EQ(S_OK, control->Put(L"ServerResponse", Variant::FromBool(true)));

  host::DialogWatcher watcher(scenario::LeaveProgressOpen);
  ASSERT_EQ(S_OK, control->Call(L"Upload"));
  EXPECT_EQ(std::optional<bool>(true), scenario::WaitForUploadFinish(*control)) << server.Log();
  EXPECT_EQ(std::vector<std::string>{"Stored 3 files.\r\n"}, scenario::MessageTexts(watcher));

  std::string stored;
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\보고서.txt", &stored));
  EXPECT_EQ(report, stored);
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\table.bin", &stored));
  EXPECT_TRUE(stored == binary) << "table.bin differs: " << stored.size() << " bytes";
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\보고서 (2).txt", &stored));
  EXPECT_EQ("", stored);

  control.reset();
  EXPECT_TRUE(server.Stop());
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, ExampleReceiver, ::testing::Values("php", "node", "python"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
