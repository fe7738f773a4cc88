#include "control/portable/size_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace brimlet {
namespace {

const NumberSeparators kDotDecimal{".", ","};
const NumberSeparators kCommaDecimal{",", "."};

TEST(SizeTextTest, TotalSizeAcrossUnits) {
  const struct {
    std::uint32_t bytes;
    const char* text;
  } rows[] = {
      {0, "(0 Bytes)"},           {1, "(1 Bytes)"},
      {1023, "(1023 Bytes)"},     {1024, "(1 KB)"},
      {1025, "(2 KB)"},           {6000, "(6 KB)"},
      {1048575, "(1,024 KB)"},    {1048576, "(1.00 MB)"},
      {1572864, "(1.50 MB)"},     {5000000, "(4.76 MB)"},
      {10480000, "(9.99 MB)"},    {10485760, "(10.0 MB)"},
      {15000000, "(14.3 MB)"},    {104805172, "(100.0 MB)"},
      {150000000, "(143 MB)"},    {1073741824, "(1,024 MB)"},
      {1500000000, "(1,431 MB)"}, {4294967295u, "(4,096 MB)"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.text, FormatTotalSize(row.bytes, kDotDecimal)) << row.bytes;
}

TEST(SizeTextTest, LocaleSeparatorsApplyExceptToKilobytes) {
  EXPECT_EQ("(1.431 MB)", FormatTotalSize(1500000000, kCommaDecimal));
  EXPECT_EQ("(1,50 MB)", FormatTotalSize(1572864, kCommaDecimal));
  EXPECT_EQ("(1,024 KB)", FormatTotalSize(1048575, kCommaDecimal));
  EXPECT_EQ("1.234.567", FormatByteCount(1234567, kCommaDecimal));

  const NumberSeparators apostrophe{"<>", "’"};
  ASSERT_EQ(2u, apostrophe.thousands.size());  // one CP949 character
  EXPECT_EQ("1’234’567", FormatByteCount(1234567, apostrophe));
  EXPECT_EQ("1<>50", FormatScaledNumber(1.5, apostrophe));
}

TEST(SizeTextTest, ByteCountGroupsThousands) {
  EXPECT_EQ("0", FormatByteCount(0, kDotDecimal));
  EXPECT_EQ("999", FormatByteCount(999, kDotDecimal));
  EXPECT_EQ("1,000", FormatByteCount(1000, kDotDecimal));
  EXPECT_EQ("4,294,967,295", FormatByteCount(4294967295u, kDotDecimal));
}

TEST(SizeTextTest, ScaledNumberRounding) {
  // 14.35 is stored as 14.3499…: only rounding the printed digits gets "14.4".
  EXPECT_EQ("14.4", FormatScaledNumber(14.35, kDotDecimal));
  // The two-decimal text is rounded again, so 14.349 goes via "14.35".
  EXPECT_EQ("14.4", FormatScaledNumber(14.349, kDotDecimal));
  EXPECT_EQ("14.3", FormatScaledNumber(14.344, kDotDecimal));
  // A carry may add a digit and with it a group.
  EXPECT_EQ("1,000", FormatScaledNumber(999.5, kDotDecimal));
  EXPECT_EQ(".50", FormatScaledNumber(0.5, kDotDecimal));
  EXPECT_EQ("0", FormatScaledNumber(0, kDotDecimal));
  EXPECT_EQ("0", FormatScaledNumber(-3.5, kDotDecimal));
}

TEST(SizeTextTest, KilobytesRoundUpToAtLeastOne) {
  EXPECT_EQ("1", FormatKilobytes(0));
  EXPECT_EQ("1,000", FormatKilobytes(999 * 1024 + 1));
  EXPECT_EQ("4,194,305", FormatKilobytes((std::uint64_t{1} << 32) + 1));
}

}  // namespace
}  // namespace brimlet
