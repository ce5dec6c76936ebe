#include "Attribute.h"

namespace Tessaline {

namespace {
void appendColor(std::string& out, Attribute::Color c, bool background) {
    switch (c.kind()) {
    case Attribute::Color::Kind::trueColor:
        out += background ? ";48;2;" : ";38;2;";
        out += std::to_string(c.red()) + ";" + std::to_string(c.green()) + ";" + std::to_string(c.blue());
        break;
    case Attribute::Color::Kind::ansi256: {
        int code = c.code();
        if (code < 8)
            out += (background ? ";4" : ";3") + std::to_string(code);
        else if (code < 16)
            out += (background ? ";10" : ";9") + std::to_string(code - 8);
        else
            out += (background ? ";48;5;" : ";38;5;") + std::to_string(code);
        break;
    }
    case Attribute::Color::Kind::defaultColor:
    case Attribute::Color::Kind::defaultInvertedColor:
        break;
    }
}
} // namespace

std::string Attribute::toSgr() const {
    std::string out = "0";
    if (style.contains(CharacterStyle::bold)) out += ";1";
    if (style.contains(CharacterStyle::underline)) out += ";4";
    if (style.contains(CharacterStyle::blink)) out += ";5";
    if (style.contains(CharacterStyle::inverse)) out += ";7";
    if (style.contains(CharacterStyle::invisible)) out += ";8";
    appendColor(out, fg, false);
    appendColor(out, bg, true);
    out += "m";
    return out;
}

size_t Attribute::hash() const {
    // Case number first, then the values, field by field in declaration order.
    size_t h = 0;
    auto mix = [&h](uint64_t v) {
        h ^= std::hash<uint64_t>()(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    };
    mix(fg.raw());
    mix(bg.raw());
    mix(style.rawValue);
    mix(static_cast<uint8_t>(underlineStyle));
    mix(underlineColor ? (uint64_t(1) << 32) | underlineColor->raw() : 0);
    return h;
}

} // namespace Tessaline
