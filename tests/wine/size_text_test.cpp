// The size texts must read exactly as the system's own number formatter
// would write them with the separators of the system locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "control/portable/size_text.h"
#include "control/system_number_format.h"

namespace brimlet {
namespace {

// Zero is left out: the system writes it as an empty text, the list as "0".
const std::uint32_t kByteCounts[] = {
    1,          999,        1000,       1023,      1024,      1025,
    6000,       65535,      1048575,    1048576,   1572864,   5000000,
    10480000,   10485760,   15000000,   104805172, 123456789, 150000000,
    1073741824, 1500000000, 4294967295u};

std::string SystemFormat(const std::string& number, UINT digits,
                         const NumberSeparators& seps) {
  std::vector<char> decimal(seps.decimal.begin(), seps.decimal.end());
  std::vector<char> thousands(seps.thousands.begin(), seps.thousands.end());
  decimal.push_back('\0');
  thousands.push_back('\0');
  NUMBERFMTA fmt = {};
  fmt.NumDigits = digits;
  fmt.LeadingZero = 0;
  fmt.Grouping = 3;
  fmt.lpDecimalSep = decimal.data();
  fmt.lpThousandSep = thousands.data();
  fmt.NegativeOrder = 1;
  char buffer[99] = {};
  const int written = GetNumberFormatA(LOCALE_SYSTEM_DEFAULT, 0, number.c_str(),
                                       &fmt, buffer, sizeof buffer);
  EXPECT_GT(written, 0) << "GetNumberFormatA failed on " << number
                        << ", error " << GetLastError();
  return buffer;
}

TEST(SizeTextScenario, ByteCountsMatchTheSystemFormatter) {
  const NumberSeparators seps = SystemNumberSeparators();
  for (std::uint32_t bytes : kByteCounts)
    EXPECT_EQ(SystemFormat(std::to_string(bytes), 0, seps),
              FormatByteCount(bytes, seps));
}

TEST(SizeTextScenario, MegabyteSizesMatchTheSystemFormatter) {
  const NumberSeparators seps = SystemNumberSeparators();
  for (std::uint32_t bytes : kByteCounts) {
    if (bytes < 1048576) continue;
    const double y = std::trunc(bytes / 1048576.0 * 100) * 0.01;
    const UINT digits = y < 10 ? 2 : y < 100 ? 1 : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", y);
    EXPECT_EQ(SystemFormat(text, digits, seps), FormatScaledNumber(y, seps))
        << bytes;
  }
}

}  // namespace
}  // namespace brimlet
