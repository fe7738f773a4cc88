// A long life in one host process, as a page that stays open all day gives
// the control: 200 uploads of every ending an upload can have (answered with
// success, refused by the server, cut off by it, cancelled from the dialog
// and by UploadCancel, and two whose control is destroyed under them), and
// afterwards the process holds what it held after the warm-up: the same
// handles, the same threads, and its memory within a small margin. The
// figures are printed; what Wine itself keeps is told apart below.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/message_drain.h"
#include "module/dispatch_ids.h"
#include "resources/resource_ids.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/receiver/record.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/process_figures.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"
#include "tests/wine/support/upload_support.h"

namespace {

const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::Variant;
using receiver::Outcome;

constexpr int kUploads = 200;
constexpr int kBurst = 10;  // uploads started together from one pick
constexpr int kRoundsPerCycle = 4;
constexpr int kWarmUpUploads = 2 * kRoundsPerCycle * kBurst;
// The control is destroyed under an upload twice, after the warm-up and
// before the last cycle.
constexpr int kDestroyedAt[] = {kUploads / 2, 7 * kUploads / 10};
constexpr DISPID kUploadFinish = 1;
constexpr int kCancelButton = IDC_CANCEL_UPLOAD;
constexpr int kFilePercent = IDC_FILE_PERCENT;
const char kConfirmCancel[] = "전송을 정말 취소하시겠습니까?";

// What the process may hold more at the end than after the warm-up. Every
// upload opens and closes files, a connection, a thread, two windows and an
// image list: a leak of any of them shows as one per upload, a hundred
// between the two, far beyond these.
constexpr long kHandleMargin = 4;
constexpr std::size_t kThreadMargin = 0;
// Memory: the bytes the heaps hold in use show a leak; the committed figure
// and the working set also follow what the heaps and the system keep in
// reserve, which under Wine moves in steps of a MiB or more at unforeseeable
// moments (each side is the least over a cycle of rounds, and their margins
// are wide: they catch what leaks outside the heaps, such as buffers or
// stacks).
//
// Wine 8 itself keeps heap blocks that no program can free: 152 bytes (in
// 64-bit) for every request WinInet sends to a server, and with common
// controls 6 (which the module's manifest asks for) 24 bytes for each
// control of a dialog (seven in the progress dialog, four in the open-file
// dialog, one in a message box) and 64 per message box. Each is found the
// same in a bare program without the control: HttpSendRequest in a loop,
// the progress dialog's template created with a do-nothing procedure,
// GetOpenFileName and MessageBox in the module's activation context. About
// 340 bytes an upload, 100 a pick: the heap is allowed a little more than
// that, and a small margin over it: a leak of the control's own of 150
// bytes an upload crosses it.
constexpr std::size_t kWineHeapBytesPerUpload = 384;
constexpr std::size_t kWineHeapBytesPerPick = 128;
constexpr std::size_t kHeapMargin = 8 * 1024;
constexpr std::size_t kCommittedMargin = 8 * 1024 * 1024;
constexpr std::size_t kWorkingSetMargin = 8 * 1024 * 1024;

// Wine's open-file dialog (comdlg32 of Wine 8) opens this key of
// HKEY_CURRENT_USER each time a file is confirmed in it, to remember the
// folder for the program, and never closes it: one key per dialog, whatever
// program shows the dialog (a bare GetOpenFileName in a loop leaks the
// same). Windows' dialog does not. Such keys are counted apart, at most one
// per pick; every other handle must come back.
const char kWineDialogKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";

bool IsWineDialogKey(const scenario::ProcessFigures::Handle& handle) {
  const std::string tail = kWineDialogKey;
  return handle.type == "Key" && handle.name.size() >= tail.size() &&
         handle.name.compare(handle.name.size() - tail.size(), tail.size(), tail) == 0;
}

long WineDialogKeys(const scenario::ProcessFigures& figures) {
  long keys = 0;
  for (const auto& entry : figures.handleList) keys += IsWineDialogKey(entry.second);
  return keys;
}

// The bursts that end by the server: two answered with success, two refused,
// one cut off mid-body. The last path segment only names the upload.
const char* const kServerEndings[] = {"/ok/a.asp", "/status/500/b.asp", "/close-mid-body/64/c.asp",
                                      "/ok/d.asp", "/status/403/e.asp"};
// The cancelled ones: a body larger than the socket buffers can ever hold,
// read slowly, so that the upload is mid-file when it is cancelled. Linux
// grows a loopback connection's buffers up to 4 MiB to send and 32 MiB to
// receive: an 8 MiB body could sit in them whole before a cancel on a busy
// machine, and the receiver then read it all.
const char kSlowRoute[] = "/slow-read/1048576/discard/slow.asp";

enum class Ending { kByServer, kUploadCancel, kDialogCancel, kControlDestroyed };

bool MidFile(HWND dialog) {
  const std::string percent = drivers::WindowTextA(::GetDlgItem(dialog, kFilePercent));
  return !percent.empty() && percent != "0%" && percent != "100%";
}

// The process after one round, in figures only: a sample that kept its
// list of handles would itself grow the heap it measures, round by round.
struct Sample {
  int uploads = 0, picks = 0;  // of the sample with the least heap, in Least
  long handles = 0, wineKeys = 0;
  std::size_t threads = 0, committedBytes = 0, workingSetBytes = 0, heapBytes = 0;
  int handlePicks = 0;  // of the sample with the fewest handles, in Least
};

Sample SampleOf(const scenario::ProcessFigures& figures, int uploads, int picks) {
  return {uploads, picks, static_cast<long>(figures.handles), WineDialogKeys(figures), figures.threads,
          figures.committedBytes, figures.workingSetBytes, figures.heapBytes, picks};
}

// The least of each figure over [first, last), with the keys and picks of
// the sample with the fewest handles and the uploads and picks of the one
// with the least heap.
Sample Least(std::vector<Sample>::const_iterator first, std::vector<Sample>::const_iterator last) {
  Sample least = *first;
  for (auto sample = first; sample != last; ++sample) {
    if (sample->handles < least.handles) {
      least.handles = sample->handles;
      least.wineKeys = sample->wineKeys;
      least.handlePicks = sample->picks;
    }
    if (sample->heapBytes < least.heapBytes) {
      least.heapBytes = sample->heapBytes;
      least.uploads = sample->uploads;
      least.picks = sample->picks;
    }
    least.threads = std::min(least.threads, sample->threads);
    least.committedBytes = std::min(least.committedBytes, sample->committedBytes);
    least.workingSetBytes = std::min(least.workingSetBytes, sample->workingSetBytes);
  }
  return least;
}

std::string Figures(const char* when, const Sample& sample) {
  char line[240];
  std::snprintf(line, sizeof line,
                "%-28s handles %4ld  threads %3zu  committed %8zu KiB  working set %8zu KiB  heap in use %6zu KiB",
                when, sample.handles, sample.threads, sample.committedBytes / 1024, sample.workingSetBytes / 1024,
                sample.heapBytes / 1024);
  return line;
}

class Soak : public scenario::HostedUploadTest {
 protected:
  Soak() : HostedUploadTest("soak-") {}
  void SetUp() override {
    HostedUploadTest::SetUp();
    if (HasFatalFailure()) return;
    folder_->File("small.bin", 1000);
    folder_->File("slow.bin", 64 << 20);
  }

  // One pick, then `count` uploads of it started together, each ended the
  // way `ending` says; returns once every one has ended and its dialog is
  // gone.
  void Round(Ending ending, int count);
  // Waits until the uploads' threads have ended, then measures.
  scenario::ProcessFigures Settle() const;

  int started_ = 0;
  int picks_ = 0;
  int successes_ = 0, failures_ = 0;
  std::map<std::string, int> startedByRoute_;
};

void Soak::Round(Ending ending, int count) {
  const bool slow = ending != Ending::kByServer;
  scenario::PickFiles(*control_, folder_->path(), {slow ? "slow.bin" : "small.bin"}, 1);
  ++picks_;
  drivers::DialogWatcher watcher([ending](const drivers::DialogSeen& seen) {
    if (seen.text == kConfirmCancel) return IDYES;
    if (!scenario::IsProgressDialog(seen.window)) return IDOK;
    return ending == Ending::kDialogCancel && MidFile(seen.window) ? kCancelButton : 0;
  });
  control_->events().Clear();
  int begun = 0;
  for (int i = 0; i < count; ++i) {
    // Every ending empties the list, and a quick one of this burst may have
    // ended already (Upload's own drain delivers it): the rest of the burst
    // waits for the next round and its pick.
    if (ListView_GetItemCount(scenario::FileListOf(*control_)) == 0) break;
    const std::string route = slow ? kSlowRoute : kServerEndings[i % std::size(kServerEndings)];
    ASSERT_EQ(S_OK, control_->Put(L"ScriptURL", Variant::FromString(scenario::Wide(receiver_.Url(route).c_str()))));
    ASSERT_EQ(S_OK, control_->Call(L"Upload"));
    ++started_;
    ++startedByRoute_[route];
    ++begun;
  }
  ASSERT_GT(begun, 0);
  count = begun;
  auto allMidFile = [&] {
    int mid = 0;
    for (const auto& seen : watcher.Seen()) mid += ::IsWindow(seen.window) && MidFile(seen.window);
    return mid >= count;
  };
  if (ending == Ending::kUploadCancel) {
    ASSERT_TRUE(control_->PumpUntil(allMidFile, 20000)) << "not every upload got under way";
    ASSERT_EQ(S_OK, control_->Call(L"UploadCancel"));
  }
  if (ending == Ending::kControlDestroyed) {
    ASSERT_TRUE(control_->PumpUntil(allMidFile, 20000)) << "the upload did not get under way";
    control_.reset();
    // The workers end by themselves; the module may unload once they have.
    auto canUnload = scenario::Export<HRESULT(WINAPI*)()>(::GetModuleHandleA("BRIMLET.OCX"), "DllCanUnloadNow");
    ASSERT_TRUE(canUnload);
    ASSERT_TRUE(fw::PumpUntil([&] { return canUnload() == S_OK; }, 20000)) << "a worker outlived its control";
    control_ = scenario::HostControl();
    ASSERT_TRUE(control_);
  } else {
    ASSERT_TRUE(control_->PumpUntil([&] { return control_->events().Count(kUploadFinish) >= std::size_t(count); },
                                    60000))
        << "only " << control_->events().Count(kUploadFinish) << " of " << count << " uploads ended";
    for (const auto& call : control_->events().Of(DISPID_BRIMLET_UPLOADFINISH)) {
      if (call.id == kUploadFinish) ++(call.args[0].get()->boolVal != VARIANT_FALSE ? successes_ : failures_);
    }
  }
  for (const auto& seen : watcher.Seen()) fw::PumpUntil([&] { return !::IsWindow(seen.window); }, 10000);
}

scenario::ProcessFigures Soak::Settle() const {
  // A worker posts its outcome just before it takes its windows down and
  // ends: wait until the thread count has stopped changing.
  std::size_t threads = scenario::MeasureThisProcess().threads;
  for (int stable = 0, rounds = 0; stable < 2 && rounds < 100; ++rounds) {
    fw::PumpFor(100);
    const std::size_t now = scenario::MeasureThisProcess().threads;
    stable = now == threads ? stable + 1 : 0;
    threads = now;
  }
  return scenario::MeasureThisProcess();
}

TEST_F(Soak, TwoHundredUploadsOfEveryEndingLeaveTheProcessAsTheyFoundIt) {
  const Sample start = SampleOf(Settle(), 0, 0);
  std::printf("%s\n", Figures("start", start).c_str());
  ASSERT_GT(start.handles, 0) << "the handle table shows nothing of this process";
  ASSERT_GT(start.threads, 0u);
  ASSERT_GT(start.committedBytes, 0u);
  ASSERT_GT(start.workingSetBytes, 0u);
  ASSERT_GT(start.heapBytes, 0u);

  // The endings in turn, and the control destroyed under an upload twice.
  const Ending cycle[kRoundsPerCycle] = {Ending::kByServer, Ending::kUploadCancel, Ending::kByServer,
                                         Ending::kDialogCancel};
  std::vector<Sample> samples;  // one after every round
  samples.reserve(kUploads);    // never grows while measuring
  std::size_t warmEnd = 0;      // samples of the warm-up
  scenario::ProcessFigures warmFigures;
  int destroyed = 0;
  for (int round = 0; started_ < kUploads && !HasFatalFailure(); ++round) {
    if (destroyed < 2 && started_ >= kDestroyedAt[destroyed]) {
      Round(Ending::kControlDestroyed, 1);
      ++destroyed;
    } else {
      Round(cycle[round % kRoundsPerCycle], std::min(kBurst, kUploads - started_));
    }
    scenario::ProcessFigures figures = Settle();
    samples.push_back(SampleOf(figures, started_, picks_));
    if (started_ <= kWarmUpUploads) {
      warmEnd = samples.size();
      warmFigures = std::move(figures);
    }
  }
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(kUploads, started_);
  ASSERT_GE(warmEnd, std::size_t(kRoundsPerCycle));
  ASSERT_GE(samples.size(), warmEnd + kRoundsPerCycle);
  // Each side: the last cycle of rounds of the warm-up, and of the soak.
  const Sample warm = Least(samples.begin() + (warmEnd - kRoundsPerCycle), samples.begin() + warmEnd);
  const Sample end = Least(samples.end() - kRoundsPerCycle, samples.end());
  const std::size_t uploadsBetween = end.uploads - warm.uploads;
  const std::size_t picksBetween = end.picks - warm.picks;
  const long wineKeys = end.wineKeys - warm.wineKeys;
  std::printf("%s\n%s\n", Figures("after warm-up (least of 4)", warm).c_str(),
              Figures("end (least of 4)", end).c_str());
  std::printf("%d picks in between left %ld more keys of Wine's open-file dialog open\n",
              end.handlePicks - warm.handlePicks, wineKeys);
  const std::size_t wineHeap = uploadsBetween * kWineHeapBytesPerUpload + picksBetween * kWineHeapBytesPerPick;
  std::printf("heap in use grew by %ld KiB; Wine's own blocks of %zu uploads and %zu picks are allowed %zu KiB\n",
              (static_cast<long>(end.heapBytes) - static_cast<long>(warm.heapBytes)) / 1024, uploadsBetween,
              picksBetween, wineHeap / 1024);
  std::fflush(stdout);

  // How each upload ended, as the page heard it and as the server saw it.
  const int servedOk = startedByRoute_[kServerEndings[0]] + startedByRoute_[kServerEndings[3]];
  EXPECT_EQ(servedOk, successes_);
  EXPECT_EQ(kUploads - destroyed - servedOk, failures_);
  const auto requests = receiver_.WaitForRequests(kUploads, 30000);
  EXPECT_EQ(std::size_t(kUploads), requests.size());
  std::map<std::string, int> recordedByRoute;
  for (const auto& request : requests) {
    const std::string& route = request.entry.target;
    ++recordedByRoute[route];
    if (route == kSlowRoute) {
      EXPECT_NE(Outcome::kComplete, request.entry.outcome) << route;
      EXPECT_LT(request.entry.received, request.entry.declared.value_or(0)) << route;
    } else if (route == kServerEndings[2]) {
      EXPECT_EQ(Outcome::kClosedMidBody, request.entry.outcome) << route;
    } else {
      EXPECT_EQ(Outcome::kComplete, request.entry.outcome) << route;
    }
  }
  EXPECT_EQ(startedByRoute_, recordedByRoute);

  // What the process holds a hundred uploads later.
  EXPECT_LE(wineKeys, end.handlePicks - warm.handlePicks);
  EXPECT_LE(end.handles - wineKeys, warm.handles + kHandleMargin)
      << "new handles: " << [&] {
           auto added = scenario::NewHandles(warmFigures, scenario::MeasureThisProcess());
           added.erase(std::remove_if(added.begin(), added.end(), IsWineDialogKey), added.end());
           return scenario::Describe(added);
         }();
  EXPECT_LE(end.threads, warm.threads + kThreadMargin);
  EXPECT_LE(end.heapBytes, warm.heapBytes + wineHeap + kHeapMargin);
  EXPECT_LE(end.committedBytes, warm.committedBytes + kCommittedMargin);
  EXPECT_LE(end.workingSetBytes, warm.workingSetBytes + kWorkingSetMargin);
}

}  // namespace
