#pragma once

#include <cstdint>

namespace Tessaline {

// Bytes an image may cost, whatever its sides: a few kilobytes of Sixel repeats or Kitty headers can ask
// for a 10,000-pixel square, 400 MB decoded.
namespace ImageBudget {

// One decoded image, 4 bytes a pixel: 8,192 x 4,096, or a 5,792-pixel square.
inline constexpr int64_t maxImageBytes = int64_t(128) << 20;
// The decoded data of a terminal's unfinished Kitty transmission.
inline constexpr int64_t maxPendingBytes = int64_t(128) << 20;

// Whether a width x height RGBA image fits maxImageBytes.
constexpr bool fits(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && (height == 0 || width <= maxImageBytes / 4 / height);
}

} // namespace ImageBudget

} // namespace Tessaline
