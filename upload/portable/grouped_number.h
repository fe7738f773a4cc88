// Decimal numbers with a comma before every group of three digits, as the
// progress dialog shows byte counts ("1,234,567"). Independent of the locale
// on purpose: the dialog's texts read the same on every system.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

std::string FormatGroupedNumber(std::uint64_t value);

}  // namespace brimlet
