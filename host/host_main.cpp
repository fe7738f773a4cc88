// brimlet_host.exe demo <png-path>: hosts the control the way a page does,
// prints the properties it reads back and saves a picture of it.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/dialog_watcher.h"
#include "host/hosted_control.h"
#include "host/picker_answers.h"
#include "host/property_bag.h"
#include "host/screenshot.h"

namespace {

// The page's PARAM tags. Properties without a tag show their defaults.
const std::vector<std::pair<std::wstring, std::wstring>> kPageParams = {
    {L"ScriptURL", L"http://127.0.0.1:8080/upload/receive.php"},
    {L"Filter", L"이미지 파일 (*.jpg;*.png)|*.jpg;*.png|모든 파일|*.*|"},
    {L"MaxFileSize", L"10485760"},
    {L"MaxTotalSize", L"52428800"},
    {L"MaxFileCount", L"20"},
    {L"ServerResponse", L"true"},
};

const wchar_t* const kShownProperties[] = {
    L"ScriptURL",    L"Filter",       L"MaxFileSize",     L"MaxTotalSize",
    L"MaxFileCount", L"ShowProgress", L"EnablePopupMenu", L"ServerResponse",
};

constexpr DWORD kPaintMs = 1000;

// The files a user picks in the demo: names and sizes in bytes.
const std::vector<std::pair<std::string, DWORD>> kDemoFiles = {
    {"사업 계획서.hwp", 48213},
    {"회의록 2024-03.txt", 2150},
    {"현장 사진.jpg", 1843200},
    {"견적서.xlsx", 30720},
};

// A folder of the demo's files in the temporary folder, removed at the end.
class DemoFiles {
 public:
  DemoFiles() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "업로드 예제";
    ::CreateDirectoryA(folder_.c_str(), nullptr);
    for (const auto& file : kDemoFiles) {
      HANDLE handle = ::CreateFileA((folder_ + "\\" + file.first).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) continue;
      const std::string bytes(file.second, 'x');
      DWORD written = 0;
      ::WriteFile(handle, bytes.data(), file.second, &written, nullptr);
      ::CloseHandle(handle);
    }
  }
  DemoFiles(const DemoFiles&) = delete;
  DemoFiles& operator=(const DemoFiles&) = delete;
  ~DemoFiles() {
    for (const auto& file : kDemoFiles) ::DeleteFileA((folder_ + "\\" + file.first).c_str());
    ::RemoveDirectoryA(folder_.c_str());
  }
  const std::string& folder() const { return folder_; }
  // The names as a person types them into the open-file dialog.
  std::string QuotedNames() const {
    std::string names;
    for (const auto& file : kDemoFiles) names += (names.empty() ? "\"" : " \"") + file.first + "\"";
    return names;
  }

 private:
  std::string folder_;
};

class OleSession {
 public:
  OleSession() : result_(::OleInitialize(nullptr)) {}
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  ~OleSession() {
    if (SUCCEEDED(result_)) ::OleUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

void WriteBytes(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void WriteUtf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size : 0, '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                          nullptr, nullptr);
  }
  WriteBytes(bytes);
}

int Fail(const std::string& what, HRESULT hr) {
  std::fprintf(stderr, "brimlet_host: %s failed (0x%08lX)\n", what.c_str(),
               static_cast<unsigned long>(hr));
  return 1;
}

int RunDemo(const std::string& pngPath) {
  OleSession ole;
  if (FAILED(ole.result())) return Fail("OleInitialize", ole.result());
  host::DialogWatcher watcher;  // outlives the control: teardown may ask too

  host::HostOptions options;
  options.width = 480;
  options.height = 240;
  options.init = host::Initialise::PropertyBag;
  options.bag = fw::ComPtr<IPropertyBag>(host::MemoryPropertyBag::FromParams(kPageParams).get());
  HRESULT hr = E_FAIL;
  auto control = host::HostedControl::Create(options, &hr);
  if (!control || FAILED(hr)) return Fail("hosting the control", hr);

  for (const wchar_t* name : kShownProperties) {
    host::Variant value;
    hr = control->Get(name, &value);
    if (FAILED(hr)) return Fail("reading a property", hr);
    WriteUtf8(std::wstring(name) + L" = " + value.AsString() + L"\n");
  }

  // A user adds files through the open-file dialog: goes to the folder, then
  // picks the files there. The watcher types for them.
  DemoFiles files;
  watcher.SetAnswer(host::AnswerPickers({{files.folder(), files.QuotedNames()}, {}, false}));
  hr = control->Call(L"AddFile");
  if (FAILED(hr)) return Fail("AddFile", hr);
  watcher.SetAnswer(nullptr);
  WriteBytes("AddFile: " + std::to_string(kDemoFiles.size()) + " files picked in the dialog\n");

  control->PumpUntil(nullptr, kPaintMs);
  if (!host::SaveWindowPng(control->hostWindow(), pngPath)) {
    return Fail("saving " + pngPath, HRESULT_FROM_WIN32(::GetLastError()));
  }
  WriteBytes("screenshot: " + pngPath + "\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "demo") != 0) {
    std::fprintf(stderr, "usage: brimlet_host demo <png-path>\n");
    return 2;
  }
  // The lines are UTF-8 bytes: a console shows them as such, a pipe gets
  // them unchanged (no CR added).
  ::SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  return RunDemo(argv[2]);
}
