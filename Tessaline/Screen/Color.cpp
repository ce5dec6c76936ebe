#include "Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Tessaline {

namespace {

int hexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A channel from a value written with `digits` hexadecimal digits, widened as X11 widens it.
uint16_t scaleChannel(uint32_t value, int digits) {
    switch (digits) {
    case 1:
        return uint16_t(value * 0x1010);
    case 2:
        return uint16_t(value * 257);
    case 3:
        return uint16_t((value << 4) | (value >> 4));
    default:
        return uint16_t(value);
    }
}

// A colour in CIE L*a*b* against the D65 white point.
struct LabColor {
    double l;
    double a;
    double b;
};

LabColor toLab(const Color& c) {
    auto unit = [](uint16_t channel) {
        double v = std::min(std::round(double(channel) / 65535.0 * 255.0), 255.0);
        v /= 255.0;
        return v > 0.04045 ? std::pow((v + 0.055) / 1.055, 2.4) : v / 12.92;
    };
    double r = unit(c.red), g = unit(c.green), b = unit(c.blue);
    double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    double y = 0.2126729 * r + 0.7151522 * g + 0.072175 * b;
    double z = (0.0193339 * r + 0.119192 * g + 0.9503041 * b) / 1.08883;
    auto f = [](double t) { return t > 0.008856 ? std::pow(t, 1.0 / 3.0) : 7.787 * t + 16.0 / 116.0; };
    double fx = f(x), fy = f(y), fz = f(z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

Color fromLab(const LabColor& lab) {
    double fy = (lab.l + 16.0) / 116.0;
    double fx = lab.a / 500.0 + fy;
    double fz = fy - lab.b / 200.0;
    auto finv = [](double t) {
        double t3 = t * t * t;
        return t3 > 0.008856 ? t3 : (t - 16.0 / 116.0) / 7.787;
    };
    double x = finv(fx) * 0.95047, y = finv(fy), z = finv(fz) * 1.08883;
    double r = 3.2404542 * x - 1.5371385 * y - 0.4985314 * z;
    double g = -0.969266 * x + 1.8760108 * y + 0.041556 * z;
    double b = 0.0556434 * x - 0.2040259 * y + 1.0572252 * z;
    auto channel = [](double v) -> uint16_t {
        v = v > 0.0031308 ? 1.055 * std::pow(v, 1.0 / 2.4) - 0.055 : 12.92 * v;
        // NaN fails both tests and ends as 0.
        int level = v >= 1.0 ? 255 : v > 0.0 ? int(v * 255.0 + 0.5) : 0;
        return uint16_t(level * 257);
    };
    return Color(channel(r), channel(g), channel(b));
}

LabColor lerp(const LabColor& x, const LabColor& y, double t) {
    return {x.l + (y.l - x.l) * t, x.a + (y.a - x.a) * t, x.b + (y.b - x.b) * t};
}

} // namespace

std::string Color::formatAsXcolor() const {
    char text[24];
    std::snprintf(text, sizeof text, "rgb:%04x/%04x/%04x", unsigned(red), unsigned(green), unsigned(blue));
    return text;
}

size_t Color::hash() const {
    size_t h = 0;
    for (uint16_t v : {red, green, blue})
        h ^= std::hash<uint16_t>()(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

std::optional<Color> Color::parseColor(std::string_view text) {
    return parseColor(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::optional<Color> Color::parseColor(std::span<const uint8_t> text) {
    const size_t n = text.size();
    if (n >= 1 && text[0] == '#') {
        int digits;
        switch (n) {
        case 4:
            digits = 1;
            break;
        case 7:
            digits = 2;
            break;
        case 10:
            digits = 3;
            break;
        case 13:
            digits = 4;
            break;
        default:
            return std::nullopt;
        }
        // Each component stops at its first byte that is not a digit and keeps the digits before it.
        auto component = [&](int index) {
            uint32_t value = 0;
            size_t start = 1 + size_t(index * digits);
            for (int k = 0; k < digits; ++k) {
                int d = hexDigit(text[start + size_t(k)]);
                if (d < 0) break;
                value = value * 16 + uint32_t(d);
            }
            return scaleChannel(value, digits);
        };
        return Color(component(0), component(1), component(2));
    }

    static constexpr std::string_view prefix = "rgb:";
    if (n < prefix.size() || !std::equal(prefix.begin(), prefix.end(), text.begin())) return std::nullopt;
    size_t i = prefix.size();
    uint32_t values[3] = {};
    int widest = 0;
    for (uint32_t& value : values) {
        int digits = 0;
        while (i < n && digits < 4) {
            int d = hexDigit(text[i]);
            if (d < 0) break;
            value = value * 16 + uint32_t(d);
            ++digits, ++i;
        }
        // The byte that ended the field is a separator (or a fifth digit): skip it, and one "/" after it.
        if (i < n) ++i;
        if (i < n && text[i] == '/') ++i;
        widest = std::max(widest, digits);
    }
    if (widest == 0) return std::nullopt;
    return Color(scaleChannel(values[0], widest), scaleChannel(values[1], widest),
                 scaleChannel(values[2], widest));
}

std::vector<Color> Color::generateXtermPalette(std::span<const Color> initialColors) {
    static constexpr uint16_t levels[6] = {0, 95, 135, 175, 215, 255};
    std::vector<Color> palette(initialColors.begin(), initialColors.end());
    palette.reserve(initialColors.size() + 240);
    for (int i = 0; i < 216; ++i)
        palette.push_back(fromRgb8(levels[i / 36], levels[(i / 6) % 6], levels[i % 6]));
    for (int j = 0; j < 24; ++j) {
        auto grey = uint16_t(8 + 10 * j);
        palette.push_back(fromRgb8(grey, grey, grey));
    }
    return palette;
}

std::vector<Color> Color::generateBase16LabPalette(std::span<const Color> initialColors,
                                                   std::optional<Color> backgroundColor,
                                                   std::optional<Color> foregroundColor) {
    if (initialColors.size() < 8) return generateXtermPalette(initialColors);
    LabColor base[8];
    for (int k = 0; k < 8; ++k)
        base[k] = toLab(initialColors[size_t(k)]);
    const LabColor bg = backgroundColor ? toLab(*backgroundColor) : base[0];
    const LabColor fg = foregroundColor ? toLab(*foregroundColor) : base[7];

    std::vector<Color> palette(initialColors.begin(), initialColors.end());
    palette.reserve(initialColors.size() + 240);
    for (int r = 0; r < 6; ++r) {
        double tr = r / 5.0;
        LabColor c0 = lerp(bg, base[1], tr), c1 = lerp(base[2], base[3], tr);
        LabColor c2 = lerp(base[4], base[5], tr), c3 = lerp(base[6], fg, tr);
        for (int g = 0; g < 6; ++g) {
            double tg = g / 5.0;
            LabColor c4 = lerp(c0, c1, tg), c5 = lerp(c2, c3, tg);
            for (int b = 0; b < 6; ++b)
                palette.push_back(fromLab(lerp(c4, c5, b / 5.0)));
        }
    }
    for (int i = 1; i <= 24; ++i)
        palette.push_back(fromLab(lerp(bg, fg, i / 25.0)));
    return palette;
}

} // namespace Tessaline
