// The receiver's record format as a reader sees it, the body hash it lists,
// and the printable reply text it streams.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/receiver/record.h"
#include "tests/receiver/reply.h"

namespace receiver {
namespace {

TEST(ReceiverRecord, FileNamesSortInArrivalOrder) {
  EXPECT_EQ("0001.req", RecordFileName(1));
  EXPECT_EQ("0042.req", RecordFileName(42));
  EXPECT_EQ("9999.req", RecordFileName(9999));
  EXPECT_EQ("10000.req", RecordFileName(10000));
}

TEST(ReceiverRecord, IndexLineReadsBackEveryField) {
  RecordEntry entry;
  entry.number = 12;
  entry.outcome = Outcome::kClosedMidBody;
  entry.status = 0;
  entry.declared = 5368709120u;
  entry.received = 1000;
  entry.stored = 1000;
  entry.fnv1a = 0x0123456789abcdefu;
  entry.target = "/close-mid-body/1000?name=a b";
  const std::string line = FormatRecordLine(entry);
  EXPECT_EQ('\n', line.back());
  EXPECT_EQ(0u, line.find("0012 closed-mid-body "));

  const auto back = ParseRecordLine(line);
  ASSERT_TRUE(back);
  EXPECT_EQ(12u, back->number);
  EXPECT_EQ(Outcome::kClosedMidBody, back->outcome);
  EXPECT_EQ(0, back->status);
  EXPECT_EQ(5368709120u, back->declared.value_or(0));
  EXPECT_EQ(1000u, back->received);
  EXPECT_EQ(1000u, back->stored);
  EXPECT_EQ(0x0123456789abcdefu, back->fnv1a.value_or(0));
  EXPECT_EQ("/close-mid-body/1000?name=a b", back->target);
}

TEST(ReceiverRecord, UnknownLengthAndSkippedHashReadBackAsAbsent) {
  RecordEntry entry;
  entry.number = 3;
  entry.outcome = Outcome::kRefused;
  entry.status = 431;
  entry.target = "/ok";
  const auto back = ParseRecordLine(FormatRecordLine(entry));
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->declared);
  EXPECT_FALSE(back->fnv1a);
  EXPECT_EQ(431, back->status);
  EXPECT_EQ(Outcome::kRefused, back->outcome);
}

TEST(ReceiverRecord, EveryOutcomeHasItsOwnName) {
  std::set<std::string> names;
  for (Outcome outcome : {Outcome::kComplete, Outcome::kClientClosed, Outcome::kClosedMidBody,
                          Outcome::kRefused, Outcome::kTimedOut, Outcome::kStopped}) {
    const std::string name(OutcomeName(outcome));
    EXPECT_EQ(outcome, OutcomeFromName(name).value_or(Outcome::kComplete == outcome
                                                          ? Outcome::kStopped
                                                          : Outcome::kComplete));
    names.insert(name);
  }
  EXPECT_EQ(6u, names.size());
  EXPECT_FALSE(OutcomeFromName("done"));
}

TEST(ReceiverRecord, LineBreakInATargetCannotForgeASecondLine) {
  RecordEntry entry;
  entry.number = 1;
  entry.target = "/ok\n0002 complete status=200";
  const std::string line = FormatRecordLine(entry);
  EXPECT_EQ(line.size() - 1, line.find('\n'));
  const auto back = ParseRecordLine(line);
  ASSERT_TRUE(back);
  EXPECT_EQ(1u, back->number);
}

TEST(ReceiverRecord, DamagedLinesAreNotTakenForRecords) {
  const char* const bad[] = {
      "",
      "0001",
      "0000 complete status=200 declared=1 received=1 stored=1 fnv1a=- target=/ok",
      "0001 finished status=200 declared=1 received=1 stored=1 fnv1a=- target=/ok",
      "0001 complete status=200 declared=1 received=1 stored=1 fnv1a=- /ok",
      "0001 complete status=200 declared=1 received=x stored=1 fnv1a=- target=/ok",
      "0001 complete status=200 declared=1 received=1 stored=1 fnv1a=12 target=/ok",
      "0001 complete status=200 received=1 stored=1 fnv1a=- target=/ok",
      "0001 complete status=2000 declared=1 received=1 stored=1 fnv1a=- target=/ok",
  };
  for (const char* line : bad) EXPECT_FALSE(ParseRecordLine(line)) << line;
}

TEST(ReceiverHash, MatchesThePublishedFnv1a64Values) {
  EXPECT_EQ(0xcbf29ce484222325u, Fnv1a(""));
  EXPECT_EQ(0xaf63dc4c8601ec8cu, Fnv1a("a"));
  EXPECT_EQ(0x85944171f73967e8u, Fnv1a("foobar"));
}

TEST(ReceiverHash, PiecewiseEqualsWhole) {
  const std::string text = "--boundary\r\nContent-Disposition: form-data\r\n\r\nbytes\r\n";
  Fnv1a64 pieces;
  for (std::size_t i = 0; i < text.size(); i += 7)
    pieces.Update(text.data() + i, std::min<std::size_t>(7, text.size() - i));
  EXPECT_EQ(Fnv1a(text), pieces.value());
}

TEST(ReceiverReplyText, IsPrintableLinesEachStartingWithItsOffset) {
  const std::string text = ReplyText(150000);
  ASSERT_EQ(150000u, text.size());
  for (char c : text) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << int(c);
  EXPECT_EQ("0000000000 ", text.substr(0, 11));
  EXPECT_EQ("0000000064 ", text.substr(64, 11));
  EXPECT_EQ("0000149952 ", text.substr(149952, 11));
  EXPECT_EQ('\n', text[63]);
  EXPECT_EQ('\n', text[127]);
  EXPECT_NE(text.substr(11, 52), text.substr(75, 52));  // neighbouring lines differ
}

TEST(ReceiverReplyText, AnyStretchCanBeMadeOnItsOwn) {
  const std::string whole = ReplyText(10000);
  char piece[777];
  for (std::uint64_t offset : {0u, 1u, 63u, 64u, 5000u, 9223u}) {
    FillReplyText(offset, piece, sizeof piece);
    EXPECT_EQ(whole.substr(offset, sizeof piece), std::string(piece, sizeof piece)) << offset;
  }
  EXPECT_EQ("", ReplyText(0));
}

TEST(ReceiverResponse, HeadDeclaresStatusLengthAndClose) {
  const std::string head = ResponseHead(500, 150000);
  EXPECT_EQ(0u, head.find("HTTP/1.1 500 Internal Server Error\r\n"));
  EXPECT_NE(std::string::npos, head.find("\r\nContent-Length: 150000\r\n"));
  EXPECT_NE(std::string::npos, head.find("\r\nConnection: close\r\n"));
  EXPECT_EQ(head.size() - 4, head.find("\r\n\r\n"));
  EXPECT_EQ(0u, ResponseHead(299, 0).find("HTTP/1.1 299 Status 299\r\n"));
}

}  // namespace
}  // namespace receiver
