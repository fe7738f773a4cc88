#include "control/portable/size_text.h"

#include <cmath>
#include <cstdio>

#include "upload/portable/grouped_number.h"

namespace brimlet {
namespace {

// Formats a plain decimal text the way the system number formatter does with
// no leading zero and groups of three, so the list reads like the rest of
// the desktop. Rounding works on the digits: a double holds 14.35 as
// 14.3499… and would round it down.
std::string FormatDecimalText(const std::string& text, std::size_t digits,
                              const NumberSeparators& seps) {
  const std::size_t point = text.find('.');
  std::string fraction =
      point == std::string::npos ? std::string() : text.substr(point + 1);
  const bool roundUp = fraction.size() > digits && fraction[digits] >= '5';
  fraction.resize(digits, '0');

  std::string all = text.substr(0, point) + fraction;
  if (roundUp) {
    std::size_t i = all.size();
    while (i > 0 && all[i - 1] == '9') all[--i] = '0';
    if (i == 0)
      all.insert(all.begin(), '1');
    else
      ++all[i - 1];
  }

  std::string whole = all.substr(0, all.size() - digits);
  whole.erase(0, whole.find_first_not_of('0'));
  std::string out = GroupThousands(whole, seps.thousands);
  if (digits > 0) out += seps.decimal + all.substr(all.size() - digits);
  return out;
}

}  // namespace

std::string FormatByteCount(std::uint32_t bytes, const NumberSeparators& seps) {
  // With no leading zero the system writes zero as an empty text.
  if (bytes == 0) return "0";
  return FormatDecimalText(std::to_string(bytes), 0, seps);
}

std::string FormatScaledNumber(double x, const NumberSeparators& seps) {
  if (!(x > 0)) return "0";
  const std::size_t digits = x < 10 ? 2 : x < 100 ? 1 : 0;
  const int size = std::snprintf(nullptr, 0, "%.2f", x);
  std::string text(size, '\0');
  std::snprintf(&text[0], text.size() + 1, "%.2f", x);
  return FormatDecimalText(text, digits, seps);
}

std::string FormatKilobytes(std::uint64_t bytes) {
  const std::uint64_t kilobytes =
      bytes <= 1024 ? 1 : (bytes >> 10) + ((bytes & 1023) != 0);
  return FormatGroupedNumber(kilobytes);
}

std::string FormatTotalSize(std::uint32_t totalBytes,
                            const NumberSeparators& seps) {
  if (totalBytes < 1024) return "(" + std::to_string(totalBytes) + " Bytes)";
  if (totalBytes < 1048576) return "(" + FormatKilobytes(totalBytes) + " KB)";
  // Cut to whole hundredths first: a size just under 10 MB must not be
  // rounded up to read as 10.
  const double megabytes = std::trunc(totalBytes / 1048576.0 * 100) * 0.01;
  return "(" + FormatScaledNumber(megabytes, seps) + " MB)";
}

}  // namespace brimlet
