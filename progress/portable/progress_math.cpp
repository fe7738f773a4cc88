// The dialog's layout arithmetic; nothing here can divide by zero.
#include "progress/portable/progress_math.h"

#include <algorithm>

namespace brimlet {

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

}  // namespace brimlet
