// The arithmetic of a transfer as the send loop reports it: percentages, and
// the rate and remaining times sampled along the way. Sizes are 64-bit;
// ticks are the system's 32-bit millisecond counter, whose differences stay
// right across a wrap.
#pragma once

#include <cstdint>

namespace brimlet {

// Whole percent of `done` out of `size`, 0 to 100. Nothing to send counts as
// all of it sent, so an empty file or an all-empty job reads 100.
int Percent(std::uint64_t done, std::uint64_t size);

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
