// Grouping is done on the decimal text so it holds for any 64-bit value.
#include "upload/portable/grouped_number.h"

namespace brimlet {

std::string GroupThousands(const std::string& digits, const std::string& separator) {
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 * separator.size());
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

std::string FormatGroupedNumber(std::uint64_t value) { return GroupThousands(std::to_string(value), ","); }

}  // namespace brimlet
