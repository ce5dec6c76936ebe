#pragma once

#include "Color.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace Tessaline {

// Turns the body of one Sixel string into an RGBA bitmap (8 bits per channel, rows top first, pixels no
// sixel sets left transparent). Two linear passes over the bytes: the first sizes the bitmap, which is
// then allocated once, the second draws into it. The body is untrusted, so its length, the bitmap's
// sides and its bytes are capped; past a cap nothing is allocated and nothing is drawn.
class SixelDecoder {
public:
    enum class Result : uint8_t {
        decoded,
        // The body is longer than maxDataLength.
        dataTooLong,
        // The bitmap would be wider or taller than maxImageSide.
        imageTooLarge,
        // The bitmap would cost more than ImageBudget::maxImageBytes.
        imageOverBudget,
    };

    static constexpr uint8_t poundChar = '#';
    // Enough for any picture a screen shows; a few repeat counts could otherwise ask for gigabytes.
    static constexpr int64_t maxImageSide = 10'000;
    // A 10,000-pixel-square picture in a handful of colours fits; a stream that never ends does not.
    static constexpr size_t maxDataLength = size_t(64) << 20;
    // Distinct colour registers one picture may define. Any number names a register, so without a bound
    // the register table could grow with the body.
    static constexpr size_t maxPaletteEntries = 65'536;

    // Decodes the body with a fresh palette. Registers the body does not define take their colour from
    // defaultColors (the terminal's generated 256-colour table) when the table reaches that far, else
    // transparent black. Past a cap the bitmap stays empty and its size 0 x 0.
    Result decode(std::span<const uint8_t> data, std::span<const Color> defaultColors);

    // Defined registers, each packed as R in the top byte, then G, B and alpha (255) in the low byte.
    const std::unordered_map<int64_t, uint32_t>& palette() const { return _palette; }
    // maxX() x maxY() x 4 bytes after a decode; handed on for update in place.
    std::vector<uint8_t>& pixels() { return _pixels; }
    const std::vector<uint8_t>& pixels() const { return _pixels; }
    int64_t x() const { return _x; }
    int64_t y() const { return _y; }
    int64_t maxX() const { return _maxX; }
    int64_t maxY() const { return _maxY; }

    // A percentage 0 to 100 as a byte, rounded down.
    static uint8_t pctToByte(int64_t percent);
    // Applies a register definition: the numbers after "#" (register, colour model, three components).
    // Fewer than five numbers, or a model other than 1 (HLS) or 2 (RGB), change nothing.
    void updatePaletteEntry(std::span<const int64_t> values);
    // Percentages (clamped to 0 to 100) packed as a palette entry: R, G, B from the top byte, alpha 255.
    static uint32_t sixelRgb(int64_t red, int64_t green, int64_t blue);
    // Percentages (clamped to 0 to 100) packed as 0x00RRGGBB.
    static uint32_t sixelXrgb(int64_t red, int64_t green, int64_t blue);
    // Hue in degrees with 0 at blue, lightness and saturation in percent; the result is 0x00RRGGBB.
    static uint32_t hls_to_rgb(int64_t hue, int64_t lum,
                               int64_t sat); // NOLINT(readability-identifier-naming)

private:
    // One walk over the body from its first "#"; Draw false sizes the bitmap, true draws into it. Both
    // passes share it so that they read the same grammar.
    template<bool Draw>
    Result walk(std::span<const uint8_t> data, size_t start, std::span<const Color> defaultColors);
    uint32_t colorOf(int64_t reg, std::span<const Color> defaultColors) const;

    std::unordered_map<int64_t, uint32_t> _palette;
    std::vector<uint8_t> _pixels;
    int64_t _x = 0;
    int64_t _y = 0;
    int64_t _maxX = 0;
    int64_t _maxY = 0;
};

} // namespace Tessaline
