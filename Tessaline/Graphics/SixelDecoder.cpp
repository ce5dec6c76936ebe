#include "SixelDecoder.h"

#include "ImageBudget.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace Tessaline {

namespace {

// A byte "?" to "~" carries six vertical pixels in its low six bits once 63 is taken off; anything else
// then lands at 64 or above.
constexpr uint8_t sixelBits(uint8_t byte) {
    return uint8_t(byte - 63);
}
constexpr bool isSixel(uint8_t bits) {
    return bits < 64;
}
constexpr bool isDigit(uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

// Reads the digits at i; a number too large for 64 bits stays at the largest value.
int64_t readNumber(const uint8_t* bytes, size_t length, size_t& i) {
    constexpr int64_t largest = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (; i < length && isDigit(bytes[i]); ++i) {
        const int digit = bytes[i] - '0';
        value = value > (largest - digit) / 10 ? largest : value * 10 + digit;
    }
    return value;
}

// The numbers after a "#": only the first five mean anything, the rest are read and dropped.
struct Introducer {
    int64_t values[5] = {};
    size_t count = 0;
};

// i is at the "#"; leaves i after the list. False when no number follows.
bool readIntroducer(const uint8_t* bytes, size_t length, size_t& i, Introducer& out) {
    ++i;
    if (i < length && bytes[i] == ';') ++i;
    while (i < length && isDigit(bytes[i])) {
        const int64_t value = readNumber(bytes, length, i);
        if (out.count < std::size(out.values)) out.values[out.count] = value;
        ++out.count;
        if (i < length && bytes[i] == ';')
            ++i;
        else
            break;
    }
    return out.count > 0;
}

// A palette entry (R in the top byte, alpha in the low one) as the four bytes of a pixel, in memory order.
uint32_t pixelOf(uint32_t entry) {
    const uint8_t bytes[4] = {uint8_t(entry >> 24), uint8_t(entry >> 16), uint8_t(entry >> 8),
                              uint8_t(entry)};
    uint32_t pixel;
    std::memcpy(&pixel, bytes, 4);
    return pixel;
}

inline void storePixel(uint8_t* at, uint32_t pixel) {
    std::memcpy(at, &pixel, 4);
}

} // namespace

uint8_t SixelDecoder::pctToByte(int64_t percent) {
    return uint8_t(std::clamp<int64_t>(percent, 0, 100) * 255 / 100);
}

uint32_t SixelDecoder::sixelRgb(int64_t red, int64_t green, int64_t blue) {
    return uint32_t(pctToByte(red)) << 24 | uint32_t(pctToByte(green)) << 16 |
           uint32_t(pctToByte(blue)) << 8 | 0xFF;
}

uint32_t SixelDecoder::sixelXrgb(int64_t red, int64_t green, int64_t blue) {
    return uint32_t(pctToByte(red)) << 16 | uint32_t(pctToByte(green)) << 8 | uint32_t(pctToByte(blue));
}

uint32_t SixelDecoder::hls_to_rgb(int64_t hue, int64_t lum, int64_t sat) {
    if (sat == 0) return sixelXrgb(lum, lum, lum);
    // The Sixel hue circle puts blue at 0 degrees; the usual one puts it at 240.
    const int64_t h = (hue + 240) % 360;
    const double hf = double(h);
    const double l = double(lum);
    const double c = (1.0 - std::fabs(2.0 * l / 100.0 - 1.0)) * double(sat) * 0.5;
    const double max = l + c;
    const double min = l - c;
    const double d = max - min;
    double r = 0, g = 0, b = 0;
    switch (h / 60) {
    case 0:
        r = max, g = min + (hf / 60.0) * d, b = min;
        break;
    case 1:
        r = min + ((120.0 - hf) / 60.0) * d, g = max, b = min;
        break;
    case 2:
        r = min, g = max, b = min + ((hf - 120.0) / 60.0) * d;
        break;
    case 3:
        r = min, g = min + ((240.0 - hf) / 60.0) * d, b = max;
        break;
    case 4:
        r = min + ((hf - 240.0) / 60.0) * d, g = min, b = max;
        break;
    default:
        r = max, g = min, b = min + ((360.0 - hf) / 60.0) * d;
        break;
    }
    // Truncated toward zero before sixelXrgb clamps each to 0..100.
    return sixelXrgb(int64_t(r), int64_t(g), int64_t(b));
}

void SixelDecoder::updatePaletteEntry(std::span<const int64_t> values) {
    if (values.size() < 5) return;
    const int64_t reg = values[0];
    uint32_t entry;
    switch (values[1]) {
    case 1:
        entry = hls_to_rgb(std::clamp<int64_t>(values[2], 0, 360), std::clamp<int64_t>(values[3], 0, 100),
                           std::clamp<int64_t>(values[4], 0, 100))
                    << 8 |
                0xFF;
        break;
    case 2:
        entry = sixelRgb(values[2], values[3], values[4]);
        break;
    default:
        return;
    }
    const auto found = _palette.find(reg);
    if (found != _palette.end())
        found->second = entry;
    else if (_palette.size() < maxPaletteEntries)
        _palette.emplace(reg, entry);
}

uint32_t SixelDecoder::colorOf(int64_t reg, std::span<const Color> defaultColors) const {
    if (const auto found = _palette.find(reg); found != _palette.end()) return found->second;
    if (reg >= 0 && uint64_t(reg) < defaultColors.size()) {
        const Color& color = defaultColors[size_t(reg)];
        return uint32_t(color.red >> 8) << 24 | uint32_t(color.green >> 8) << 16 |
               uint32_t(color.blue >> 8) << 8 | 0xFF;
    }
    return 0;
}

SixelDecoder::Result SixelDecoder::decode(std::span<const uint8_t> data,
                                          std::span<const Color> defaultColors) {
    _palette.clear();
    _pixels = {};
    _x = _y = _maxX = _maxY = 0;
    if (data.size() > maxDataLength) return Result::dataTooLong;
    // Raster attributes and any sixels before the first colour introducer are not part of the picture.
    const auto pound = std::find(data.begin(), data.end(), poundChar);
    if (pound == data.end()) return Result::decoded;
    const size_t start = size_t(pound - data.begin());

    if (const Result sized = walk<false>(data, start, defaultColors); sized != Result::decoded) {
        _x = _y = _maxX = _maxY = 0;
        return sized;
    }
    if (!ImageBudget::fits(_maxX, _maxY)) {
        _x = _y = _maxX = _maxY = 0;
        return Result::imageOverBudget;
    }
    _pixels = std::vector<uint8_t>(size_t(_maxX) * size_t(_maxY) * 4);
    _x = _y = 0;
    return walk<true>(data, start, defaultColors);
}

template<bool Draw>
SixelDecoder::Result SixelDecoder::walk(std::span<const uint8_t> data, size_t start,
                                        std::span<const Color> defaultColors) {
    const uint8_t* bytes = data.data();
    const size_t length = data.size();
    size_t i = start;
    // A repeat count waits for the next sixel, across "$" and "-".
    int64_t count = 1;

    // Drawing state: the selected colour and the six rows of the current band. Rows below the bitmap
    // are masked off, so a write never leaves it.
    uint32_t pixel = 0;
    uint8_t* rows[6] = {};
    uint8_t rowMask = 0;
    const auto enterBand = [&] {
        rowMask = 0;
        for (int k = 0; k < 6; ++k) {
            const bool inside = _y + k < _maxY;
            rows[k] = inside ? _pixels.data() + size_t(_y + k) * size_t(_maxX) * 4 : nullptr;
            rowMask |= uint8_t(inside) << k;
        }
    };
    if constexpr (Draw) enterBand();

    while (i < length) {
        const uint8_t byte = bytes[i];
        if (const uint8_t bits = sixelBits(byte); isSixel(bits)) {
            // The sixel that takes the pending count, then the rest of the run one column each.
            size_t end = i + 1;
            while (end < length && isSixel(sixelBits(bytes[end])))
                ++end;
            if constexpr (Draw) {
                // The sizing pass made the bitmap wide enough for every column; clipping to it anyway
                // keeps each write inside whatever the counts say.
                const int64_t width = std::clamp<int64_t>(count, 0, _maxX - _x);
                for (uint8_t m = bits & rowMask; m && width; m &= uint8_t(m - 1)) {
                    uint8_t* at = rows[std::countr_zero(m)] + size_t(_x) * 4;
                    for (int64_t c = 0; c < width; ++c)
                        storePixel(at + c * 4, pixel);
                }
                _x += width;
                const size_t run = std::min(end - i - 1, size_t(_maxX - _x));
                for (size_t j = 0; j < run; ++j) {
                    const size_t column = size_t(_x) + j;
                    for (uint8_t m = sixelBits(bytes[i + 1 + j]) & rowMask; m; m &= uint8_t(m - 1))
                        storePixel(rows[std::countr_zero(m)] + column * 4, pixel);
                }
                _x += int64_t(run);
            } else {
                uint8_t seen = bits;
                for (size_t j = i + 1; j < end; ++j)
                    seen |= sixelBits(bytes[j]);
                if (seen) {
                    _maxY = std::max(_maxY, _y + int64_t(std::bit_width(seen)));
                    if (_maxY > maxImageSide) return Result::imageTooLarge;
                }
                // Checked before adding so that a count near the 64-bit limit cannot overflow.
                if (count > maxImageSide - _x || int64_t(end - i - 1) > maxImageSide - _x - count)
                    return Result::imageTooLarge;
                _x += count + int64_t(end - i - 1);
            }
            count = 1;
            i = end;
            continue;
        }
        switch (byte) {
        case poundChar: {
            Introducer introducer;
            if (!readIntroducer(bytes, length, i, introducer)) {
                // A "#" without a number ends the picture.
                i = length;
                break;
            }
            count = 1;
            if constexpr (Draw) {
                if (introducer.count >= 5) updatePaletteEntry(introducer.values);
                pixel = pixelOf(colorOf(introducer.values[0], defaultColors));
            }
            break;
        }
        case '!':
            ++i;
            if (i < length && isDigit(bytes[i])) count = readNumber(bytes, length, i);
            break;
        case '$':
            if constexpr (!Draw) _maxX = std::max(_maxX, _x);
            _x = 0;
            ++i;
            break;
        case '-':
            if constexpr (!Draw) _maxX = std::max(_maxX, _x);
            _x = 0;
            _y += 6;
            if constexpr (Draw) enterBand();
            ++i;
            break;
        default:
            ++i;
            break;
        }
    }
    if constexpr (!Draw) _maxX = std::max(_maxX, _x);
    return Result::decoded;
}

} // namespace Tessaline
