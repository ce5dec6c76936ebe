#include "Settings/HexColor.h"

#include "App/Log.h"

#include <QTextBoundaryFinder>

#include <cmath>

namespace Quillaby {

namespace {

QStringView trimHashes(QStringView text) {
    while (text.startsWith(u'#'))
        text = text.mid(1);
    while (text.endsWith(u'#'))
        text.chop(1);
    return text;
}

// User-perceived characters, so a letter with a combining accent counts once.
qsizetype characterCount(QStringView text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

int hexDigit(QChar c) {
    char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

RgbColor fromBits(quint64 value) {
    return RgbColor::rgb(double((value >> 16) & 0xFF) / 255.0, double((value >> 8) & 0xFF) / 255.0,
                         double(value & 0xFF) / 255.0);
}

// The classic scanner's hexadecimal read: blanks, an optional 0x, then digits up to the first
// non-digit; at least one digit must be read.
std::optional<quint64> scanHex(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (text.size() - i >= 3 && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        hexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    quint64 value = 0;
    qsizetype digits = 0;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i, ++digits)
        value = value * 16 + quint64(hexDigit(text[i]));
    if (digits == 0) return std::nullopt;
    return value;
}

// A whole text as an unsigned base-16 number: one optional sign, then digits only.
std::optional<quint64> parseUnsignedHex(QStringView text) {
    bool negative = false;
    if (text.startsWith(u'+') || text.startsWith(u'-')) {
        negative = text.startsWith(u'-');
        text = text.mid(1);
    }
    if (text.isEmpty()) return std::nullopt;
    quint64 value = 0;
    for (QChar c : text) {
        int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + quint64(digit);
    }
    if (negative && value != 0) return std::nullopt;
    return value;
}

int byteOf(double component) {
    if (std::isnan(component)) return 0;
    double scaled = std::trunc(component * 255.0);
    if (scaled < 0) return 0;
    if (scaled > 255) return 255;
    return int(scaled);
}

} // namespace

std::optional<RgbColor> hexColor(QStringView text) {
    QStringView digits = trimHashes(text);
    if (characterCount(digits) != 6) return std::nullopt;
    std::optional<quint64> value = parseUnsignedHex(digits);
    if (!value) return std::nullopt;
    return fromBits(*value);
}

RgbColor hexColorOrMagenta(QStringView text) {
    QStringView digits = trimHashes(text);
    if (characterCount(digits) == 6) {
        if (std::optional<quint64> value = scanHex(digits)) return fromBits(*value);
    }
    Log::write(QStringLiteral("Invalid hex color '") + text.toString() +
               QStringLiteral("' — using magenta sentinel so it's visible"));
    return RgbColor::rgb(1, 0, 1);
}

QString hexString(const RgbColor& color) {
    return QStringLiteral("#%1%2%3")
        .arg(byteOf(color.red), 2, 16, QLatin1Char('0'))
        .arg(byteOf(color.green), 2, 16, QLatin1Char('0'))
        .arg(byteOf(color.blue), 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace Quillaby
