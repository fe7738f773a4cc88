#include "tests/wine/support/scenario.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <utility>

#include "framework/text.h"
#include "framework/unique_handle.h"

namespace scenario {

std::string BuildDir() {
  // Wine shows the Unix root as drive Z:.
  std::string path = "Z:" BRIMLET_BUILD_DIR;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string BuiltModulePath() { return BuildDir() + "\\BRIMLET.OCX"; }

bool StartProcess(std::string commandLine, fw::UniqueHandle* process) {
  STARTUPINFOA startup{sizeof startup};
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
    return false;
  fw::UniqueHandle thread(info.hThread), started(info.hProcess);
  if (process) *process = std::move(started);
  return true;
}

DWORD RunProcess(const std::string& commandLine, std::string* output, DWORD timeoutMs) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  fw::UniqueHandle readEnd, writeEnd;
  if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) return ~0u;
  ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = writeEnd.get();
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  std::string mutableLine = commandLine;
  if (!::CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info))
    return ~0u;
  fw::UniqueHandle process(info.hProcess), thread(info.hThread);
  writeEnd.reset();  // so that the pipe ends when the child ends

  std::string collected;
  // Reads what the pipe holds now, without waiting for more.
  auto drain = [&] {
    DWORD available = 0;
    while (::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) && available) {
      char buffer[4096];
      DWORD got = 0;
      if (!::ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) || got == 0) break;
      collected.append(buffer, got);
    }
  };
  const DWORD deadline = ::GetTickCount() + timeoutMs;
  for (;;) {
    drain();
    if (::WaitForSingleObject(process.get(), 20) == WAIT_OBJECT_0) {
      drain();  // what the child wrote just before it ended
      break;
    }
    if (static_cast<LONG>(::GetTickCount() - deadline) > 0) {
      ::TerminateProcess(process.get(), STILL_ACTIVE);
      break;
    }
  }
  if (output) *output = collected;
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process.get(), &code);
  return code;
}

DWORD Regsvr32(bool unregister) {
  const std::string line =
      std::string("regsvr32.exe ") + (unregister ? "/u " : "") + "/s \"" + BuiltModulePath() + "\"";
  return RunProcess(line, nullptr);
}

void EnsureRegistered() {
  static bool registered = false;
  if (!registered) {
    ASSERT_EQ(0u, Regsvr32(false)) << "regsvr32 " << BuiltModulePath();
    registered = true;
  }
}

std::unique_ptr<container::HostedControl> HostControl(const container::HostOptions& options,
                                                 HRESULT* loadResult) {
  EnsureRegistered();
  HRESULT hr = E_FAIL;
  auto control = container::HostedControl::Create(options, &hr);
  if (loadResult) {
    *loadResult = hr;
  } else {
    EXPECT_EQ(S_OK, hr) << "hosting the control";
  }
  EXPECT_TRUE(control) << "creating the control";
  return control;
}

std::wstring Wide(const char* cp949) { return fw::WideFromNarrow(cp949, 949); }

std::string RegistryDefaultValue(HKEY root, const std::string& path) {
  char value[1024] = {};
  LONG size = sizeof value;
  if (::RegQueryValueA(root, path.c_str(), value, &size) != ERROR_SUCCESS) return {};
  return value;
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(20);
  }
  return true;
}

std::string LoopbackUrl(unsigned short port, const std::string& pathAndQuery) {
  return "http://127.0.0.1:" + std::to_string(port) + pathAndQuery;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry{};
  HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(folder.c_str());
}

namespace {
// OLE on the main test thread, for the whole program.
class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  void TearDown() override { ::OleUninitialize(); }
};
const auto* const g_ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);
}  // namespace

}  // namespace scenario
