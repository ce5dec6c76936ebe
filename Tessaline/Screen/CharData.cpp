#include "CharData.h"

#include "Utf8.h"

namespace Tessaline {

Attribute CharData::attribute(const UnderlineColorTable& colors) const {
    Attribute a(fg(), bg(), style(), underlineStyle());
    if (auto idx = underlineColorIndex()) a.underlineColor = colors.colorAt(idx);
    return a;
}

void CharData::setAttribute(const Attribute& a, UnderlineColorTable& colors) {
    setAttributeWithoutUnderlineColor(a);
    if (a.underlineColor) {
        uint32_t idx = colors.indexOf(*a.underlineColor);
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
