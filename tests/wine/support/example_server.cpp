#include "tests/wine/support/example_server.h"
#include "tests/wine/support/scenario.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "tests/wine/support/receiver.h"

namespace scenario {
namespace {

}  // namespace

ExampleServer::ExampleServer(const std::string& kind) {
  static std::atomic<unsigned> counter{0};
  const std::string runs = BRIMLET_BUILD_DIR "/example-server-runs";
  unixFolder_ = runs + "/" + kind + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
  folder_ = WindowsPathOf(unixFolder_);
  ::CreateDirectoryA(WindowsPathOf(runs).c_str(), nullptr);
  if (!::CreateDirectoryA(folder_.c_str(), nullptr) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS) {
    ADD_FAILURE() << "cannot create the receiver's folder " << folder_;
    return;
  }
  lease_.reset(::CreateFileA((folder_ + "\\lease").c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!lease_) {
    ADD_FAILURE() << "cannot create the receiver's lease file in " << folder_;
    return;
  }
  std::string line = "Z:\\bin\\bash \"" BRIMLET_SOURCE_DIR "/tests/server/serve.sh\" " + kind +
                     " --dir \"" + unixFolder_ + "/uploads\" --port-file \"" + unixFolder_ +
                     "/port\" --lease \"" + unixFolder_ + "/lease\" --log \"" + unixFolder_ +
                     "/log\" --idle-timeout 300";
  STARTUPINFOA startup{sizeof startup};
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    ADD_FAILURE() << "cannot start " << line << ": error " << ::GetLastError();
    return;
  }
  // A Unix program has no Windows process; any handle given is of no use.
  fw::UniqueHandle process(info.hProcess), thread(info.hThread);

  // npm ci may run first for the Node receiver: allow for it.
  const std::string portFile = folder_ + "\\port";
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
  if (ended && !folder_.empty()) RemoveTree(folder_);
}

bool ExampleServer::Stop(DWORD timeoutMs) {
  if (stopped_) return true;
  lease_.reset();
  // The program removes its port file as its last act.
  if (!WaitUntilGone(folder_ + "\\port", timeoutMs)) return false;
  stopped_ = true;
  return true;
}

std::string ExampleServer::Url(const std::string& pathAndQuery) const {
  return LoopbackUrl(port_, pathAndQuery);
}

std::string ExampleServer::Log() const {
  std::string log;
  ReadWholeFile(folder_ + "\\log", &log);
  return log;
}

}  // namespace scenario
