#include "RowBuilder.h"

#include "BufferLine.h"
#include "ColorConversion.h"
#include "KittyPlaceholderDecoder.h"
#include "Terminal.h"
#include "TerminalView.h"

#include <algorithm>

namespace Tessaline {

namespace {

// Looks kept before the caches start over: a program painting with endless distinct attributes must not
// grow them without bound.
constexpr size_t maxCachedLooks = 16384;

constexpr char32_t placeholderScalar = 0x10EEEE;
// U+10EEEE in UTF-8.
constexpr std::string_view placeholderPrefix = "\xF4\x8E\xBB\xAE";

bool isBoxDrawing(uint32_t code) {
    return code >= 0x2500 && code <= 0x257F;
}

int underlineValue(UnderlineStyle style) {
    switch (style) {
    case UnderlineStyle::double_:
        return TextAttributes::underlineDouble;
    case UnderlineStyle::dotted:
        return TextAttributes::underlineDotted;
    case UnderlineStyle::dashed:
        return TextAttributes::underlineDashed;
    case UnderlineStyle::none:
    case UnderlineStyle::single:
    case UnderlineStyle::curly:
        break;
    }
    return TextAttributes::underlineSingle;
}

} // namespace

RowBuilder::RowBuilder(TerminalView& view)
    : _view(view) {}

void RowBuilder::reset() {
    _attributes.clear();
    _urlAttributes.clear();
    _looks.clear();
}

RowBuilder::Key RowBuilder::keyOf(const Attribute& attribute) {
    Key key;
    key.colors = uint64_t(attribute.fg.raw()) | (uint64_t(attribute.bg.raw()) << 26) |
                 (uint64_t(attribute.style.rawValue) << 52);
    key.underline = uint32_t(attribute.underlineStyle);
    if (attribute.underlineColor) key.underline |= 8u | (attribute.underlineColor->raw() << 4);
    return key;
}

RowBuilder::Key RowBuilder::keyOf(const CharData& cell) const {
    Key key;
    key.colors = uint64_t(cell.fg().raw()) | (uint64_t(cell.bg().raw()) << 26) |
                 (uint64_t(cell.style().rawValue) << 52);
    key.underline = uint32_t(cell.underlineStyle());
    if (const uint16_t index = cell.underlineColorIndex())
        key.underline |= 8u | (_view.terminal().underlineColors().colorAt(index).raw() << 4);
    return key;
}

void RowBuilder::addLines(TextAttributes& look, const Attribute& attribute, bool bold) {
    const CharacterStyle style = attribute.style;
    if (style.contains(CharacterStyle::underline)) {
        look.underlined = true;
        look.underlineColor = attribute.underlineColor ? _view.mapColor(*attribute.underlineColor, true, bold,
                                                                        _view.useBrightColors())
                                                       : look.foreground;
        const UnderlineStyle kind = attribute.underlineStyle == UnderlineStyle::none
                                        ? UnderlineStyle::single
                                        : attribute.underlineStyle;
        look.underlineStyle = underlineValue(kind);
        look.tessalineUnderlineStyle = int(kind);
    }
    if (style.contains(CharacterStyle::crossedOut)) {
        look.struckThrough = true;
        look.strikethroughColor = look.foreground;
        look.strikethroughStyle = 1;
    }
}

TextAttributes RowBuilder::resolve(const Attribute& attribute, bool withUrl) {
    const CharacterStyle style = attribute.style;
    const bool bold = style.contains(CharacterStyle::bold);
    Attribute::Color fg = attribute.fg;
    Attribute::Color bg = attribute.bg;
    if (style.contains(CharacterStyle::inverse)) {
        std::swap(fg, bg);
        if (fg.isDefault() || fg.isDefaultInverted()) fg = Attribute::Color::defaultInvertedColor();
        if (bg.isDefault() || bg.isDefaultInverted()) bg = Attribute::Color::defaultInvertedColor();
    }
    TextAttributes look;
    const bool brightFace = !_view.useBrightColors() && fg.isAnsi256() && fg.code() >= 8 && fg.code() <= 15;
    look.face = (bold || brightFace ? 1 : 0) | (style.contains(CharacterStyle::italic) ? 2 : 0);
    look.foreground = _view.mapColor(fg, true, bold, _view.useBrightColors());
    look.background = _view.mapColor(bg, false, false, true);
    if (style.contains(CharacterStyle::dim)) look.foreground = dimmedColor(look.foreground, look.background);
    addLines(look, attribute, bold);
    if (withUrl) {
        // The look of a highlighted link, whatever the cell's own underline.
        look.underlined = true;
        look.underlineStyle = TextAttributes::underlineSingle;
        look.underlineColor = look.foreground;
        look.tessalineUnderlineStyle = int(UnderlineStyle::dashed);
    }
    look.invisible = style.contains(CharacterStyle::invisible);
    look.foregroundPen = QPen(look.foreground);
    return look;
}

const TextAttributes& RowBuilder::store(const Key& key, bool withUrl, const TextAttributes& resolved) {
    _looks.push_back(resolved);
    const TextAttributes* look = &_looks.back();
    (withUrl ? _urlAttributes : _attributes).emplace(key, look);
    return *look;
}

const TextAttributes& RowBuilder::attributes(const Attribute& attribute, bool withUrl) {
    const Key key = keyOf(attribute);
    auto& cache = withUrl ? _urlAttributes : _attributes;
    if (auto it = cache.find(key); it != cache.end()) return *it->second;
    return store(key, withUrl, resolve(attribute, withUrl));
}

const TextAttributes& RowBuilder::cellAttributes(const CharData& cell, bool withUrl) {
    const Key key = keyOf(cell);
    auto& cache = withUrl ? _urlAttributes : _attributes;
    if (auto it = cache.find(key); it != cache.end()) return *it->second;
    return store(key, withUrl, resolve(_view.terminal().attribute(cell), withUrl));
}

TextAttributes RowBuilder::attributedValue(const Attribute& attribute, const QColor& fg, const QColor& bg) {
    const CharacterStyle style = attribute.style;
    const bool bold = style.contains(CharacterStyle::bold);
    TextAttributes look;
    look.face = (bold ? 1 : 0) | (style.contains(CharacterStyle::italic) ? 2 : 0);
    look.foreground = fg;
    look.background = bg;
    if (style.contains(CharacterStyle::inverse)) std::swap(look.foreground, look.background);
    look.foregroundPen = QPen(look.foreground);
    addLines(look, attribute, bold);
    return look;
}

std::optional<ColumnRange> RowBuilder::selectedColumnsRange(int row, int cols) const {
    const SelectionService& selection = _view.selection();
    if (!selection.active()) return std::nullopt;
    const int sc = selection.start().col, sr = selection.start().row;
    const int ec = selection.end().col, er = selection.end().row;
    const int last = _view.terminal().cols() - 1;
    // The end column is exclusive, but a selection that ends on the last column takes it.
    auto upTo = [&](int col) { return col == last ? col + 1 : col; };
    std::optional<ColumnRange> range;
    if (sr == row && er == row) {
        if (sc < ec)
            range = ColumnRange{sc, upTo(ec)};
        else if (ec < sc)
            range = ColumnRange{ec, upTo(sc)};
    } else if (sr < er) {
        if (row == sr)
            range = ColumnRange{sc, cols};
        else if (row > sr && row < er)
            range = ColumnRange{0, cols};
        else if (row == er)
            range = ColumnRange{0, upTo(ec)};
    } else if (er < sr) {
        if (row == er)
            range = ColumnRange{ec, cols};
        else if (row > er && row < sr)
            range = ColumnRange{0, cols};
        else if (row == sr)
            range = ColumnRange{0, upTo(sc)};
    }
    if (!range) return std::nullopt;
    range->lowerBound = std::clamp(range->lowerBound, 0, std::max(cols, 0));
    range->upperBound = std::clamp(range->upperBound, 0, std::max(cols, 0));
    if (range->lowerBound >= range->upperBound) return std::nullopt;
    return range;
}

const ViewLineInfo& RowBuilder::build(int row, const BufferLine& line, int cols) {
    ViewLineInfo& info = _info;
    info.clear();
    if (line.images) info.images = &*line.images;
    if (cols < 1) return info;
    if (cachedCount() > maxCachedLooks) reset();

    Terminal& terminal = _view.terminal();
    const std::optional<ColumnRange> selected = selectedColumnsRange(row, cols);
    const QColor selectionColor = _view.selectedTextBackgroundColor();
    const bool customGlyphs = _view.customBlockGlyphs();

    // Link highlight: the mode decides once per row what a cell is tested for.
    const LinkHighlightMode mode = _view.linkHighlightMode();
    const bool modifier = _view.commandActive();
    const bool byPayload =
        mode == LinkHighlightMode::always || (mode == LinkHighlightMode::alwaysWithModifier && modifier);
    std::optional<ColumnRange> hovered;
    if (mode == LinkHighlightMode::hover || (mode == LinkHighlightMode::hoverWithModifier && modifier)) {
        if (const auto& ranges = _view.linkHighlightRange()) {
            for (const auto& entry : *ranges) {
                if (entry.row != row) continue;
                if (entry.range.lowerBound < entry.range.upperBound)
                    hovered = ColumnRange{entry.range.lowerBound, entry.range.upperBound};
                break;
            }
        }
    }

    // An empty line reads as blank cells: there is no last cell to repeat.
    const int count = line.count();
    const CharData* cells = line.cells();
    static const CharData blank;

    bool segmentOpen = false;
    ViewLineSegment segment;
    int pendingStart = 0;
    const TextAttributes* pendingLook = nullptr;
    std::optional<QColor> pendingSelection;
    // The previous cell's attribute, link highlight and selection, which a new piece starts on.
    const CharData* previous = nullptr;
    bool previousLink = false;
    bool previousSelected = false;
    const TextAttributes* look = nullptr;
    // The last placeholder cell and its attribute, which the next cell may continue.
    bool previousWasPlaceholder = false;
    std::optional<KittyPlaceholderCell> lastPlaceholder;
    std::optional<Attribute> lastPlaceholderAttribute;

    auto flushPending = [&] {
        const int length = int(info.text.size()) - pendingStart;
        if (length > 0) {
            info.pieces.push_back({pendingStart, length, pendingLook, pendingSelection});
            ++segment.characterCount;
        }
        pendingStart = int(info.text.size());
    };
    // A cell drawn by other means: a space of its own in the text, carrying its look.
    auto appendSpace = [&] {
        flushPending();
        info.text.push_back(' ');
        flushPending();
    };
    auto closeSegment = [&] {
        if (segmentOpen && segment.characterCount > 0) info.segments.push_back(segment);
        segmentOpen = false;
    };

    for (int c = 0; c < cols;) {
        const CharData& cell = count > 0 ? cells[std::min(c, count - 1)] : blank;
        const int w = std::max<int>(cell.width(), 1);
        const bool link =
            byPayload ? cell.hasPayload() : hovered && hovered->lowerBound < c + w && c < hovered->upperBound;
        if (!segmentOpen || segment.columnWidth != w) {
            flushPending();
            closeSegment();
            segment = ViewLineSegment{c, w, 0, int(info.pieces.size())};
            segmentOpen = true;
        }
        const bool isSelected = selected && selected->lowerBound < c + w && c < selected->upperBound;
        if (!previous || !cell.sameAttribute(*previous) || link != previousLink ||
            isSelected != previousSelected) {
            flushPending();
            if (!previous || !cell.sameAttribute(*previous) || link != previousLink)
                look = &cellAttributes(cell, link);
            previous = &cell;
            previousLink = link;
            previousSelected = isSelected;
        }
        pendingLook = look;
        pendingSelection = isSelected ? std::optional<QColor>(selectionColor) : std::nullopt;

        const uint32_t code = cell.code == 0 ? uint32_t(' ') : uint32_t(cell.code);
        const bool continues = previousWasPlaceholder;
        previousWasPlaceholder = false;
        if (customGlyphs && code >= 0x2500 && code <= 0x259F) {
            if (isBoxDrawing(code)) {
                if (!look->invisible) info.boxDrawings.push_back({c, w, code, look->foreground});
                appendSpace();
                c += w;
                continue;
            }
            if (const auto rects = BlockElementMapping::rects(code)) {
                if (!look->invisible) info.blockElements.push_back({c, w, code, *rects, look->foreground});
                appendSpace();
                c += w;
                continue;
            }
        }
        // Placeholders are U+10EEEE with diacritics: clusters, or the bare scalar.
        std::string_view cluster;
        if (cell.isSimpleRune()) {
            if (code == placeholderScalar) cluster = placeholderPrefix;
        } else if (auto text = terminal.graphemes().text(cell.code);
                   text && text->starts_with(placeholderPrefix)) {
            cluster = *text;
        }
        if (!cluster.empty()) {
            const Attribute attribute = terminal.attribute(cell);
            std::optional<KittyPlaceholderCell> placeholder = KittyPlaceholderDecoder::decode(
                cluster, attribute, row, c, continues ? lastPlaceholder : std::nullopt,
                continues ? lastPlaceholderAttribute : std::nullopt);
            if (placeholder) {
                info.kittyPlaceholders.push_back(*placeholder);
                appendSpace();
                previousWasPlaceholder = true;
                lastPlaceholder = placeholder;
                lastPlaceholderAttribute = attribute;
                c += w;
                continue;
            }
        }
        info.text.push_back(int32_t(code));
        c += w;
    }
    flushPending();
    closeSegment();
    return info;
}

} // namespace Tessaline
