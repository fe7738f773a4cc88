// The binary form of a control's persisted properties: what is written reads
// back, and a truncated or forged record is refused rather than trusted.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/portable/persisted_record.h"

namespace {

fw::RecordWriter SampleRecord() {
  fw::RecordWriter writer;
  writer.U32(0x00010000);
  writer.I32(-5);
  writer.Text("http://127.0.0.1/upload");
  writer.Text("");
  writer.Text("모든 파일|*.*|");  // CP949 bytes, stored as they are
  writer.U32(1);
  return writer;
}

TEST(PersistedRecord, ValuesReadBackInTheOrderWritten) {
  fw::RecordReader reader(SampleRecord().payload());
  std::uint32_t version = 0, flag = 0;
  std::int32_t number = 0;
  std::string url, empty = "unchanged", filter;
  ASSERT_TRUE(reader.U32(version));
  ASSERT_TRUE(reader.I32(number));
  ASSERT_TRUE(reader.Text(url));
  ASSERT_TRUE(reader.Text(empty));
  ASSERT_TRUE(reader.Text(filter));
  ASSERT_TRUE(reader.U32(flag));
  EXPECT_EQ(0x00010000u, version);
  EXPECT_EQ(-5, number);
  EXPECT_EQ("http://127.0.0.1/upload", url);
  EXPECT_EQ("", empty);
  EXPECT_EQ("모든 파일|*.*|", filter);
  EXPECT_EQ(1u, flag);
  EXPECT_EQ(0u, reader.remaining());
}

TEST(PersistedRecord, FramedFormStartsWithThePayloadLengthLittleEndian) {
  const fw::RecordWriter writer = SampleRecord();
  const std::vector<std::uint8_t> framed = writer.Framed();
  ASSERT_EQ(writer.payload().size() + 4, framed.size());
  EXPECT_EQ(writer.payload().size(), fw::DecodeLength(framed.data()));
  EXPECT_TRUE(std::equal(writer.payload().begin(), writer.payload().end(), framed.begin() + 4));
}

TEST(PersistedRecord, EveryTruncationIsReportedAndLeavesTheValueAlone) {
  const std::vector<std::uint8_t> full = SampleRecord().payload();
  for (size_t cut = 0; cut < full.size(); ++cut) {
    fw::RecordReader reader(std::vector<std::uint8_t>(full.begin(), full.begin() + cut));
    std::uint32_t version = 0, flag = 7;
    std::int32_t number = 0;
    std::string url, empty, filter;
    const bool complete = reader.U32(version) && reader.I32(number) && reader.Text(url) &&
                          reader.Text(empty) && reader.Text(filter) && reader.U32(flag);
    EXPECT_FALSE(complete) << "cut at " << cut;
  }
}

TEST(PersistedRecord, ForgedTextLengthIsRefusedWithoutReadingPastTheEnd) {
  fw::RecordWriter writer;
  writer.U32(0xFFFFFFF0u);  // claims almost 4 GiB of text
  writer.U32(0x41414141u);
  fw::RecordReader reader(writer.payload());
  std::string text = "kept";
  EXPECT_FALSE(reader.Text(text));
  EXPECT_EQ("kept", text);
  // The failed read consumed nothing: the bytes are still there to read.
  std::uint32_t first = 0;
  EXPECT_TRUE(reader.U32(first));
  EXPECT_EQ(0xFFFFFFF0u, first);
}

TEST(PersistedRecord, LongTextsSurviveWhole) {
  const std::string megabyte(1024 * 1024, 'x');
  fw::RecordWriter writer;
  writer.Text(megabyte);
  fw::RecordReader reader(writer.payload());
  std::string back;
  ASSERT_TRUE(reader.Text(back));
  EXPECT_EQ(megabyte, back);
}

}  // namespace
