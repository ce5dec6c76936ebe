#include "UnderlineColorTable.h"

#include <cstdlib>

namespace Tessaline {

uint16_t UnderlineColorTable::indexOf(Attribute::Color color) {
    const auto it = _index.find(color.raw());
    if (it != _index.end()) return it->second;
    if (int(_colors.size()) < capacity) {
        _colors.push_back(color);
        const auto index = uint16_t(_colors.size());
        _index.emplace(color.raw(), index);
        return index;
    }
    return nearest(color);
}

uint16_t UnderlineColorTable::nearest(Attribute::Color color) const {
    uint16_t best = 1;
    long bestDistance = -1;
    for (size_t i = 0; i < _colors.size(); ++i) {
        const Attribute::Color& held = _colors[i];
        long distance;
        if (held.kind() != color.kind())
            distance = 1L << 30;
        else if (color.isTrueColor())
            distance = labs(long(held.red()) - color.red()) + labs(long(held.green()) - color.green()) +
                       labs(long(held.blue()) - color.blue());
        else
            distance = labs(long(held.code()) - color.code());
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = uint16_t(i + 1);
        }
    }
    return best;
}

} // namespace Tessaline
