#pragma once

#include "Attribute.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Tessaline {

// The underline colours of one terminal's cells. A cell keeps a 12-bit index into it (0: none); the
// table belongs to the terminal, so terminals in one process neither share nor exhaust each other's.
// Once full, a new colour takes one held near it, found in constant time: a program that sets thousands
// of distinct underline colours gets approximations, never a failure or a stall.
class UnderlineColorTable {
public:
    // Number of distinct colours held (index 0 is "none").
    static constexpr int capacity = 4095;

    // The index of the colour, added when new; 1 ... capacity.
    uint16_t indexOf(Attribute::Color color);
    // The colour of an index that indexOf handed out.
    Attribute::Color colorAt(uint16_t index) const { return _colors[index - 1]; }
    size_t size() const { return _colors.size(); }

private:
    uint16_t nearest(Attribute::Color color) const;
    void noteNearby(Attribute::Color color, uint16_t index);

    std::vector<Attribute::Color> _colors;
    std::unordered_map<uint32_t, uint16_t> _index;
    // Where to look for a colour near one the full table lacks, in constant time: for true colours, the
    // first colour held in each cube of a grid of 16, 8, 4, 2 and 1 steps a side (finest first); for
    // palette colours, the colour held for each code. 0: none.
    static constexpr int gridLevels = 5;
    std::vector<uint16_t> _cubes[gridLevels];
    std::vector<uint16_t> _palette;
};

} // namespace Tessaline
