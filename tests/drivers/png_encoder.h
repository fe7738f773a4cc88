// PNG files from raw pixels, with no library behind them.
#pragma once

#include <cstdint>
#include <vector>

namespace host {

// A PNG file image of width x height pixels given as top-down rows of RGB
// bytes (3 * width per row, no padding). Empty when rgb is too short.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace host
