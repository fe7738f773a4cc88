#include "control/portable/admission.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace brimlet {
namespace {

constexpr std::uint64_t k4GiB = 0x100000000ull;

// The paths here are plain ASCII: each wide unit is one character.
std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }

// A list that records what the user would see, in order.
class RecordingList : public AdmissionList {
 public:
  std::uint32_t FileCount() const override { return count; }
  std::uint32_t TotalSize() const override { return total; }
  int RowCount() const override { return static_cast<int>(rows.size()); }
  void Insert(const std::wstring& wide, std::uint32_t size) override {
    const std::string path = Narrow(wide);
    rows.push_back(path);
    ++count;
    total += size;
    events.push_back("insert " + path);
  }
  void Reset() override {
    rows.clear();
    count = 0;
    total = 0;
    events.push_back("reset");
  }
  void ShowRefusal(Refusal why) override {
    refusals.push_back(why);
    events.push_back("message with " + std::to_string(rows.size()) + " rows");
  }
  void ShowAddedTitles() override { events.push_back("titles " + std::to_string(rows.size())); }

  std::uint32_t count = 0;
  std::uint32_t total = 0;
  std::vector<std::string> rows;
  std::vector<Refusal> refusals;
  std::vector<std::string> events;
};

// Files by path; a path it does not know cannot be opened.
class FakeDisk : public FileOpener {
 public:
  std::optional<std::uint64_t> OpenedSize(const std::wstring& path) override {
    opened.push_back(Narrow(path));
    const auto it = sizes.find(path);
    if (it == sizes.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::wstring, std::uint64_t> sizes;
  std::vector<std::string> opened;
};

Limits MakeLimits(std::int32_t fileSize, std::int32_t totalSize, std::int32_t count) {
  Limits limits;
  limits.maxFileSize = fileSize;
  limits.maxTotalSize = totalSize;
  limits.maxFileCount = count;
  return limits;
}

const Limits kDefaults;

// ---------------------------------------------------------------- one file
TEST(FileLimits, TestsRunInTheirOrderSizeThenCountThenTotal) {
  // Breaks all three: the size decides.
  EXPECT_EQ(Refusal::FileTooLarge, CheckFileLimits(MakeLimits(10, 10, 0), 5, 5, 11));
  // Breaks count and total: the count decides.
  EXPECT_EQ(Refusal::TooManyFiles, CheckFileLimits(MakeLimits(100, 10, 1), 1, 5, 11));
  EXPECT_EQ(Refusal::TotalTooLarge, CheckFileLimits(MakeLimits(100, 10, 5), 1, 5, 6));
  EXPECT_EQ(Refusal::None, CheckFileLimits(MakeLimits(100, 11, 5), 1, 5, 6));
}

TEST(FileLimits, ZeroIsARealLimit) {
  EXPECT_EQ(Refusal::TooManyFiles, CheckFileLimits(MakeLimits(100, 100, 0), 0, 0, 1));
  EXPECT_EQ(Refusal::None, CheckFileLimits(MakeLimits(0, 100, 5), 0, 0, 0)) << "an empty file";
  EXPECT_EQ(Refusal::FileTooLarge, CheckFileLimits(MakeLimits(0, 100, 5), 0, 0, 1));
  EXPECT_EQ(Refusal::TotalTooLarge, CheckFileLimits(MakeLimits(100, 0, 5), 0, 0, 1));
}

TEST(FileLimits, MinusOneLimitsReadAsTheLargestUnsignedNumber) {
  const Limits open = MakeLimits(-1, -1, -1);
  EXPECT_EQ(Refusal::None, CheckFileLimits(open, 0x7FFFFFFF, 0, 0xFFFFFFFFu));
  EXPECT_EQ(Refusal::None, CheckFileLimits(open, 0xFFFFFFFEu, 0, 1));
  // A negative count other than -1 is still huge when read unsigned.
  EXPECT_EQ(Refusal::None, CheckFileLimits(MakeLimits(-1, -1, -5), 1000, 0, 1));
}

TEST(FileLimits, TheTotalIsSummedWithoutWrapping) {
  // 0xFFFFFF00 + 0x200 would wrap to 0x100 in 32 bits and pass a limit of 1 GiB.
  EXPECT_EQ(Refusal::TotalTooLarge, CheckFileLimits(MakeLimits(-1, 0x40000000, 100), 1, 0xFFFFFF00u, 0x200));
  EXPECT_EQ(Refusal::TotalTooLarge, CheckFileLimits(MakeLimits(-1, -1, 100), 1, 0xFFFFFF00u, 0x200));
  EXPECT_EQ(Refusal::None, CheckFileLimits(MakeLimits(-1, -1, 100), 1, 0xFFFFFF00u, 0xFF));
}

TEST(FileLimits, FilesOfFourGibibytesOrMoreAreTooLargeWhateverTheLimit) {
  EXPECT_EQ(Refusal::FileTooLarge, CheckFileLimits(MakeLimits(-1, -1, -1), 0, 0, k4GiB));
  // Its low 32 bits (10) would pass every limit.
  EXPECT_EQ(Refusal::FileTooLarge, CheckFileLimits(kDefaults, 0, 0, k4GiB + 10));
  EXPECT_EQ(Refusal::None, CheckFileLimits(MakeLimits(-1, -1, -1), 0, 0, k4GiB - 1));
}

// ---------------------------------------------------------------- AddFile
TEST(AdmittingFiles, AllAdmittedThenTheAddedTitles) {
  RecordingList list;
  FakeDisk disk;
  disk.sizes = {{L"C:\\a", 1000}, {L"C:\\b", 2000}, {L"C:\\c", 3000}};
  AdmitFiles({L"C:\\a", L"C:\\b", L"C:\\c"}, disk, list, kDefaults);
  EXPECT_EQ((std::vector<std::string>{"C:\\a", "C:\\b", "C:\\c"}), list.rows);
  EXPECT_EQ(3u, list.count);
  EXPECT_EQ(6000u, list.total);
  EXPECT_TRUE(list.refusals.empty());
  EXPECT_EQ("titles 3", list.events.back());
}

TEST(AdmittingFiles, CountOfTwoWithThreeChosenKeepsTwoAndStops) {
  RecordingList list;
  FakeDisk disk;
  disk.sizes = {{L"a", 1}, {L"b", 1}, {L"c", 1}};
  AdmitFiles({L"a", L"b", L"c"}, disk, list, MakeLimits(1000, 1000, 2));
  EXPECT_EQ(2, list.RowCount());
  EXPECT_EQ(std::vector<Refusal>{Refusal::TooManyFiles}, list.refusals);
  EXPECT_EQ("titles 2", list.events.back()) << "titles refreshed after the refusal";
}

TEST(AdmittingFiles, TotalOfAThousandTakesSixHundredThenRefusesFiveHundred) {
  RecordingList list;
  FakeDisk disk;
  disk.sizes = {{L"600", 600}, {L"500", 500}};
  AdmitFiles({L"600", L"500"}, disk, list, MakeLimits(-1, 1000, 100));
  EXPECT_EQ(std::vector<std::string>{"600"}, list.rows);
  EXPECT_EQ(600u, list.total);
  EXPECT_EQ(std::vector<Refusal>{Refusal::TotalTooLarge}, list.refusals);
}

TEST(AdmittingFiles, FileInUseThirdOfFiveStopsTheBatchAndLaterFilesAreNotOpened) {
  RecordingList list;
  FakeDisk disk;
  disk.sizes = {{L"1", 1}, {L"2", 2}, {L"4", 4}, {L"5", 5}};  // "3" cannot be opened
  AdmitFiles({L"1", L"2", L"3", L"4", L"5"}, disk, list, kDefaults);
  EXPECT_EQ((std::vector<std::string>{"1", "2"}), list.rows);
  EXPECT_EQ(std::vector<Refusal>{Refusal::InUse}, list.refusals);
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), disk.opened);
  EXPECT_EQ(3u, list.total);
}

TEST(AdmittingFiles, NegativeCountLimitNeverStopsFiles) {
  RecordingList list;
  list.count = 500;
  FakeDisk disk;
  disk.sizes = {{L"a", 1}};
  AdmitFiles({L"a"}, disk, list, MakeLimits(-1, -1, -7));
  EXPECT_EQ(501u, list.count);
  EXPECT_TRUE(list.refusals.empty());
}

TEST(AdmittingFiles, ALargeFileIsRefusedAsTooLargeNotCountedByItsLowBits) {
  RecordingList list;
  FakeDisk disk;
  disk.sizes = {{L"small", 5}, {L"huge", k4GiB + 5}, {L"after", 5}};
  AdmitFiles({L"small", L"huge", L"after"}, disk, list, MakeLimits(-1, -1, -1));
  EXPECT_EQ(std::vector<std::string>{"small"}, list.rows);
  EXPECT_EQ(std::vector<Refusal>{Refusal::FileTooLarge}, list.refusals);
}

TEST(AdmittingFiles, NothingChosenStillRefreshesTheTitles) {
  RecordingList list;
  FakeDisk disk;
  AdmitFiles({}, disk, list, kDefaults);
  EXPECT_EQ(std::vector<std::string>{"titles 0"}, list.events);
}

// ---------------------------------------------------------------- AddFolder
std::vector<ScannedFile> Files(int n, std::uint64_t size, FakeDisk* disk) {
  std::vector<ScannedFile> files;
  for (int i = 0; i < n; ++i) {
    const std::wstring path = L"D:\\f" + std::to_wstring(i);
    files.push_back({path, size});
    disk->sizes[path] = size;
  }
  return files;
}

TEST(AdmittingAFolder, AllFilesInThenTheAddedTitles) {
  RecordingList list;
  FakeDisk disk;
  AdmitFolder(Files(3, 10, &disk), disk, list, kDefaults);
  EXPECT_EQ(3, list.RowCount());
  EXPECT_EQ(30u, list.total);
  EXPECT_EQ("titles 3", list.events.back());
}

TEST(AdmittingAFolder, OverTheCountListsAllShowsTheMessageThenClearsEverything) {
  RecordingList list;
  FakeDisk disk;
  AdmitFolder(Files(150, 1, &disk), disk, list, MakeLimits(-1, -1, 100));
  EXPECT_EQ(std::vector<Refusal>{Refusal::TooManyFiles}, list.refusals);
  ASSERT_GE(list.events.size(), 2u);
  EXPECT_EQ("message with 150 rows", list.events[list.events.size() - 2]);
  EXPECT_EQ("reset", list.events.back());
  EXPECT_EQ(0, list.RowCount());
  EXPECT_EQ(0u, list.total);
}

TEST(AdmittingAFolder, CountIsComparedSignedSoANegativeLimitRefusesEveryFolder) {
  RecordingList list;
  FakeDisk disk;
  AdmitFolder(Files(1, 1, &disk), disk, list, MakeLimits(-1, -1, -1));
  EXPECT_EQ(std::vector<Refusal>{Refusal::TooManyFiles}, list.refusals);
  EXPECT_EQ(0, list.RowCount());
  // Even an empty folder: zero rows is still more than -1.
  RecordingList empty;
  AdmitFolder({}, disk, empty, MakeLimits(-1, -1, -1));
  EXPECT_EQ(std::vector<Refusal>{Refusal::TooManyFiles}, empty.refusals);
}

TEST(AdmittingAFolder, OneTooLargeFileClearsTheFilesListedBefore) {
  RecordingList list;
  FakeDisk disk;
  for (int i = 0; i < 5; ++i) list.Insert(L"earlier" + std::to_wstring(i), 1);
  std::vector<ScannedFile> files = Files(3, 10, &disk);
  files[1].size = 2000;
  disk.sizes[files[1].path] = 2000;
  AdmitFolder(files, disk, list, MakeLimits(1000, -1, 100));
  EXPECT_EQ(std::vector<Refusal>{Refusal::FileTooLarge}, list.refusals);
  EXPECT_EQ(0, list.RowCount());
  EXPECT_EQ(0u, list.count);
  const std::vector<std::string> examined{"D:\\f0", "D:\\f1"};
  EXPECT_EQ(examined, disk.opened) << "the third file is not examined";
}

TEST(AdmittingAFolder, AFileInUseClearsTheList) {
  RecordingList list;
  FakeDisk disk;
  std::vector<ScannedFile> files = Files(3, 10, &disk);
  disk.sizes.erase(files[2].path);
  AdmitFolder(files, disk, list, kDefaults);
  EXPECT_EQ(std::vector<Refusal>{Refusal::InUse}, list.refusals);
  EXPECT_EQ("message with 2 rows", list.events[list.events.size() - 2]);
  EXPECT_EQ(0, list.RowCount());
}

TEST(AdmittingAFolder, SizesAreComparedUnsignedAndTheTotalAfterwards) {
  RecordingList list;
  FakeDisk disk;
  // -1 as the file limit lets every countable file in; the total limit then decides.
  AdmitFolder(Files(3, 400, &disk), disk, list, MakeLimits(-1, 1000, 100));
  EXPECT_EQ(std::vector<Refusal>{Refusal::TotalTooLarge}, list.refusals);
  EXPECT_EQ(0, list.RowCount());

  RecordingList fits;
  AdmitFolder(Files(2, 500, &disk), disk, fits, MakeLimits(-1, 1000, 100));
  EXPECT_TRUE(fits.refusals.empty());
  EXPECT_EQ(1000u, fits.total);
}

TEST(AdmittingAFolder, ATotalThatWouldWrapPastFourGibibytesIsRefused) {
  RecordingList list;
  FakeDisk disk;
  // Five files of 1 GiB: 5 GiB would wrap to 1 GiB and pass a 1 GiB total.
  AdmitFolder(Files(5, 0x40000000, &disk), disk, list, MakeLimits(0x40000000, 0x40000000, 100));
  EXPECT_EQ(std::vector<Refusal>{Refusal::TotalTooLarge}, list.refusals);
  EXPECT_EQ(0, list.RowCount());
}

TEST(AdmittingAFolder, AFileOfFourGibibytesIsTooLarge) {
  RecordingList list;
  FakeDisk disk;
  std::vector<ScannedFile> files = Files(2, 1, &disk);
  files[1].size = k4GiB + 1;
  AdmitFolder(files, disk, list, MakeLimits(-1, -1, 100));
  EXPECT_EQ(std::vector<Refusal>{Refusal::FileTooLarge}, list.refusals);
  EXPECT_EQ(0, list.RowCount());
}

TEST(AdmittingAFolder, AnEmptyFolderKeepsTheListAndRefreshesTheTitles) {
  RecordingList list;
  for (int i = 0; i < 3; ++i) list.Insert(L"x" + std::to_wstring(i), 1);
  FakeDisk disk;
  AdmitFolder({}, disk, list, kDefaults);
  EXPECT_EQ(3, list.RowCount());
  EXPECT_EQ("titles 3", list.events.back());
}

TEST(AdmittingAFolder, ALoweredCountLimitClearsTheListOnTheNextFolder) {
  RecordingList list;
  for (int i = 0; i < 4; ++i) list.Insert(L"x" + std::to_wstring(i), 1);
  FakeDisk disk;
  AdmitFolder({}, disk, list, MakeLimits(-1, -1, 2));
  EXPECT_EQ(std::vector<Refusal>{Refusal::TooManyFiles}, list.refusals);
  EXPECT_EQ(0, list.RowCount());
}

}  // namespace
}  // namespace brimlet
