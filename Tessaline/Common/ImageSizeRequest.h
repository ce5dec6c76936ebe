#pragma once

#include <cstdint>

namespace Tessaline {

// The width or height a program asks for an image: a count of cells or pixels, a percentage, or nothing
// explicit (automatic; the host chooses).
class ImageSizeRequest {
public:
    enum class Kind : uint8_t {
        cells,
        pixels,
        percent,
        automatic,
    };

    constexpr ImageSizeRequest() = default;
    static constexpr ImageSizeRequest cells(int count) { return {Kind::cells, count}; }
    static constexpr ImageSizeRequest pixels(int count) { return {Kind::pixels, count}; }
    static constexpr ImageSizeRequest percent(int value) { return {Kind::percent, value}; }
    static constexpr ImageSizeRequest automatic() { return {}; }

    constexpr Kind kind() const { return _kind; }
    // The count or percentage; 0 for automatic.
    constexpr int value() const { return _value; }

    constexpr bool operator==(const ImageSizeRequest&) const = default;

private:
    constexpr ImageSizeRequest(Kind kind, int value)
        : _kind(kind)
        , _value(value) {}

    Kind _kind = Kind::automatic;
    int _value = 0;
};

} // namespace Tessaline
