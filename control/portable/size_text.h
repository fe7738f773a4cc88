// Size texts of the file list: byte counts and the "(… KB)"-style totals.
// The locale's separators are passed in so these rules stay portable.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

struct NumberSeparators {
  std::string decimal = ".";
  std::string thousands = ",";
};

// A byte count with grouped thousands: 1234567 -> "1,234,567".
std::string FormatByteCount(std::uint32_t bytes, const NumberSeparators& seps);

// A positive size with 2, 1 or 0 decimals below 10, below 100 and from 100 on.
std::string FormatScaledNumber(double x, const NumberSeparators& seps);

// Kilobytes rounded up, never less than 1, grouped with ",".
std::string FormatKilobytes(std::uint64_t bytes);

// The parenthesised total shown under the list: bytes, KB or MB.
std::string FormatTotalSize(std::uint32_t totalBytes,
                            const NumberSeparators& seps);

}  // namespace brimlet
