#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace Quillaby {

// One shipped terminal colour scheme. Colours are "#" and six lower-case hexadecimal digits.
struct CuratedPalette {
    // Stable key stored in the settings: lower case, words joined by "-".
    QString id;
    QString name;
    QString foreground;
    QString background;
    QString cursor;
    // ANSI 0 to 15: black, red, green, yellow, blue, magenta, cyan, white, then the bright eight.
    QList<QString> ansi;

    bool operator==(const CuratedPalette&) const = default;
};

// The catalogue of 86 palettes, in display order. Code, not a file: users cannot change it.
class CuratedPalettes {
public:
    static const QList<CuratedPalette>& all();
    // The palette with exactly this id (case-sensitive).
    static std::optional<CuratedPalette> byId(QStringView id);
    // Uniformly among the palettes whose id differs from the given one (all of them for none); the
    // first palette when none qualifies.
    static CuratedPalette random(const std::optional<QString>& excluding = std::nullopt);
};

} // namespace Quillaby
