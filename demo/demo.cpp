#include "demo/demo.h"

#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "container/console_text.h"
#include "container/hosted_control.h"
#include "container/ole_session.h"
#include "container/page_host.h"
#include "container/property_bag.h"
#include "framework/text.h"
#include "resources/resource_ids.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/portable/multipart_reader.h"
#include "tests/drivers/responsiveness_probe.h"
#include "tests/drivers/screenshot.h"
#include "tests/receiver/record.h"
#include "upload/portable/multipart.h"

namespace demo {

// The demo is the container and the drivers put to work; it names their parts
// as they do.
using namespace container;
using namespace drivers;

namespace {

const wchar_t* const kShownProperties[] = {
    L"ScriptURL",    L"Filter",       L"MaxFileSize",     L"MaxTotalSize",
    L"MaxFileCount", L"ShowProgress", L"EnablePopupMenu", L"ServerResponse",
};

constexpr DWORD kPaintMs = 1000;

// The files a user picks in the demo: names and sizes in bytes. The photo is
// large enough for the progress dialog to be seen at work.
const std::vector<std::pair<std::string, DWORD>> kDemoFiles = {
    {"사업 계획서.hwp", 48213},
    {"회의록 2024-03.txt", 2150},
    {"현장 사진.jpg", 12582912},
    {"견적서.xlsx", 30720},
};

// Bytes that differ from file to file and from place to place, so that a
// server's copy is seen to match for real.
std::string DemoContent(const std::string& name, DWORD size) {
  std::string bytes(size, '\0');
  unsigned state = 2166136261u;
  for (char c : name) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  return bytes;
}

// A folder of the demo's files in the temporary folder, removed at the end.
class DemoFiles {
 public:
  DemoFiles() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "업로드 예제";
    ::CreateDirectoryA(folder_.c_str(), nullptr);
    for (const auto& file : kDemoFiles) {
      fw::UniqueFile handle(::CreateFileA(Path(file.first).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle) continue;
      const std::string bytes = DemoContent(file.first, file.second);
      DWORD written = 0;
      ::WriteFile(handle.get(), bytes.data(), file.second, &written, nullptr);
    }
  }
  DemoFiles(const DemoFiles&) = delete;
  DemoFiles& operator=(const DemoFiles&) = delete;
  ~DemoFiles() {
    for (const auto& file : kDemoFiles) ::DeleteFileA(Path(file.first).c_str());
    ::RemoveDirectoryA(folder_.c_str());
  }
  const std::string& folder() const { return folder_; }
  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
  // The names as a person types them into the open-file dialog.
  std::string QuotedNames() const {
    std::string names;
    for (const auto& file : kDemoFiles) names += (names.empty() ? "\"" : " \"") + file.first + "\"";
    return names;
  }

 private:
  std::string folder_;
};




int Fail(const std::string& what, HRESULT hr) {
  std::fprintf(stderr, "brimlet_demo: %s failed (0x%08lX)\n", what.c_str(),
               static_cast<unsigned long>(hr));
  return 1;
}


std::string ReadWhole(const std::string& path) {
  fw::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  if (!file) return bytes;
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file.get(), &size);
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty()) ::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  return bytes;
}

// What the server filed: the request line, then each part checked against
// the file it came from.
void ReportRequest(const std::string& request, const DemoFiles& files) {
  const std::size_t headEnd = request.find("\r\n\r\n");
  if (headEnd == std::string::npos) {
    WriteBytes("server received: no complete request\n");
    return;
  }
  const std::string body = request.substr(headEnd + 4);
  WriteBytes("server received: " + request.substr(0, request.find("\r\n")) + ", body " +
             std::to_string(body.size()) + " bytes\n");
  const auto parts = ReadMultipart(body, brimlet::kBoundary);
  if (!parts) {
    WriteBytes("  the body is not a complete multipart/form-data body\n");
    return;
  }
  for (const auto& part : *parts) {
    std::string original;
    for (const auto& file : kDemoFiles) {
      if (files.Path(file.first) == part.filename) original = DemoContent(file.first, file.second);
    }
    WriteAnsi("  " + part.name + "  " + part.filename + "  " + std::to_string(part.data.size()) + " bytes  " +
              part.contentType + "  " + (part.data == original ? "matches the file" : "DIFFERS from the file") +
              "\n");
  }
}

}  // namespace

int RunDemo(const DemoOptions& demo) {
  OleSession ole;
  if (FAILED(ole.result())) return Fail("OleInitialize", ole.result());
  DialogWatcher watcher;  // outlives the page: teardown may ask too

  // The sample page, run as a browser runs it: its object with its PARAM
  // settings, its buttons, its UploadFinish handler.
  PageOptions options;
  options.defines["SERVER"] = demo.server;
  std::wstring error;
  auto page = PageHost::LoadFile(fw::WideFromNarrow(demo.page), options, &error);
  if (!page) return Fail("reading the page (" + fw::NarrowFromWide(error.c_str(), error.size()) + ")", E_FAIL);
  HostedControl* control = page->Control(L"upload");
  if (!page->ok() || !control) return Fail("running the page", E_FAIL);
  WriteBytes("page: " + demo.page + "\n");
  for (const wchar_t* name : kShownProperties) {
    Variant value;
    const HRESULT hr = control->Get(name, &value);
    if (FAILED(hr)) return Fail("reading a property", hr);
    WriteUtf8(std::wstring(name) + L" = " + value.AsString() + L"\n");
  }

  // The user presses the page's Add button and picks files in the
  // open-file dialog: goes to the folder, then picks the files there.
  DemoFiles files;
  watcher.SetAnswer(AnswerPickers({{files.folder(), files.QuotedNames()}, {}, false}));
  HRESULT hr = page->Click(L"add");
  if (FAILED(hr)) return Fail("clicking Add", hr);
  WriteBytes("Add: " + std::to_string(kDemoFiles.size()) + " files picked in the dialog\n");
  page->PumpFor(kPaintMs);
  if (!SaveWindowPng(page->window(), demo.listPng)) {
    return Fail("saving " + demo.listPng, HRESULT_FROM_WIN32(::GetLastError()));
  }
  WriteBytes("screenshot of the list: " + demo.listPng + "\n");

  // Then its Upload button: the progress dialog is left to run and pictured
  // once it is part-way through a file; the server's reply box is read and
  // closed.
  std::atomic<bool> pictured{false};
  std::vector<std::string> replies;
  watcher.SetAnswer([&](const DialogSeen& seen) {
    if (!IsProgressDialog(seen.window)) {
      replies.push_back(seen.text);
      return IDOK;
    }
    const std::string percent = WindowTextA(::GetDlgItem(seen.window, IDC_FILE_PERCENT));
    if (!pictured && !percent.empty() && percent != "0%" && percent != "100%") {
      pictured = SaveWindowPng(seen.window, demo.progressPng);
    }
    return 0;
  });
  hr = page->Click(L"send");
  if (FAILED(hr)) return Fail("clicking Upload", hr);
  if (!page->PumpUntilFinished(120000)) return Fail("waiting for the page's UploadFinish handler", E_FAIL);
  for (std::string reply : replies) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
    WriteAnsi("server's reply shown: " + reply + "\n");
  }
  WriteUtf8(L"the page wrote: " + page->transcript());
  if (pictured) WriteBytes("screenshot of the progress dialog: " + demo.progressPng + "\n");

  const std::string request = ReadWhole(demo.records + "\\" + receiver::RecordFileName(1));
  ReportRequest(request, files);
  const bool success = page->ok() && page->transcript().find(L"UploadFinish: true") != std::wstring::npos;
  return success ? 0 : 1;
}

}  // namespace demo
