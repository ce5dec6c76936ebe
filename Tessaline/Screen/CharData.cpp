#include "CharData.h"

#include "Utf8.h"

#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace Tessaline {

namespace {

// Interns underline colours. Index 0 means none. Once full, a new colour takes the nearest one held
// (a program that sets thousands of distinct underline colours gets approximations, never a failure).
class UnderlineColorTable {
public:
    uint16_t indexOf(Attribute::Color c) {
        auto it = _index.find(c.raw());
        if (it != _index.end()) return it->second;
        if (int(_colors.size()) < CharData::underlineColorCapacity) {
            _colors.push_back(c);
            auto idx = uint16_t(_colors.size());
            _index.emplace(c.raw(), idx);
            return idx;
        }
        return nearest(c);
    }
    Attribute::Color colorAt(uint16_t idx) const { return _colors[idx - 1]; }

private:
    uint16_t nearest(Attribute::Color c) const {
        uint16_t best = 1;
        long bestDistance = -1;
        for (size_t i = 0; i < _colors.size(); ++i) {
            const auto& o = _colors[i];
            long d;
            if (o.kind() != c.kind())
                d = 1L << 30;
            else if (c.isTrueColor())
                d = labs(long(o.red()) - c.red()) + labs(long(o.green()) - c.green()) +
                    labs(long(o.blue()) - c.blue());
            else
                d = labs(long(o.code()) - c.code());
            if (bestDistance < 0 || d < bestDistance) {
                bestDistance = d;
                best = uint16_t(i + 1);
            }
        }
        return best;
    }

    std::vector<Attribute::Color> _colors;
    std::unordered_map<uint32_t, uint16_t> _index;
};

UnderlineColorTable& underlineColors() {
    static UnderlineColorTable table;
    return table;
}

} // namespace

Attribute CharData::attribute() const {
    Attribute a(fg(), bg(), style(), underlineStyle());
    if (auto idx = underlineColorIndex()) a.underlineColor = underlineColors().colorAt(idx);
    return a;
}

void CharData::setAttribute(const Attribute& a) {
    setAttributeWithoutUnderlineColor(a);
    if (a.underlineColor) {
        uint32_t idx = underlineColors().indexOf(*a.underlineColor);
        _fg |= (idx >> 6) << 26;
        _bg |= (idx & 0x3F) << 26;
    }
}

std::string CharData::debugDescription() const {
    std::string s = "CharData: " + std::to_string(code) + " ";
    if (code >= 0 && Utf8::isScalar(uint32_t(code)))
        Utf8::append(s, uint32_t(code));
    else
        s += "?";
    return s;
}

} // namespace Tessaline
