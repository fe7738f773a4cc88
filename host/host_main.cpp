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
