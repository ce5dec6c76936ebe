// The terminal's colours: the default foreground and background and the cursor colour with their
// observers, the 16 base colours and the 256-colour palette generated from them, and the OSC commands
// that set, query and reset them (4, 10, 11, 12, 104, 112).
#include "Terminal.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace Tessaline {

namespace {

// The items between ";", empty ones dropped.
std::vector<std::span<const uint8_t>> splitItems(std::span<const uint8_t> data) {
    std::vector<std::span<const uint8_t>> items;
    size_t start = 0;
    for (size_t k = 0; k <= data.size(); ++k) {
        if (k == data.size() || data[k] == ';') {
            if (k > start) items.push_back(data.subspan(start, k - start));
            start = k + 1;
        }
    }
    return items;
}

std::string_view text(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A whole item as a decimal number with an optional sign; anything else (overflow included) is 0.
int64_t wholeNumber(std::string_view item) {
    bool negative = false;
    if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
        negative = item[0] == '-';
        item.remove_prefix(1);
    }
    if (item.empty() || item[0] == '+' || item[0] == '-') return 0;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (error != std::errc() || end != item.data() + item.size()) return 0;
    return negative ? -value : value;
}

} // namespace

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

void Terminal::resetAllColors() {
    ansiColors = defaultAnsiColors;
    if (tdel != nullptr) tdel->colorChanged(*this, std::nullopt);
}

void Terminal::reportColor(std::string_view oscCode, const Color& color) {
    // Always ended with ST, whatever ended the query.
    sendResponse(cc.osc(), oscCode, ";", color.formatAsXcolor(), cc.st());
}

// MARK: OSC

void Terminal::oscChangeOrQueryColorIndex(std::span<const uint8_t> data) {
    size_t p = 0;
    while (p < data.size()) {
        const auto semicolon = std::find(data.begin() + ptrdiff_t(p), data.end(), uint8_t(';'));
        // A trailing index without a colour does nothing.
        if (semicolon == data.end()) return;
        const size_t at = size_t(semicolon - data.begin());
        const int64_t index = EscapeSequenceParser::parseInt(data.subspan(p, at - p));
        // An index past the table ends the whole sequence.
        if (index > 255 || size_t(index) >= ansiColors.size()) return;
        const size_t spec = at + 1;
        if (spec < data.size() && data[spec] == '?') {
            reportColor("4;" + std::to_string(index), ansiColors[size_t(index)]);
            p = spec + 1;
            if (p < data.size() && data[p] == ';') ++p;
            continue;
        }
        const auto specEnd = std::find(data.begin() + ptrdiff_t(spec), data.end(), uint8_t(';'));
        const size_t end = size_t(specEnd - data.begin());
        if (const std::optional<Color> color = Color::parseColor(data.subspan(spec, end - spec))) {
            ansiColors[size_t(index)] = *color;
            if (tdel != nullptr) tdel->colorChanged(*this, int(index));
        }
        p = end + 1;
    }
}

void Terminal::oscSetColors(std::span<const uint8_t> data, int startAt) {
    const auto items = splitItems(data);
    if (items.empty()) return;
    const TerminalColors current =
        tdel != nullptr ? tdel->getColors(*this) : TerminalColors{_foregroundColor, _backgroundColor};
    for (size_t k = 0; k < items.size(); ++k) {
        const int slot = startAt + int(k);
        if (slot > 2) break;
        const std::span<const uint8_t> item = items[k];
        if (item[0] == '?') {
            if (slot == 0)
                reportColor("10", current.foreground);
            else if (slot == 1)
                reportColor("11", current.background);
            else
                reportColor("12", _cursorColor.value_or(current.foreground));
            continue;
        }
        const std::optional<Color> color = Color::parseColor(item);
        if (!color) continue;
        // The observer tells the delegate, and the delegate is told once more: hosts expect both.
        if (slot == 0) {
            setForegroundColor(*color);
            if (tdel != nullptr) tdel->setForegroundColor(*this, *color);
        } else if (slot == 1) {
            setBackgroundColor(*color);
            if (tdel != nullptr) tdel->setBackgroundColor(*this, *color);
        } else {
            setCursorColor(*color);
            if (tdel != nullptr) tdel->setCursorColor(*this, *color);
        }
    }
}

void Terminal::oscResetColor(std::span<const uint8_t> data) {
    if (data.empty()) {
        resetAllColors();
        return;
    }
    if (std::any_of(data.begin(), data.end(), [](uint8_t b) { return b > 0x7F; })) return;
    for (const std::span<const uint8_t> item : splitItems(data)) {
        const int64_t index = wholeNumber(text(item));
        if (index < 0 || index > 255 || size_t(index) >= ansiColors.size() ||
            size_t(index) >= defaultAnsiColors.size())
            continue;
        ansiColors[size_t(index)] = defaultAnsiColors[size_t(index)];
        if (tdel != nullptr) tdel->colorChanged(*this, int(index));
    }
}

void Terminal::oscResetCursorColor() {
    // The terminal's own cursorColor stays; the delegate's default clears it.
    if (tdel != nullptr) tdel->setCursorColor(*this, std::nullopt);
}

} // namespace Tessaline
