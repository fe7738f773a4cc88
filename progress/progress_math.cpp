#include "progress/progress_math.h"

#include <algorithm>
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
  // done * 100 must not overflow; sizes this large lose only precision that
  // a whole percentage does not show. Scaling may round done up to size, so
  // an unfinished transfer is kept below 100.
  while (size > std::numeric_limits<std::uint64_t>::max() / 100) {
    size >>= 1;
    done >>= 1;
  }
  return std::min(99, static_cast<int>(done * 100 / size));
}

std::optional<int> BarPosition(int percent, int rangeMin, int rangeMax) {
  if (rangeMax == 0 || rangeMax == rangeMin) return std::nullopt;
  const long long p = (static_cast<long long>(percent) - rangeMin) * 100 /
                      (static_cast<long long>(rangeMax) - rangeMin);
  return static_cast<int>(std::clamp<long long>(p, 0, 100));
}

std::array<int, 3> StatusPaneRightEdges(int clientWidth) {
  const int third = clientWidth / 3;
  return {third, third * 2, third * 4};
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
