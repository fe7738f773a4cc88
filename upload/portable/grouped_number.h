// Decimal numbers with a separator before every group of three digits. The
// progress dialog shows byte counts with commas ("1,234,567"), independent of
// the locale on purpose: the dialog's texts read the same on every system.
// The file list groups with the locale's separator, which it passes in.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

// `digits` (a plain decimal text) with `separator` before every group of
// three from the right.
std::string GroupThousands(const std::string& digits, const std::string& separator);

// `value` grouped with commas.
std::string FormatGroupedNumber(std::uint64_t value);

}  // namespace brimlet
