// The whole send loop against fakes: body bytes, call order, sampling,
// cancelling and every way a file or the network can let the upload down.
#include "upload/send_files.h"

#include <gtest/gtest.h>

#include "send_fakes.h"
#include "upload/multipart.h"
#include "upload/upload_messages.h"

namespace brimlet::testing {
namespace {

const std::string kFirst = "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
const std::string kLater = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
const std::string kEnd = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";
constexpr std::size_t kPiece = kSmallestPieceSize;

std::string Header(int n, const std::string& path, const std::string& type) {
  return "Content-Disposition: form-data; name=\"FILE" + std::to_string(n) +
         "\"; filename=\"" + path + "\"\r\nContent-Type: " + type + "\r\n\r\n";
}

// The sizes of the writes the body got, in order.
std::vector<std::size_t> DataWriteSizes(const std::vector<std::string>& log) {
  std::vector<std::size_t> sizes;
  for (const std::string& entry : log)
    if (entry.rfind("write ", 0) == 0) sizes.push_back(std::stoul(entry.substr(6)));
  return sizes;
}

TEST(SendFilesTest, OneSmallFileGivesTheWorkedExampleBody) {
  SendHarness h;
  h.files.files["C:\\a.txt"].content = "hello";
  const UploadJob job = h.Job({{"C:\\a.txt", "text/plain"}});
  ASSERT_EQ(176u, ContentLength(job));

  const SendResult result = h.Send(job);
  EXPECT_EQ(SendOutcome::kCompleted, result.outcome);
  EXPECT_EQ(kFirst + Header(1, "C:\\a.txt", "text/plain") + "hello" + kEnd, h.body.bytes);
  EXPECT_EQ(176u, h.body.bytes.size());
}

TEST(SendFilesTest, FileRefusedAtJobTimeTakesNoPartNumber) {
  SendHarness h;
  h.files.files["C:\\1.txt"].content = "one";
  h.files.files["C:\\2.txt"].openable = false;
  h.files.files["C:\\3.txt"].content = "three";
  const UploadJob job = h.Job({{"C:\\1.txt", "text/plain"},
                               {"C:\\2.txt", "text/plain"},
                               {"C:\\3.txt", "text/plain"}});
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  EXPECT_EQ(kFirst + Header(1, "C:\\1.txt", "text/plain") + "one" + kLater +
                Header(2, "C:\\3.txt", "text/plain") + "three" + kEnd,
            h.body.bytes);
  EXPECT_EQ(ContentLength(job), h.body.bytes.size());
}

TEST(SendFilesTest, ProgressCallsOfASmallJobInOrder) {
  SendHarness h;
  h.files.files["C:\\a.txt"].content = "hello";
  h.files.files["C:\\문서\\빈.dat"].content = "";
  const UploadJob job = h.Job({{"C:\\a.txt", "text/plain"},
                               {"C:\\문서\\빈.dat", "application/octet-stream"}});
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  const std::vector<std::string> expected = {
      "row 0 C:\\a.txt a.txt 5", "row 1 C:\\문서\\빈.dat 빈.dat 0", "begin",
      "count 전체 2개 중 1개", "status 0 전송중", "message 파일 전송중...",
      "file % 0", "name C:\\a.txt",
      // The framing goes out in the same write as the first piece.
      "write " + std::to_string(36 + 95 + 5), "file size (5 중 5 전송)", "total size 5 중 5 전송",
      "file % 100", "total % 100", "drain",
      "count 전체 2개 중 1개 완료됨", "status 0 완료", "message 전송 완료",
      "count 전체 2개 중 2개", "status 1 전송중", "message 파일 전송중...",
      "file % 0", "name C:\\문서\\빈.dat",
      // An empty file is all sent with its framing.
      "write " + std::to_string(38 + Header(2, "C:\\문서\\빈.dat", "application/octet-stream").size()),
      "file size (0 중 0 전송)", "total size 5 중 5 전송",
      "file % 100", "total % 100", "drain",
      "count 전체 2개 중 2개 완료됨", "status 1 완료", "message 전송 완료",
      "write 40", "message 서버 응답 기다림..."};
  EXPECT_EQ(expected, h.log);
}

TEST(SendFilesTest, FramingOfAPathOfAnyLengthGoesOutWhole) {
  SendHarness h;
  const std::string longPath = "C:\\" + std::string(20000, 'd') + "\\f.txt";
  h.files.files[longPath].content = "xyz";
  h.files.files["C:\\b"].content = "b";
  const UploadJob job = h.Job({{longPath, "t/t"}, {"C:\\b", "t/t"}});
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  EXPECT_TRUE(kFirst + Header(1, longPath, "t/t") + "xyz" + kLater + Header(2, "C:\\b", "t/t") + "b" +
                  kEnd == h.body.bytes);
  EXPECT_EQ(ContentLength(job), h.body.bytes.size());
  // Too long to wait in front of the first piece, it is written on its own.
  const std::vector<std::size_t> expected = {36, Header(1, longPath, "t/t").size(), 3,
                                             38 + Header(2, "C:\\b", "t/t").size() + 1, 40};
  EXPECT_EQ(expected, DataWriteSizes(h.log));
}

TEST(SendFilesTest, AllEmptyJobShowsFullTotal) {
  SendHarness h;
  h.files.files["C:\\e"].content = "";
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(h.Job({{"C:\\e", "x/y"}})).outcome);
  EXPECT_EQ(std::vector<int>{100}, h.dialog.totalPercents);
  EXPECT_EQ(kFirst + Header(1, "C:\\e", "x/y") + kEnd, h.body.bytes);
}

TEST(SendFilesTest, ExactMultipleOfThePieceEndsAfterOneEmptyRead) {
  SendHarness h;
  FakeFile& file = h.files.files["C:\\big"];
  file.content = std::string(2 * kPiece, 'x');
  file.content[kPiece] = 'y';
  // Every piece takes 200 ms: a slow link, so pieces stay at their smallest.
  h.clock.script = {0, 0, 200, 400, 600};
  const UploadJob job = h.Job({{"C:\\big", "a/b"}});
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  EXPECT_EQ(3, file.reads);
  EXPECT_EQ(kFirst + Header(1, "C:\\big", "a/b") + file.content + kEnd, h.body.bytes);
  EXPECT_EQ(3, std::count(h.log.begin(), h.log.end(), "drain"));
}

// Pieces grow while the link takes them at once and, from the size reached,
// drop back to the smallest once one keeps the dialog waiting; the bytes
// never change.
TEST(SendFilesTest, PiecesGrowOnAQuickLinkAndShrinkOnASlowOne) {
  SendHarness h;
  const std::size_t k = kPiece;
  h.files.files["C:\\quick"].content = std::string(47 * k, 'q');
  h.files.files["C:\\slow"].content = std::string(8 * k + 2 * k + 5, 's');
  h.dialog.logPieces = false;
  // Start, the first file and its nine reads at once; then the second
  // file, whose every piece takes 150 ms.
  h.clock.script = std::vector<std::uint32_t>(12, 0);
  for (std::uint32_t t = 150; t <= 600; t += 150) h.clock.script.push_back(t);

  const UploadJob job = h.Job({{"C:\\quick", "a/b"}, {"C:\\slow", "a/b"}});
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  const std::size_t quickHeader = Header(1, "C:\\quick", "a/b").size();
  const std::size_t slowHeader = Header(2, "C:\\slow", "a/b").size();
  const std::vector<std::size_t> expected = {
      36 + quickHeader + k, 2 * k, 4 * k, 8 * k, 8 * k, 8 * k, 8 * k, 8 * k,
      38 + slowHeader + 8 * k, k, k, 5,
      40};
  EXPECT_EQ(expected, DataWriteSizes(h.log));
  const std::string expectedBody = kFirst + Header(1, "C:\\quick", "a/b") + std::string(47 * k, 'q') +
                                   kLater + Header(2, "C:\\slow", "a/b") +
                                   std::string(10 * k + 5, 's') + kEnd;
  EXPECT_TRUE(expectedBody == h.body.bytes) << "the bytes differ from the framing and data";
}

// Ten pieces; the clock is read at the start, at the file and after each piece.
void ExpectSamplesAfterMoreThanASecond(std::uint32_t base) {
  SendHarness h;
  h.files.files["C:\\f"].content = std::string(10 * kPiece, 'z');
  h.clock.script = {base, base, base + 500, base + 2000, base + 3000, base + 3001};
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(h.Job({{"C:\\f", "a/b"}})).outcome);

  std::vector<std::string> samples;
  for (const std::string& entry : h.log)
    if (entry.rfind("rate", 0) == 0 || entry.find("left") != std::string::npos)
      samples.push_back(entry);
  // 131072 bytes in 2000 ms, 8 s for the other 524288; then 131072 bytes
  // in 1001 ms, and 3001 ms for 262144 bytes leaves 4.5 s.
  const std::vector<std::string> expected = {"rate 65", "file left 8", "total left 8",
                                             "rate 130", "file left 4", "total left 4"};
  EXPECT_EQ(expected, samples) << "base " << base;
}

TEST(SendFilesTest, RateAndTimesSampledOnlyAfterMoreThan1000Ms) {
  ExpectSamplesAfterMoreThanASecond(0);
}

TEST(SendFilesTest, TickWrapDoesNotDisturbSampling) {
  ExpectSamplesAfterMoreThanASecond(0xFFFFFFFFu - 1500);
}

TEST(SendFilesTest, CancelMidFileFinishesThePieceThenOnlyTheTrailer) {
  SendHarness h;
  h.files.files["C:\\a"].content = std::string(3 * kPiece, 'a');
  h.files.files["C:\\b"].content = "b";
  h.cancelAtDrain = 0;
  const SendResult result = h.Send(h.Job({{"C:\\a", "t/t"}, {"C:\\b", "t/t"}}));
  EXPECT_EQ(SendOutcome::kCancelled, result.outcome);
  EXPECT_EQ(kFirst + Header(1, "C:\\a", "t/t") + std::string(kPiece, 'a') + kEnd,
            h.body.bytes);
  EXPECT_FALSE(h.Logged("status 0 완료"));
  EXPECT_FALSE(h.Logged("status 1 전송중"));
  EXPECT_EQ("message 서버 응답 기다림...", h.log.back());
}

TEST(SendFilesTest, CancelAfterAFileEndsStopsBeforeTheNext) {
  SendHarness h;
  h.files.files["C:\\a"].content = "a";
  h.files.files["C:\\b"].content = "b";
  h.cancelAtDrain = 0;
  EXPECT_EQ(SendOutcome::kCancelled,
            h.Send(h.Job({{"C:\\a", "t/t"}, {"C:\\b", "t/t"}})).outcome);
  EXPECT_TRUE(h.Logged("status 0 완료"));
  EXPECT_EQ(0, h.files.files["C:\\b"].reads);
  EXPECT_EQ(kFirst + Header(1, "C:\\a", "t/t") + "a" + kEnd, h.body.bytes);
}

TEST(SendFilesTest, FailuresStopTheUploadWithTheirMessage) {
  const struct {
    const char* name;
    std::function<void(SendHarness&)> spoil;  // applied after the job is filled
    const char* message;
    std::size_t bodyBytes;  // what reached the body
  } cases[] = {
      {"second piece not written", [](SendHarness& h) { h.body.failingWrite = 1; },
       kWriteError, 36 + 91 + kPiece},
      {"framing and first piece not written", [](SendHarness& h) { h.body.failingWrite = 0; },
       kWriteError, 0},
      {"request not started", [](SendHarness& h) { h.body.beginOk = false; },
       "begin refused", 0},
      {"file gone", [](SendHarness& h) { h.files.files["C:\\a"].openable = false; },
       kFileInUse, 0},
      {"file grown", [](SendHarness& h) { h.files.files["C:\\a"].content += "+"; },
       kFileChanged, 0},
      {"file shorter than it says",
       [](SendHarness& h) {
         h.files.files["C:\\a"].reportedSize = h.files.files["C:\\a"].content.size();
         h.files.files["C:\\a"].content.resize(kPiece + 7);
       },
       kFileChanged, 36 + 91 + kPiece + 7},
      {"file longer than it says",
       [](SendHarness& h) {
         h.files.files["C:\\a"].reportedSize = h.files.files["C:\\a"].content.size();
         h.files.files["C:\\a"].content += std::string(kPiece, '+');
       },
       kFileChanged, 36 + 91 + kPiece},
      {"read fails", [](SendHarness& h) { h.files.files["C:\\a"].failingRead = 1; },
       kFileReadError, 36 + 91 + kPiece},
      {"read claims more than it was asked for",
       [](SendHarness& h) { h.files.files["C:\\a"].claimedRead = kPiece + 1; },
       kFileReadError, 0},
  };
  for (const auto& c : cases) {
    SendHarness h;
    h.files.files["C:\\a"].content = std::string(2 * kPiece + 9, 'a');
    const UploadJob job = h.Job({{"C:\\a", "text/plain"}});
    c.spoil(h);
    const SendResult result = h.Send(job);
    EXPECT_EQ(SendOutcome::kFailed, result.outcome) << c.name;
    EXPECT_EQ(c.message, result.message) << c.name;
    EXPECT_EQ(c.bodyBytes, h.body.written) << c.name;
    EXPECT_FALSE(h.Logged("status 0 완료")) << c.name;
    EXPECT_FALSE(h.Logged("message 서버 응답 기다림...")) << c.name;
  }
}

TEST(SendFilesTest, JobBeyond4GiBDeclaresItsLengthAndNeverWraps) {
  SendHarness h;
  h.files.files["C:\\x"].virtualSize = 0xFFFFFFFFu;
  h.files.files["C:\\y"].virtualSize = 0xFFFFFFFFu;
  h.files.files["C:\\z"].content = "z";
  h.body.keepBytes = false;
  h.dialog.logPieces = false;
  const UploadJob job = h.Job({{"C:\\x", "a/b"}, {"C:\\y", "a/b"}, {"C:\\z", "a/b"}});
  const std::uint64_t expected = 40 + (36 + 84) + (38 + 84) + (38 + 84) +
                                 2 * std::uint64_t{0xFFFFFFFFu} + 1;
  EXPECT_EQ(expected, ContentLength(job));
  EXPECT_EQ("Content-Length: 8589934995\r\n", ContentLengthHeaderLine(ContentLength(job)));

  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  EXPECT_EQ(expected, h.body.written);
  const std::vector<int>& p = h.dialog.totalPercents;
  EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
  EXPECT_EQ(0, p.front());
  EXPECT_EQ(100, p.back());
  EXPECT_EQ(1, std::count(p.begin(), p.end(), 100));
  EXPECT_EQ("8,589,934,591 중 8,589,934,591 전송", h.dialog.lastTotalText);
}

}  // namespace
}  // namespace brimlet::testing
