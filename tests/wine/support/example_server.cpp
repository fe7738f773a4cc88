#include "tests/wine/support/example_server.h"
#include "tests/wine/support/scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "framework/text.h"
#include "tests/wine/support/receiver.h"

namespace scenario {

ExampleServer::ExampleServer(const std::string& kind) {
  if (!CreateRunFolder(BRIMLET_BUILD_DIR "/example-server-runs", kind + "-", &run_)) return;
  std::string line = "Z:\\bin\\bash \"" BRIMLET_SOURCE_DIR "/tests/server/serve.sh\" " + kind +
                     " --dir \"" + run_.unixFolder + "/uploads\" --port-file \"" + run_.unixFolder +
                     "/port\" --lease \"" + run_.unixFolder + "/lease\" --log \"" + run_.unixFolder +
                     "/log\" --idle-timeout 300";
  if (!StartProcess(line)) {
    ADD_FAILURE() << "cannot start " << line << ": error " << ::GetLastError();
    return;
  }

  // npm ci may run first for the Node receiver: allow for it.
  const std::string portFile = run_.folder + "\\port";
  const DWORD start = ::GetTickCount();
  std::string text;
  while (::GetTickCount() - start < 120000) {
    if (ReadWholeFile(portFile, &text) && !text.empty() && text.back() == '\n') {
      port_ = static_cast<unsigned short>(std::strtoul(text.c_str(), nullptr, 10));
      break;
    }
    ::Sleep(50);
  }
  if (!port_) ADD_FAILURE() << "the " << kind << " receiver did not start: " << line << "\n" << Log();
}

ExampleServer::~ExampleServer() {
  const bool ended = Stop();
  // A receiver that has not ended may still be writing; leave its folder.
  if (ended && !run_.folder.empty()) RemoveTree(run_.folder);
}

bool ExampleServer::Stop(DWORD timeoutMs) {
  if (stopped_) return true;
  run_.lease.reset();
  // The program removes its port file as its last act.
  if (!WaitUntilGone(run_.folder + "\\port", timeoutMs)) return false;
  stopped_ = true;
  return true;
}

std::string ExampleServer::Url(const std::string& pathAndQuery) const {
  return LoopbackUrl(port_, pathAndQuery);
}

std::vector<IndexEntry> ExampleServer::Index() const {
  std::string text;
  ReadWholeFile(UploadFolder() + "\\index.tsv", &text);
  std::vector<IndexEntry> entries;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    IndexEntry entry;
    std::istringstream fields(line);
    std::getline(fields, entry.stored, '\t');
    std::getline(fields, entry.size, '\t');
    std::getline(fields, entry.type, '\t');
    std::getline(fields, entry.name);
    // The index is UTF-8, as the server's own tools read it.
    entry.wideName = fw::WideFromNarrow(entry.name, CP_UTF8);
    entry.name = fw::NarrowFromWide(entry.wideName.c_str(), entry.wideName.size());
    entries.push_back(entry);
  }
  return entries;
}

std::string ExampleServer::Log() const {
  std::string log;
  ReadWholeFile(run_.folder + "\\log", &log);
  return log;
}

}  // namespace scenario
