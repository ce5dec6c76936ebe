#pragma once

#include "Attribute.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Tessaline {

// The underline colours of one terminal's cells. A cell keeps a 12-bit index into it (0: none); the
// table belongs to the terminal, so terminals in one process neither share nor exhaust each other's.
// Once full, a new colour takes the nearest one held: a program that sets thousands of distinct underline
// colours gets approximations, never a failure.
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

    std::vector<Attribute::Color> _colors;
    std::unordered_map<uint32_t, uint16_t> _index;
};

} // namespace Tessaline
