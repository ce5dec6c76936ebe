// The terminal's colours: the default foreground and background and the cursor colour with their
// observers, the 16 base colours and the 256-colour palette generated from them.
#include "Terminal.h"

namespace Tessaline {

void Terminal::setForegroundColor(const Color& color) {
    _foregroundColor = color;
    // A delegate that writes the colour back lands here again: the guard stops it there.
    if (_settingFgColor) return;
    _settingFgColor = true;
    if (tdel != nullptr) tdel->setForegroundColor(*this, color);
    _settingFgColor = false;
    // The base16Lab palette is interpolated towards the default colours.
    if (ansi256PaletteStrategy() == Ansi256PaletteStrategy::base16Lab) rebuildAnsiPalette(true);
}

void Terminal::setBackgroundColor(const Color& color) {
    _backgroundColor = color;
    if (_settingBgColor) return;
    _settingBgColor = true;
    if (tdel != nullptr) tdel->setBackgroundColor(*this, color);
    _settingBgColor = false;
    if (ansi256PaletteStrategy() == Ansi256PaletteStrategy::base16Lab) rebuildAnsiPalette(true);
}

void Terminal::setCursorColor(const std::optional<Color>& color) {
    _cursorColor = color;
    if (_settingCursorColor) return;
    _settingCursorColor = true;
    if (tdel != nullptr) tdel->setCursorColor(*this, color);
    _settingCursorColor = false;
}

void Terminal::setAnsi256PaletteStrategy(Ansi256PaletteStrategy strategy) {
    if (strategy == options.ansi256PaletteStrategy) return;
    options.ansi256PaletteStrategy = strategy;
    rebuildAnsiPalette(true);
}

void Terminal::installPalette(std::span<const Color> colors) {
    if (colors.size() != 16) return;
    installedColors.assign(colors.begin(), colors.end());
    rebuildAnsiPalette(false);
}

void Terminal::rebuildAnsiPalette(bool notifyDelegate) {
    if (ansi256PaletteStrategy() == Ansi256PaletteStrategy::base16Lab)
        defaultAnsiColors =
            Color::generateBase16LabPalette(installedColors, _backgroundColor, _foregroundColor);
    else
        defaultAnsiColors = Color::generateXtermPalette(installedColors);
    ansiColors = defaultAnsiColors;
    if (notifyDelegate && tdel != nullptr) tdel->colorChanged(*this, std::nullopt);
}

} // namespace Tessaline
