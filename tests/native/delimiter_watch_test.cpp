// The watch for the body's delimiter in a part's content, fed as the send
// loop feeds it: after the part header, in pieces cut anywhere.
#include "upload/portable/delimiter_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brimlet::testing {
namespace {

const std::string kDelimiter = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY";
const std::string kHeaderEnd = "Content-Type: text/plain\r\n\r\n";

// Feeds `content` after the header in pieces of the given sizes (the rest
// in one last piece); the index of the piece the watch first stopped at, or
// -1 when it never did.
int StoppedAt(const std::string& content, const std::vector<std::size_t>& cuts) {
  DelimiterWatch watch;
  watch.Start(kHeaderEnd);
  std::size_t at = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t size = i < cuts.size() ? cuts[i] : content.size() - at;
    if (watch.Found(content.data() + at, size)) return static_cast<int>(i);
    at += size;
  }
  return -1;
}

TEST(DelimiterWatchTest, FindsTheDelimiterWhereverThePiecesCutIt) {
  const std::string mail = "From: a\r\n\r\nbody" + kDelimiter + "\r\nContent-Disposition: form-data; name=\"x\"\r\n";
  const std::size_t start = mail.find(kDelimiter);
  const struct {
    const char* name;
    std::string content;
    std::vector<std::size_t> cuts;
    int stoppedAt;
  } cases[] = {
      {"whole in one piece", mail, {}, 0},
      {"cut after its CR", mail, {start + 1}, 1},
      {"cut before its last byte", mail, {start + kDelimiter.size() - 1}, 1},
      {"cut after its last byte", mail, {start + kDelimiter.size()}, 0},
      {"in one-byte pieces", mail, std::vector<std::size_t>(mail.size() - 1, 1),
       static_cast<int>(start + kDelimiter.size() - 1)},
      {"over three pieces", mail, {start + 2, 10, 30}, 2},
      {"at the content's start, completed by the header's CR LF", "----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n", {}, 0},
      {"at the start, one byte a piece", "----MULTI-PARTS-FORM-DATA-BOUNDARY", std::vector<std::size_t>(33, 1), 33},
      {"its CR LF the content's own", "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY", {}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.stoppedAt, StoppedAt(c.content, c.cuts)) << c.name;
}

// Within a piece the watch looks closer only where the delimiter could
// stand: it must still find it at every offset, among bytes of its own.
TEST(DelimiterWatchTest, FindsTheDelimiterAtEveryOffsetOfAPiece) {
  for (const char filler : {'z', '-', 'A', '\r'}) {
    for (std::size_t at = 0; at + kDelimiter.size() <= 120; ++at) {
      std::string piece(120, filler);
      piece.replace(at, kDelimiter.size(), kDelimiter);
      EXPECT_EQ(0, StoppedAt(piece, {})) << "at " << at << " among '" << filler << "'";
    }
  }
}

TEST(DelimiterWatchTest, NearMissesAndPartialDelimitersPass) {
  const std::string hyphens = "----MULTI-PARTS-FORM-DATA-BOUNDARY";
  const struct {
    const char* name;
    std::string content;
    std::vector<std::size_t> cuts;
  } cases[] = {
      {"boundary after a bare LF", "a\n" + hyphens, {}},
      {"boundary after a bare CR", "a\r" + hyphens, {}},
      {"boundary with two hyphens only", "a\r\n--MULTI-PARTS-FORM-DATA-BOUNDARY", {}},
      {"one letter in another case", "a\r\n----multi-PARTS-FORM-DATA-BOUNDARY", {}},
      {"last letter missing", "a\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR!", {3}},
      {"the boundary mid-line", "x" + hyphens + "\r\n", {}},
      {"ending in all but its last byte", "a\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR", {}},
      {"ending in all but its last byte, cut", "a\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR", {2, 2}},
      {"ending in its CR LF", "tail\r\n", {}},
      {"empty", "", {}},
      {"a CR and LF apart over pieces", "a\r" + std::string("x\n") + hyphens, {2}},
  };
  for (const auto& c : cases) EXPECT_EQ(-1, StoppedAt(c.content, c.cuts)) << c.name;
}

// A new part starts clean: the bytes of the part before it are not the bytes
// before its content.
TEST(DelimiterWatchTest, EachPartIsWatchedAfterItsOwnHeader) {
  DelimiterWatch watch;
  watch.Start(kHeaderEnd);
  const std::string first = "ends in\r\n----MULTI-PARTS";
  ASSERT_FALSE(watch.Found(first.data(), first.size()));
  watch.Start("filename=\"x\"\r\nContent-Type: a/b\r\n\r\n");
  const std::string second = "-FORM-DATA-BOUNDARY";
  EXPECT_FALSE(watch.Found(second.data(), second.size()));
}

TEST(DelimiterWatchTest, TextAfterAHeaderHoldsItWhenItStartsWithTheHyphens) {
  EXPECT_TRUE(HoldsDelimiter("\r\n\r\n", "----MULTI-PARTS-FORM-DATA-BOUNDARY"));
  EXPECT_FALSE(HoldsDelimiter("\r\n\r\n", " ----MULTI-PARTS-FORM-DATA-BOUNDARY"));
  EXPECT_FALSE(HoldsDelimiter("\r\n\r\n", "----MULTI-PARTS-FORM-DATA-BOUNDAR"));
}

}  // namespace
}  // namespace brimlet::testing
