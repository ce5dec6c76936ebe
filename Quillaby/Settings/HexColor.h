#pragma once

#include "App/RgbColor.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace Quillaby {

// Colours as text: "#" and six hexadecimal digits for red, green and blue. Every "#" at either end is
// removed first (only "#": blanks count as characters).

// Strict: exactly six characters must remain and all of them must read as one base-16 number (a single
// leading "+" or "-" is taken, as "-" only for zero). Anything else gives nothing, silently.
std::optional<RgbColor> hexColor(QStringView text);

// Lenient, for colours that must show something: with exactly six characters left, reads the leading
// hexadecimal digits (after blanks and an optional "0x"), ignoring what follows them. Text it cannot
// read gives opaque magenta and a log line naming the text, so a bad colour in a skin is visible.
RgbColor hexColorOrMagenta(QStringView text);

// "#RRGGBB" in upper case from the components times 255, truncated toward zero. Components outside
// 0...1 are held at the ends; NaN counts as 0.
QString hexString(const RgbColor& color);

} // namespace Quillaby
