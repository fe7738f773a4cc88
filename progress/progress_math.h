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

// Lets a dialog redraw at most once per interval while a transfer feeds it
// after every piece; a forced redraw (the end of a file) always passes and
// starts a new interval.
class RedrawGate {
 public:
  explicit RedrawGate(std::uint32_t intervalMs = 50) : intervalMs_(intervalMs) {}
  bool Due(std::uint32_t now, bool force);

 private:
  std::uint32_t intervalMs_;
  std::uint32_t last_ = 0;
  bool started_ = false;
};

// When the dialog redraws as a file's percentage comes in after every
// piece: at most once per interval, and always at the end of a file that
// was drawn unfinished, so a bar the user watched always reaches 100.
// A file that starts and ends within one interval was never on screen, and
// forcing its end would cost a redraw per file: under Wine every redraw is
// several milliseconds of painting, longer than sending a small file.
class RedrawSchedule {
 public:
  explicit RedrawSchedule(std::uint32_t intervalMs = 50) : gate_(intervalMs) {}
  // Whether to redraw for `percent` of the current file at `now`.
  bool Due(std::uint32_t now, int percent);

 private:
  RedrawGate gate_;
  bool drawnUnfinished_ = false;
};

}  // namespace brimlet
