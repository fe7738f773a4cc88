#include "demo/page_command.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "container/console_text.h"
#include "container/ole_session.h"
#include "container/page_host.h"
#include "framework/text.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/screenshot.h"

namespace demo {

// The demo is the container and the drivers put to work; it names their parts
// as they do.
using namespace container;
using namespace drivers;

namespace {




void WriteErrorUtf8(const std::wstring& text) {
  const std::string bytes = fw::NarrowFromWide(text.data(), text.size(), CP_UTF8);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

int Fail(const std::string& what, HRESULT hr) {
  std::fprintf(stderr, "brimlet_demo: %s failed (0x%08lX)\n", what.c_str(),
               static_cast<unsigned long>(hr));
  return 1;
}

struct PageAction {
  bool click;
  std::wstring text;
};

struct PageCommand {
  std::wstring file;
  std::wstring png;
  DWORD waitMs = 2000;
  std::vector<PageAction> actions;
  PageOptions options;
};

std::string Utf8(const std::wstring& text) {
  return fw::NarrowFromWide(text.data(), text.size(), CP_UTF8);
}

// File names as the C library opens them.
std::string Ansi(const std::wstring& text) { return fw::NarrowFromWide(text.data(), text.size()); }

bool ParsePageCommand(const std::vector<std::wstring>& args, PageCommand* command) {
  if (args.size() < 3) return false;
  command->file = args[2];
  command->options.location = args[2];
  for (size_t i = 3; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return false;
    const std::wstring& option = args[i];
    const std::wstring& value = args[++i];
    if (option == L"--run" || option == L"--click") {
      command->actions.push_back({option == L"--click", value});
    } else if (option == L"--png") {
      command->png = value;
    } else if (option == L"--wait") {
      wchar_t* end = nullptr;
      const unsigned long ms = std::wcstoul(value.c_str(), &end, 10);
      if (value.empty() || *end != L'\0' || ms > 600000) return false;
      command->waitMs = ms;
    } else if (option == L"--define") {
      const size_t equals = value.find(L'=');
      if (equals == std::wstring::npos || equals == 0) return false;
      command->options.defines[Utf8(value.substr(0, equals))] = Utf8(value.substr(equals + 1));
    } else {
      return false;
    }
  }
  return true;
}

int RunPage(const PageCommand& command) {
  OleSession ole;
  if (FAILED(ole.result())) return Fail("OleInitialize", ole.result());
  DialogWatcher watcher;  // answers alerts and the control's dialogs with OK
  std::wstring error;
  auto page = PageHost::LoadFile(command.file, command.options, &error);
  if (!page) {
    WriteErrorUtf8(L"brimlet_demo: " + error + L"\n");
    return 3;
  }
  for (const auto& action : command.actions) {
    if (page->finished()) break;
    if (action.click) {
      if (page->Click(action.text) == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) {
        WriteErrorUtf8(L"brimlet_demo: the page has no button \"" + action.text + L"\"\n");
        return 2;
      }
    } else {
      page->Run(action.text);
    }
  }
  page->PumpUntilFinished(command.waitMs);
  if (!command.png.empty() && !SaveWindowPng(page->window(), Ansi(command.png))) {
    return Fail("saving the picture", HRESULT_FROM_WIN32(::GetLastError()));
  }
  WriteUtf8(page->transcript());
  if (!page->transcript().empty() && page->transcript().back() != L'\n') WriteBytes("\n");
  const std::string alertCaption = fw::NarrowFromWide(kAlertCaption,
                                                      std::wcslen(kAlertCaption));
  for (const auto& dialog : watcher.Seen()) {
    if (dialog.caption == alertCaption) continue;  // already in the transcript
    WriteUtf8(L"[dialog] " + fw::WideFromNarrow(dialog.caption) + L": " +
              fw::WideFromNarrow(dialog.text) + L"\n");
  }
  for (const auto& note : page->notes()) {
    WriteErrorUtf8(L"note: " + fw::WideFromNarrow(note, CP_UTF8) + L"\n");
  }
  for (const auto& pageError : page->errors()) {
    WriteErrorUtf8(L"error: " + DescribeError(pageError) + L"\n");
  }
  return page->ok() ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: brimlet_demo page <file.html> [--run code] [--click label] "
               "[--define NAME=VALUE] [--wait ms] [--png file]\n");
  return 2;
}

}  // namespace

int RunPageCommand(const std::vector<std::wstring>& args) {
  PageCommand command;
  if (!ParsePageCommand(args, &command)) return Usage();
  return RunPage(command);
}

}  // namespace demo
