// The whole send loop against fakes: body bytes, how they are cut into
// writes, call order, sampling, cancelling and every way a file or the
// network can let the upload down.
#include "upload/portable/send_files.h"

#include <gtest/gtest.h>

#include "send_fakes.h"
#include "upload/portable/multipart.h"
#include "upload/portable/upload_messages.h"

namespace brimlet::testing {
namespace {

const std::string kFirst = "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
const std::string kLater = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
const std::string kEnd = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";
constexpr std::size_t kPiece = kPieceSize;

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
  const std::size_t secondHeader = Header(2, "C:\\문서\\빈.dat", "application/octet-stream").size();
  const std::vector<std::string> expected = {
      "row 0 C:\\a.txt a.txt 5", "row 1 C:\\문서\\빈.dat 빈.dat 0", "begin",
      "count 전체 2개 중 1개", "message 파일 전송중...", "status 0 전송중",
      "file % 0", "name C:\\a.txt",
      "count 전체 2개 중 2개", "message 파일 전송중...", "status 1 전송중",
      "file % 0", "name C:\\문서\\빈.dat",
      // Both parts and the trailer fit one piece: one write, and only after
      // it are the files done, each shown at its end.
      "write " + std::to_string(36 + 95 + 5 + 38 + secondHeader + 40),
      "name C:\\a.txt", "file size (5 중 5 전송)", "total size 5 중 5 전송", "file % 100", "total % 100",
      "count 전체 2개 중 1개 완료됨", "status 0 완료", "message 전송 완료",
      "name C:\\문서\\빈.dat", "file size (0 중 0 전송)", "total size 5 중 5 전송", "file % 100",
      "total % 100", "count 전체 2개 중 2개 완료됨", "status 1 완료", "message 전송 완료",
      "message 서버 응답 기다림..."};
  EXPECT_EQ(expected, h.log);
}

// Many small files and a framing too long for any piece: the body is cut
// into whole pieces whatever lies in them, and a row is done only once the
// write holding its file's last byte has returned.
TEST(SendFilesTest, PartsArePackedIntoWholePiecesAndEndWithTheirLastWrite) {
  SendHarness h;
  h.dialog.logPieces = false;
  std::vector<std::pair<std::string, std::string>> listed;
  const std::string longPath = "C:\\" + std::string(kPiece + 100, 'd') + "\\f.txt";
  h.files.files[longPath].content = "xyz";
  listed.push_back({longPath, "t/t"});
  for (int i = 0; i < 40; ++i) {
    const std::string path = "C:\\s" + std::to_string(i);
    h.files.files[path].content = std::string(50000 + i, static_cast<char>('a' + i % 26));
    listed.push_back({path, "t/t"});
  }
  const UploadJob job = h.Job(listed);
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);

  std::string expectedBody = kFirst + Header(1, longPath, "t/t") + "xyz";
  std::vector<std::uint64_t> lastByteEnds = {expectedBody.size()};
  for (int i = 0; i < 40; ++i) {
    const std::string path = "C:\\s" + std::to_string(i);
    expectedBody += kLater + Header(i + 2, path, "t/t") + h.files.files[path].content;
    lastByteEnds.push_back(expectedBody.size());
  }
  expectedBody += kEnd;
  EXPECT_TRUE(expectedBody == h.body.bytes) << "the bytes differ from the framing and data";
  EXPECT_EQ(ContentLength(job), h.body.bytes.size());

  const std::vector<std::size_t> writes = DataWriteSizes(h.log);
  ASSERT_EQ((expectedBody.size() + kPiece - 1) / kPiece, writes.size());
  for (std::size_t i = 0; i + 1 < writes.size(); ++i) EXPECT_EQ(kPiece, writes[i]) << "write " << i;

  // Walk the log: how much of the body was written when each row was done.
  std::uint64_t bodyWritten = 0;
  std::vector<std::uint64_t> writtenWhenDone(lastByteEnds.size(), 0);
  for (const std::string& entry : h.log) {
    if (entry.rfind("write ", 0) == 0) bodyWritten += std::stoul(entry.substr(6));
    for (std::size_t row = 0; row < lastByteEnds.size(); ++row)
      if (entry == "status " + std::to_string(row) + " 완료") writtenWhenDone[row] = bodyWritten;
  }
  for (std::size_t row = 0; row < lastByteEnds.size(); ++row) {
    EXPECT_GE(writtenWhenDone[row], lastByteEnds[row]) << "row " << row << " done before its last byte went";
    EXPECT_LT(writtenWhenDone[row], lastByteEnds[row] + kPiece) << "row " << row << " done late";
  }
}

TEST(SendFilesTest, AllEmptyJobShowsFullTotal) {
  SendHarness h;
  h.files.files["C:\\e"].content = "";
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(h.Job({{"C:\\e", "x/y"}})).outcome);
  EXPECT_EQ(std::vector<int>{100}, h.dialog.totalPercents);
  EXPECT_EQ(kFirst + Header(1, "C:\\e", "x/y") + kEnd, h.body.bytes);
}

TEST(SendFilesTest, APartEndingExactlyWithAPieceIsDoneWithThatWrite) {
  SendHarness h;
  const std::size_t framing = kFirst.size() + Header(1, "C:\\big", "a/b").size();
  FakeFile& file = h.files.files["C:\\big"];
  file.content = std::string(2 * kPiece - framing, 'x');
  file.content[kPiece] = 'y';
  h.dialog.logPieces = false;
  const UploadJob job = h.Job({{"C:\\big", "a/b"}});
  EXPECT_EQ(SendOutcome::kCompleted, h.Send(job).outcome);
  EXPECT_EQ(3, file.reads);
  EXPECT_TRUE(kFirst + Header(1, "C:\\big", "a/b") + file.content + kEnd == h.body.bytes);
  EXPECT_EQ((std::vector<std::size_t>{kPiece, kPiece, kEnd.size()}), DataWriteSizes(h.log));
  const auto done = std::find(h.log.begin(), h.log.end(), "status 0 완료");
  const auto trailer = std::find(h.log.begin(), h.log.end(), "write " + std::to_string(kEnd.size()));
  EXPECT_TRUE(done < trailer) << "the row waited for the trailer's write";
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
  // Two pieces less the framing in 2000 ms, 8 s for the other eight; then
  // two pieces in 1001 ms, and 3001 ms for four pieces leaves 4.5 s.
  const std::vector<std::string> expected = {"rate 1048", "file left 8", "total left 8",
                                             "rate 2095", "file left 4", "total left 4"};
  EXPECT_EQ(expected, samples) << "base " << base;
}

TEST(SendFilesTest, RateAndTimesSampledOnlyAfterMoreThan1000Ms) {
  ExpectSamplesAfterMoreThanASecond(0);
}

TEST(SendFilesTest, TickWrapDoesNotDisturbSampling) {
  ExpectSamplesAfterMoreThanASecond(0xFFFFFFFFu - 1500);
}

// A cancel stops the body at once: nothing more is written, not even the
// trailer (the request is closed under it), and no row it cut off is done.
TEST(SendFilesTest, CancelStopsTheBodyAfterTheWriteInFlight) {
  SendHarness h;
  h.files.files["C:\\a"].content = std::string(3 * kPiece, 'a');
  h.files.files["C:\\b"].content = "b";
  h.cancelAfterWrites = 1;
  const SendResult result = h.Send(h.Job({{"C:\\a", "t/t"}, {"C:\\b", "t/t"}}));
  EXPECT_EQ(SendOutcome::kCancelled, result.outcome);
  EXPECT_EQ(kPiece, h.body.bytes.size());
  EXPECT_FALSE(h.Logged("status 0 완료"));
  EXPECT_FALSE(h.Logged("status 1 전송중"));
  EXPECT_FALSE(h.Logged("message 서버 응답 기다림..."));

  // Cancelled before a file starts: it is never opened, and what waited in
  // the buffer is never written.
  SendHarness before;
  before.files.files["C:\\a"].content = "a";
  before.files.files["C:\\b"].content = "b";
  before.cancelAfterWrites = 0;
  EXPECT_EQ(SendOutcome::kCancelled, before.Send(before.Job({{"C:\\a", "t/t"}, {"C:\\b", "t/t"}})).outcome);
  EXPECT_EQ(0, before.files.files["C:\\a"].reads);
  EXPECT_EQ(0, before.body.writes);
}

TEST(SendFilesTest, FailuresStopTheUploadWithTheirMessage) {
  const struct {
    const char* name;
    std::function<void(SendHarness&)> spoil;  // applied after the job is filled
    std::string message;
    std::size_t bodyBytes;  // what reached the body
  } cases[] = {
      {"second piece not written", [](SendHarness& h) { h.body.failingWrite = 1; },
       kWriteError, kPiece},
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
       kFileChanged, kPiece},
      {"file longer than it says",
       [](SendHarness& h) {
         h.files.files["C:\\a"].reportedSize = h.files.files["C:\\a"].content.size();
         h.files.files["C:\\a"].content += std::string(kPiece, '+');
       },
       kFileChanged, 2 * kPiece},
      {"read fails", [](SendHarness& h) { h.files.files["C:\\a"].failingRead = 1; },
       kFileReadError, kPiece},
      // The piece that would complete the delimiter never goes out.
      {"file starts with the delimiter's hyphens and boundary",
       [](SendHarness& h) { h.files.files["C:\\a"].content.replace(0, 34, "----MULTI-PARTS-FORM-DATA-BOUNDARY"); },
       FormatDelimiterInFile("C:\\a"), 0},
      {"file holds the delimiter across the first piece's end",
       [](SendHarness& h) {
         const std::size_t framing = kFirst.size() + Header(1, "C:\\a", "text/plain").size();
         h.files.files["C:\\a"].content.replace(kPiece - framing - 5, 36, kLater.substr(0, 36));
       },
       FormatDelimiterInFile("C:\\a"), kPiece},
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
  // y's tail and all of z go out in the last write, which ends them both.
  EXPECT_EQ(2, std::count(p.begin(), p.end(), 100));
  EXPECT_EQ("8,589,934,591 중 8,589,934,591 전송", h.dialog.lastTotalText);
}

}  // namespace
}  // namespace brimlet::testing
