#include "UnderlineColorTable.h"

namespace Tessaline {

namespace {

// The cube of a grid with 2^bits steps a side that holds the colour.
size_t cubeOf(Attribute::Color color, int bits) {
    const int shift = 8 - bits;
    return (size_t(color.red() >> shift) << (2 * bits)) | (size_t(color.green() >> shift) << bits) |
           size_t(color.blue() >> shift);
}

} // namespace

uint16_t UnderlineColorTable::indexOf(Attribute::Color color) {
    const auto it = _index.find(color.raw());
    if (it != _index.end()) return it->second;
    if (int(_colors.size()) < capacity) {
        _colors.push_back(color);
        const auto index = uint16_t(_colors.size());
        _index.emplace(color.raw(), index);
        noteNearby(color, index);
        return index;
    }
    return nearest(color);
}

void UnderlineColorTable::noteNearby(Attribute::Color color, uint16_t index) {
    if (color.isTrueColor()) {
        for (int level = 0; level < gridLevels; ++level) {
            const int bits = gridLevels - 1 - level;
            std::vector<uint16_t>& cubes = _cubes[level];
            if (cubes.empty()) cubes.assign(size_t(1) << (3 * bits), 0);
            uint16_t& slot = cubes[cubeOf(color, bits)];
            if (slot == 0) slot = index;
        }
    } else if (color.isAnsi256()) {
        if (_palette.empty()) _palette.assign(256, 0);
        if (_palette[color.code()] == 0) _palette[color.code()] = index;
    }
}

uint16_t UnderlineColorTable::nearest(Attribute::Color color) const {
    if (color.isTrueColor()) {
        for (int level = 0; level < gridLevels; ++level)
            if (!_cubes[level].empty())
                if (const uint16_t index = _cubes[level][cubeOf(color, gridLevels - 1 - level)]) return index;
    } else if (color.isAnsi256() && !_palette.empty()) {
        // The closest code held, either side.
        for (int step = 0; step < 256; ++step) {
            for (const int code : {int(color.code()) - step, int(color.code()) + step})
                if (code >= 0 && code < 256 && _palette[size_t(code)] != 0) return _palette[size_t(code)];
        }
    }
    // Nothing of its kind is held: any colour will do.
    return 1;
}

} // namespace Tessaline
