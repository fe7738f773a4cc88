// upload_bench.exe: uploads one large file and a folder of many small files
// through the hosted control into the two receivers it is given, as a person
// would (the real open-file dialog and folder browser, the progress dialog
// left open), each followed by the floor (the same payload through bare
// WinInet with the control's write size, see wininet_floor.h), and prints the
// figures beside curl's (measured by ./dev bench-upload before this program
// starts, and handed in). Then it watches the progress dialog with the
// responsiveness probe during uploads of a small file to slow servers, one
// left to finish and one cancelled mid-way.
//
//   upload_bench.exe --title TEXT --big FILE --folder FOLDER [--crowd FOLDER]
//                    --test-url URL --eager-url URL --index FILE
//                    [--curl-big-test B/S] [--curl-big-eager B/S]
//                    [--curl-many-test B/S] [--curl-many-eager B/S]
//                    [--probe-file FILE --slow-reply-url URL --slow-read-url URL]
//                    [--payloads big|many|crowd|probe|all]
//
// --crowd is a folder of tens of thousands of small files: how long Upload
// holds the page for them, and how long they take. --payloads narrows a run to one part, for profiling it. --index is the
// receiver's index.txt: the body length of each upload is read from it, as
// the receiver counted it. The control must be registered.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <psapi.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "benchmarks/upload_figures.h"
#include "benchmarks/wininet_floor.h"
#include "container/hosted_control.h"
#include "container/ole_session.h"
#include "dispatch_ids.h"
#include "framework/text.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/responsiveness_probe.h"
#include "tests/receiver/record.h"

namespace {

using container::Variant;

// An upload that has not finished in this time is reported as hung.
constexpr DWORD kUploadTimeoutMs = 30 * 60 * 1000;
constexpr DWORD kRecordTimeoutMs = 15000;
constexpr long kMaxFiles = 50000;
// How long a probed upload runs before it is cancelled: long enough for a
// fast receiver to have the whole body, a slow one part of it.
constexpr DWORD kCancelAfterMs = 2000;
constexpr DWORD kDialogTimeoutMs = 10000;
// How long the page is left to itself between adding the files and Upload.
constexpr DWORD kSettleMs = 300;

std::wstring Wide(const std::string& text) { return fw::WideFromNarrow(text); }

// A person watches the progress dialog without reading its windows' texts
// twenty times a second: once seen, it is left alone.
int LeaveProgressOpen(const drivers::DialogSeen& seen) {
  return drivers::IsProgressDialog(seen.window) ? drivers::DialogWatcher::kLeaveOpen : IDOK;
}

// The texts of the message boxes a watcher answered: why a step failed.
std::string MessagesOf(const drivers::DialogWatcher& watcher) {
  std::string texts;
  for (const auto& dialog : watcher.Seen())
    if (!dialog.text.empty()) texts += (texts.empty() ? "" : " / ") + dialog.text;
  return texts;
}

struct Peaks {
  std::uint64_t workingSet = 0, privateBytes = 0;
};

Peaks PeakMemory() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  Peaks peaks;
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
    peaks.workingSet = counters.PeakWorkingSetSize;
    peaks.privateBytes = counters.PeakPagefileUsage;
  }
  return peaks;
}

std::uint64_t FileTimeTicks(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// User and kernel time of this process so far, in seconds.
double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return static_cast<double>(FileTimeTicks(kernel) + FileTimeTicks(user)) / 1e7;
}

double Seconds() {
  LARGE_INTEGER now{}, frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Whole lines of the receiver's index, parsed.
std::vector<receiver::RecordEntry> ReadIndex(const std::string& path) {
  std::vector<receiver::RecordEntry> entries;
  fw::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return entries;
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
    if (auto entry = receiver::ParseRecordLine(std::string_view(text).substr(begin, end - begin)))
      entries.push_back(*entry);
  return entries;
}

std::size_t CountFiles(const std::string& folder) { return bench::FilesOf(folder).size(); }

// "1024 MiB x 1", "3.0 MB x 1": how the tables name a single file.
std::string SingleFileName(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "? x 1";
  const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  if (size % (1 << 20) == 0) return std::to_string(size >> 20) + " MiB x 1";
  char text[40];
  std::snprintf(text, sizeof text, "%.1f MB x 1", static_cast<double>(size) / 1e6);
  return text;
}

struct Payload {
  std::string name;  // as the table shows it
  std::string path;
  bool folder = false;
};

class Bench {
 public:
  Bench(container::HostedControl& control, std::string index) : control_(control), index_(std::move(index)) {}

  bool Configure() {
    return control_.Put(L"MaxFileSize", Variant::FromLong(-1)) == S_OK &&
           control_.Put(L"MaxTotalSize", Variant::FromLong(-1)) == S_OK &&
           control_.Put(L"MaxFileCount", Variant::FromLong(kMaxFiles)) == S_OK;
  }

  bench::ControlRun Run(const Payload& payload, const std::string& url) {
    bench::ControlRun run;
    if (!Add(payload, &run.failure)) return run;
    if (control_.Put(L"ScriptURL", Variant::FromString(Wide(url))) != S_OK) {
      run.failure = "ScriptURL refused";
      return run;
    }
    const std::size_t recordsBefore = ReadIndex(index_).size();
    const Peaks before = PeakMemory();
    control_.events().Clear();

    // A person clicks some time after the files went into the list: the
    // page has drawn them by then, and Upload is timed from an idle page.
    control_.PumpUntil([] { return false; }, kSettleMs);
    drivers::DialogWatcher watcher(LeaveProgressOpen);
    const double cpuStart = ProcessCpuSeconds();
    const double start = Seconds();
    const HRESULT called = control_.Call(L"Upload");
    run.callSeconds = Seconds() - start;
    const bool finished = called == S_OK && control_.PumpUntil(
        [&] { return control_.events().Count(DISPID_BRIMLET_UPLOADFINISH) > 0; }, kUploadTimeoutMs);
    run.seconds = Seconds() - start;
    run.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    const Peaks after = PeakMemory();
    run.peakWorkingSetBefore = before.workingSet;
    run.peakWorkingSetAfter = after.workingSet;
    run.peakPrivateBefore = before.privateBytes;
    run.peakPrivateAfter = after.privateBytes;

    if (called != S_OK) {
      run.failure = "Upload refused";
      return run;
    }
    if (!finished) {
      run.failure = "no UploadFinish within " + std::to_string(kUploadTimeoutMs / 1000) + " s";
      return run;
    }
    const std::vector<container::EventCall> finishes = control_.events().Of(DISPID_BRIMLET_UPLOADFINISH);
    if (finishes[0].args[0].get()->lVal == 0) {
      run.failure = "UploadFinish(false) " + MessagesOf(watcher);
      return run;
    }
    return Received(recordsBefore, run);
  }

  // The same payload through bare WinInet, in the control's write size; body
  // bytes per second.
  static std::optional<double> Floor(const Payload& payload, const std::string& url) {
    const brimlet::UploadJob job =
        bench::JobOf(payload.folder ? bench::FilesOf(payload.path) : std::vector<std::string>{payload.path}, url);
    return bench::FloorRate(job, bench::PostFloor(job, bench::kControlPieceSize, bench::FloorWrites::kPacked));
  }

  // An upload with the probe on the dialog: left to finish, or cancelled by
  // UploadCancel once it has run for a while.
  bench::ProbedUpload Probed(const Payload& payload, const std::string& url, bool cancel) {
    bench::ProbedUpload run;
    std::string failure;
    if (!Add(payload, &failure) || control_.Put(L"ScriptURL", Variant::FromString(Wide(url))) != S_OK) {
      std::fprintf(stderr, "   %s: %s\n", url.c_str(), failure.empty() ? "ScriptURL refused" : failure.c_str());
      return run;
    }
    control_.events().Clear();
    auto finished = [&] { return control_.events().Count(DISPID_BRIMLET_UPLOADFINISH) > 0; };
    drivers::DialogWatcher watcher(LeaveProgressOpen);
    drivers::ResponsivenessProbe probe;
    double start = Seconds();
    if (control_.Call(L"Upload") != S_OK) return run;
    if (cancel) {
      control_.PumpUntil([&] { return probe.Figures().dialogs > 0 || finished(); }, kDialogTimeoutMs);
      control_.PumpUntil(finished, kCancelAfterMs);
      start = Seconds();
      control_.Call(L"UploadCancel");
    }
    run.finished = control_.PumpUntil(finished, kUploadTimeoutMs);
    run.seconds = Seconds() - start;
    const drivers::Responsiveness figures = probe.Figures();
    run.longestUnansweredMs = figures.longestUnansweredMs;
    run.dialogSeen = figures.dialogs > 0;
    if (run.finished) run.outcome = control_.events().Of(DISPID_BRIMLET_UPLOADFINISH)[0].args[0].get()->lVal != 0;
    return run;
  }

 private:
  // Lists the payload through the real pickers, as a person picks it.
  bool Add(const Payload& payload, std::string* failure) {
    drivers::PickerScript script;
    if (payload.folder) script.folder = payload.path;
    else script.fileEntries = {payload.path};
    const std::size_t expected = payload.folder ? CountFiles(payload.path) : 1;
    drivers::DialogWatcher watcher(drivers::AnswerPickers(script));
    if (control_.Call(payload.folder ? L"AddFolder" : L"AddFile") != S_OK) {
      *failure = "adding the payload failed";
      return false;
    }
    HWND window = control_.controlWindow();
    HWND list = window ? ::FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr) : nullptr;
    const int rows = list ? ListView_GetItemCount(list) : 0;
    if (rows != static_cast<int>(expected)) {
      *failure = std::to_string(rows) + " of " + std::to_string(expected) + " files listed " + MessagesOf(watcher);
      return false;
    }
    return true;
  }

  // The body length as the receiver counted it, once it has filed the request.
  bench::ControlRun Received(std::size_t recordsBefore, bench::ControlRun run) {
    const DWORD start = ::GetTickCount();
    std::vector<receiver::RecordEntry> entries;
    while ((entries = ReadIndex(index_)).size() <= recordsBefore && ::GetTickCount() - start < kRecordTimeoutMs)
      ::Sleep(20);
    if (entries.size() <= recordsBefore) {
      run.failure = "the receiver filed nothing";
      return run;
    }
    const receiver::RecordEntry& entry = entries.back();
    if (entry.outcome != receiver::Outcome::kComplete || !entry.declared || *entry.declared != entry.received) {
      run.failure = "the receiver got an incomplete body";
      return run;
    }
    run.bodyBytes = entry.received;
    run.succeeded = true;
    return run;
  }

  container::HostedControl& control_;
  const std::string index_;
};

int Usage(const std::string& why) {
  std::fprintf(stderr,
               "upload_bench: %s\n"
               "usage: upload_bench.exe --title TEXT --big FILE --folder FOLDER [--crowd FOLDER] --test-url URL\n"
               "                        --eager-url URL --index FILE [--curl-{big,many}-{test,eager} B/S]\n"
               "                        [--probe-file FILE --slow-reply-url URL --slow-read-url URL]\n"
               "                        [--payloads big|many|crowd|probe|all]\n",
               why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0 || i + 1 >= argc) return Usage("bad argument " + name);
    options[name.substr(2)] = argv[i + 1];
  }
  for (const char* required : {"title", "big", "folder", "test-url", "eager-url", "index"})
    if (options[required].empty()) return Usage(std::string("--") + required + " is required");

  container::OleSession ole;
  if (FAILED(ole.result())) return Usage("OleInitialize failed");
  HRESULT hr = E_FAIL;
  auto control = container::HostedControl::Create(container::HostOptions{}, &hr);
  if (!control || hr != S_OK) {
    std::fprintf(stderr, "upload_bench: cannot host the control (0x%08lx); is it registered?\n",
                 static_cast<unsigned long>(hr));
    return 1;
  }
  Bench bench(*control, options["index"]);
  if (!bench.Configure()) {
    std::fprintf(stderr, "upload_bench: the control refused the raised limits\n");
    return 1;
  }

  const Payload payloads[] = {{SingleFileName(options["big"]), options["big"], false},
                              {std::to_string(CountFiles(options["folder"])) + " x 64 KiB", options["folder"], true}};
  const char* const kinds[] = {"big", "many"};
  const char* const receivers[] = {"test", "eager"};
  const std::string only = options.count("payloads") ? options["payloads"] : "all";
  if (only != "all" && only != "big" && only != "many" && only != "crowd" && only != "probe")
    return Usage("--payloads is big, many, crowd, probe or all");
  std::vector<bench::TableRow> rows;
  std::vector<bench::BreakdownRow> breakdown;
  for (int p = 0; p < 2; ++p) {
    if (only != "all" && only != kinds[p]) continue;
    for (const char* receiverName : receivers) {
      const std::string url = options[std::string(receiverName) + "-url"];
      bench::TableRow row;
      row.payload = payloads[p].name;
      row.receiver = receiverName;
      row.curlBytesPerSecond =
          bench::ParseCurlSpeed(options[std::string("curl-") + kinds[p] + "-" + receiverName]);
      row.control = bench.Run(payloads[p], url);
      // Right after the control, so that both meet the same load.
      row.floorBytesPerSecond = Bench::Floor(payloads[p], url);
      // Where the many small files' time goes: the control's calls again,
      // one kind after another on one thread.
      if (payloads[p].folder)
        breakdown.push_back({row.payload, receiverName, row.control,
                             bench::ReplayPhases(bench::FilesOf(payloads[p].path), url)});
      std::fprintf(stderr, "   %s into the %s receiver: %s\n", row.payload.c_str(), receiverName,
                   row.control.succeeded ? "done" : row.control.failure.c_str());
      rows.push_back(std::move(row));
    }
  }
  if (!rows.empty()) {
    const std::string table = bench::FormatTable(options["title"], rows) +
                              "   floor: bare WinInet, the control's request in writes of " +
                              std::to_string(bench::kControlPieceSize >> 10) +
                              " KiB, small files packed together; curl -F with -H 'Expect:';\n"
                              "   CPU s: user + kernel over the upload; peaks: before -> after it\n";
    std::fwrite(table.data(), 1, table.size(), stdout);
    std::fflush(stdout);
  }
  if (!breakdown.empty()) {
    const std::string table = bench::FormatBreakdown(
        "   where the time goes: the control beside its own calls made one after another on one thread, "
        "each kind timed\n   (opens: open and measure every file; framing: part headers, pieces packed, "
        "progress; reads: read and close;\n   request: open, begin, end, answer); threads: the control's "
        "time beyond their sum (threads starting, handing over, waiting, the dialog;\n   below zero where its "
        "threads overlap phases: opens beside measures, closes beside the send loop)",
        breakdown);
    std::fwrite(table.data(), 1, table.size(), stdout);
    std::fflush(stdout);
  }

  if ((only == "all" || only == "crowd") && !options["crowd"].empty()) {
    const Payload crowd{std::to_string(CountFiles(options["crowd"])) + " files", options["crowd"], true};
    const bench::ControlRun run = bench.Run(crowd, options["eager-url"]);
    const std::string line =
        run.succeeded ? "   " + crowd.name + " into the eager receiver: Upload() held the page " +
                            std::to_string(std::lround(run.callSeconds * 1000)) + " ms; Upload to UploadFinish " +
                            std::to_string(std::lround(run.seconds * 1000)) + " ms\n"
                      : "   " + crowd.name + ": failed: " + run.failure + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
  }

  if ((only == "all" || only == "probe") && !options["probe-file"].empty()) {
    const Payload probeFile{SingleFileName(options["probe-file"]), options["probe-file"], false};
    std::vector<bench::ProbeRow> probed;
    for (const char* server : {"slow-reply", "slow-read"}) {
      const std::string url = options[std::string(server) + "-url"];
      if (url.empty()) continue;
      bench::ProbeRow row;
      const std::size_t host = url.find("//");
      const std::size_t path = host == std::string::npos ? std::string::npos : url.find('/', host + 2);
      row.server = path == std::string::npos ? url : url.substr(path);
      row.whole = bench.Probed(probeFile, url, false);
      row.cancelled = bench.Probed(probeFile, url, true);
      probed.push_back(row);
    }
    const std::string table =
        bench::FormatProbeTable("   the progress dialog under a slow server, " + probeFile.name +
                                    ", WM_NULL every 20 ms; cancelled by UploadCancel " +
                                    std::to_string(kCancelAfterMs) +
                                    " ms after the dialog showed; until UploadFinish from Upload, or from the cancel",
                                probed);
    std::fwrite(table.data(), 1, table.size(), stdout);
    std::fflush(stdout);
  }
  control.reset();
  return 0;
}
