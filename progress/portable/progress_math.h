// The arithmetic behind the progress dialog: percentages, bar positions,
// status-bar panes, and the rate and remaining times sampled during a
// transfer. Sizes are 64-bit; ticks are the system's 32-bit millisecond
// counter, whose differences stay right across a wrap.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace brimlet {

// Whole percent of `done` out of `size`, 0 to 100. Nothing to send counts as
// all of it sent, so an empty file or an all-empty job reads 100.
int Percent(std::uint64_t done, std::uint64_t size);

// Where a bar with the range [rangeMin, rangeMax] stands for a percentage:
// scaled to 0..100 and kept there. No position for an empty range.
std::optional<int> BarPosition(int percent, int rangeMin, int rangeMax);

// Right edges of the three status-bar panes for a client width; the last
// one lies past the edge so that pane runs to it.
std::array<int, 3> StatusPaneRightEdges(int clientWidth);

// The rate and remaining times are sampled only after more than a second.
bool SampleDue(std::uint32_t now, std::uint32_t lastSample);

std::uint32_t ElapsedTicks(std::uint32_t now, std::uint32_t since);

// Whole bytes per millisecond over a sample.
std::uint32_t BytesPerMillisecond(std::uint64_t bytes, std::uint32_t elapsedMs);

// Whole seconds left if the rest goes as fast as `done` did in `elapsedMs`.
// 0 when nothing is left or nothing has been sent yet to judge by.
std::uint32_t SecondsLeft(std::uint32_t elapsedMs, std::uint64_t done,
                          std::uint64_t size);

}  // namespace brimlet
