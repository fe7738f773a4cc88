// A real script engine (cscript with JScript) creating the control by ProgID
// and driving it by name, with no container around it.
#include <windows.h>
#include <gtest/gtest.h>

#include <sstream>

#include "tests/wine/support/scenario.h"

namespace {

std::string ScriptPath(const char* name) {
  std::string path = "Z:" BRIMLET_SOURCE_DIR "/tests/wine/scripts/";
  path += name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

TEST(ScriptEngine, ReadsDefaultsAndReadsBackWhatItSets) {
  scenario::EnsureRegistered();
  std::string output;
  const DWORD code = scenario::RunProcess(
      "cscript.exe //nologo \"" + ScriptPath("defaults_and_round_trip.js") + "\"", &output, 60000);
  EXPECT_EQ(0u, code) << output;
  const std::vector<std::string> expected = {
      "ScriptURL=[]",       "FilterLength=10",
      "MaxFileSize=1073741824", "MaxTotalSize=1073741824",
      "MaxFileCount=100",   "ShowProgress=true",
      "EnablePopupMenu=true", "ServerResponse=false",
      "ScriptURL=http://127.0.0.1:8080/upload", "MaxFileCount=25",
      "MaxTotalSize=-1",    "ServerResponse=true",
      "ShowProgress=false", "NoSuchMethod=refused",
      "done=yes"};
  EXPECT_EQ(expected, Lines(output));
}

}  // namespace
