// Grouping is done on the decimal text so it holds for any 64-bit value.
#include "upload/portable/grouped_number.h"

namespace brimlet {

std::string FormatGroupedNumber(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace brimlet
