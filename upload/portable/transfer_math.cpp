// Overflow-free arithmetic for the send loop; nothing here can divide by zero.
#include "upload/portable/transfer_math.h"

#include <limits>

namespace brimlet {
namespace {

std::uint32_t ClampToUint32(double value) {
  if (!(value > 0)) return 0;  // also NaN
  constexpr double kMax = std::numeric_limits<std::uint32_t>::max();
  return value >= kMax ? std::numeric_limits<std::uint32_t>::max()
                       : static_cast<std::uint32_t>(value);
}

}  // namespace

int Percent(std::uint64_t done, std::uint64_t size) {
  if (done >= size) return 100;
  // done * 100 / size without a wider integer type (none on 32-bit
  // targets): Horner's rule over the bits of 100, keeping the remainder
  // below size so nothing overflows.
  unsigned quotient = 0;
  std::uint64_t remainder = 0;
  for (int bit = 6; bit >= 0; --bit) {
    quotient *= 2;
    if (remainder >= size - remainder) {
      ++quotient;
      remainder -= size - remainder;
    } else {
      remainder += remainder;
    }
    if ((100 >> bit) & 1) {
      if (remainder >= size - done) {
        ++quotient;
        remainder -= size - done;
      } else {
        remainder += done;
      }
    }
  }
  return static_cast<int>(quotient);
}

std::uint32_t ElapsedTicks(std::uint32_t now, std::uint32_t since) {
  return static_cast<std::uint32_t>(now - since);
}

bool SampleDue(std::uint32_t now, std::uint32_t lastSample) {
  return ElapsedTicks(now, lastSample) > 1000;
}

std::uint32_t BytesPerMillisecond(std::uint64_t bytes, std::uint32_t elapsedMs) {
  if (elapsedMs == 0) return 0;
  return ClampToUint32(static_cast<double>(bytes) / elapsedMs);
}

std::uint32_t SecondsLeft(std::uint32_t elapsedMs, std::uint64_t done,
                          std::uint64_t size) {
  if (done == 0 || done >= size) return 0;
  return ClampToUint32(static_cast<double>(elapsedMs) / static_cast<double>(done) *
                       static_cast<double>(size - done) * 0.001);
}

}  // namespace brimlet
