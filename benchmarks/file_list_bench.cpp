// file_list_bench.exe [files] [removals]: prints how long the control's two
// costly list paths take under Wine: AddFolder of a folder of small files
// and Remove of one row at a time, then the process's peak memory. The
// folder browser is answered by the dialog watcher; an AddFolder of an empty
// folder is timed first so the dialog's own share can be told apart. The
// control must be registered (./dev bench-list does both).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "container/hosted_control.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string MakeFolder(const std::string& name) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + name;
  ::CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

void RemoveFolder(const std::string& path, int files) {
  for (int i = 0; i < files; ++i) ::DeleteFileA((path + "\\f" + std::to_string(i) + ".txt").c_str());
  ::RemoveDirectoryA(path.c_str());
}

struct AddFolderTimes {
  double whole = 0;          // the call, dialog included
  double afterAnswer = 0;    // from the browser's answer (selection made, OK pressed) to the return
};

AddFolderTimes TimedAddFolder(container::HostedControl& control, drivers::DialogWatcher& watcher,
                              const std::string& folder) {
  std::atomic<Clock::rep> answered{0};
  watcher.SetAnswer([&answered, answer = drivers::AnswerPickers({{}, folder, false})](const drivers::DialogSeen& seen) {
    const int command = answer(seen);
    answered = Clock::now().time_since_epoch().count();
    return command;
  });
  const auto start = Clock::now();
  control.Call(L"AddFolder");
  const auto end = Clock::now();
  watcher.SetAnswer(nullptr);
  const Clock::time_point answer{Clock::duration{answered.load()}};
  return {MillisecondsSince(start),
          answered ? std::chrono::duration<double, std::milli>(end - answer).count() : 0.0};
}

void PrintPeakMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return;
  std::printf("Peak memory: working set %.1f MiB, committed %.1f MiB\n",
              static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0,
              static_cast<double>(counters.PeakPagefileUsage) / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int removals = argc > 2 ? std::atoi(argv[2]) : files;
  if (FAILED(::OleInitialize(nullptr))) return 1;
  int status = 0;
  {
    drivers::DialogWatcher watcher;
    container::HostOptions options;
    options.width = 480;
    options.height = 240;
    HRESULT hr = E_FAIL;
    auto control = container::HostedControl::Create(options, &hr);
    HWND list = control ? ::FindWindowExA(control->controlWindow(), nullptr, WC_LISTVIEWA, nullptr)
                        : nullptr;
    if (!list) {
      std::fprintf(stderr, "file_list_bench: the control could not be hosted (0x%08lX); is it registered?\n",
                   static_cast<unsigned long>(hr));
      status = 1;
    } else {
      control->Put(L"MaxFileCount", container::Variant::FromLong(files));
      const std::string empty = MakeFolder("brimlet-bench-empty");
      const std::string full = MakeFolder("brimlet-bench-files");
      for (int i = 0; i < files; ++i) {
        HANDLE file = ::CreateFileA((full + "\\f" + std::to_string(i) + ".txt").c_str(), GENERIC_WRITE,
                                    0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ::WriteFile(file, "0123456789", 10, &written, nullptr);
        ::CloseHandle(file);
      }

      const AddFolderTimes dialogOnly = TimedAddFolder(*control, watcher, empty);
      const AddFolderTimes withFiles = TimedAddFolder(*control, watcher, full);
      const int rows = ListView_GetItemCount(list);
      std::printf("AddFolder, empty folder (the dialog alone): %8.1f ms\n", dialogOnly.whole);
      std::printf("AddFolder, %d files of 10 bytes:           %8.1f ms  (%d rows; %.3f ms per file beyond the dialog)\n",
                  files, withFiles.whole, rows, rows ? (withFiles.whole - dialogOnly.whole) / rows : 0.0);
      std::printf("  of which after the browser was answered:  %8.1f ms  (empty folder: %.1f ms)\n",
                  withFiles.afterAnswer, dialogOnly.afterAnswer);

      const auto start = Clock::now();
      auto lap = start;
      for (int i = 0; i < removals && ListView_GetItemCount(list) > 0; ++i) {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        const int remaining = ListView_GetItemCount(list) - 1;
        control->Call(L"Remove");
        if (i < 3 || (i + 1) % 250 == 0) {
          std::printf("Remove #%4d (%4d rows left): %8.2f ms this one, %9.1f ms so far\n", i + 1, remaining,
                      MillisecondsSince(lap), MillisecondsSince(start));
        }
        lap = Clock::now();
      }
      std::printf("Remove, one row at a time, %d removals:    %8.1f ms in all\n", removals,
                  MillisecondsSince(start));
      PrintPeakMemory();
      RemoveFolder(full, files);
      RemoveFolder(empty, 0);
    }
  }
  ::OleUninitialize();
  return status;
}
