#pragma once

#include "Color.h"

#include <QColor>

namespace Tessaline {

// The engine's colours are 16 bits a channel, and so are QColor's: the two convert without loss, so a
// colour set on either side comes back unchanged.
QColor qColor(const Color& color);
// The colour's RGB channels; a colour in another model is converted first.
Color terminalColor(const QColor& color);
// Each channel turned to its complement (1 - c), alpha kept.
QColor inverseColor(const QColor& color);
// Halfway between the two on every channel, with the first one's alpha.
QColor dimmedColor(const QColor& color, const QColor& towards);

} // namespace Tessaline
