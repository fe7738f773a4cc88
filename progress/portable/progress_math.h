// The dialog's layout arithmetic: where a bar stands and how the status bar
// is split. The transfer's own arithmetic (percentages, rate, time left) is
// the send loop's, in upload/portable/transfer_math.h.
#pragma once

#include <array>
#include <optional>

namespace brimlet {

// Where a bar with the range [rangeMin, rangeMax] stands for a percentage:
// scaled to 0..100 and kept there. No position for an empty range.
std::optional<int> BarPosition(int percent, int rangeMin, int rangeMax);

// Right edges of the three status-bar panes for a client width; the last
// one lies past the edge so that pane runs to it.
std::array<int, 3> StatusPaneRightEdges(int clientWidth);

}  // namespace brimlet
