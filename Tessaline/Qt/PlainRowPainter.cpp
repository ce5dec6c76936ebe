#include "PlainRowPainter.h"

#include "BufferLine.h"
#include "ColorConversion.h"
#include "Terminal.h"
#include "TerminalView.h"
#include "Utf8.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <climits>
#include <cmath>

namespace Tessaline {

namespace {

constexpr quint32 notLookedUp = UINT32_MAX;
// Characters and clusters kept shaped; a program printing endless new clusters starts the cache over.
constexpr size_t maxComplexEntries = 65536;
// Fallback fonts kept; past this the caches start over.
constexpr size_t maxFonts = 64;

} // namespace

PlainRowPainter::PlainRowPainter(TerminalView& view)
    : _view(view) {}

PlainRowPainter::~PlainRowPainter() = default;

void PlainRowPainter::reset() {
    _ready = false;
}

void PlainRowPainter::prepare() {
    const TerminalView::FontSet& fonts = _view.fontSet();
    _fonts = {QRawFont::fromFont(fonts.normal), QRawFont::fromFont(fonts.bold),
              QRawFont::fromFont(fonts.italic), QRawFont::fromFont(fonts.boldItalic)};
    for (size_t face = 0; face < 4; ++face) {
        _planeGlyphs[face].assign(0x10000, notLookedUp);
        _otherGlyphs[face].clear();
    }
    _complex.clear();
    _blockFonts.clear();
    const QFontMetricsF metrics(fonts.normal);
    _baseline = _view.cellDimension().height() - std::ceil(metrics.descent() + metrics.leading());
    _ready = true;
}

PlainRowPainter::Style PlainRowPainter::resolve(const CharData& cell) {
    const CharacterStyle style = cell.style();
    const bool bold = style.contains(CharacterStyle::bold);
    Style resolved;
    resolved.fg = _view.mapColor(cell.fg(), true, bold, _view.useBrightColors());
    resolved.bg = _view.mapColor(cell.bg(), false, false, true);
    resolved.paintsBackground = !cell.bg().isDefault();
    if (style.contains(CharacterStyle::inverse)) {
        std::swap(resolved.fg, resolved.bg);
        resolved.paintsBackground = true;
    }
    if (style.contains(CharacterStyle::dim)) resolved.fg = dimmedColor(resolved.fg, resolved.bg);
    resolved.invisible = style.contains(CharacterStyle::invisible);
    resolved.face = (bold ? 1 : 0) | (style.contains(CharacterStyle::italic) ? 2 : 0);
    return resolved;
}

quint32 PlainRowPainter::faceGlyph(int face, char32_t scalar) {
    auto lookUp = [&] {
        QChar units[2];
        int count = 1;
        if (scalar > 0xFFFF) {
            units[0] = QChar::highSurrogate(scalar);
            units[1] = QChar::lowSurrogate(scalar);
            count = 2;
        } else {
            units[0] = QChar(char16_t(scalar));
        }
        quint32 glyphs[2] = {0, 0};
        int glyphCount = 2;
        if (!_fonts[size_t(face)].glyphIndexesForChars(units, count, glyphs, &glyphCount) || glyphCount != 1)
            return 0u;
        return glyphs[0];
    };
    if (scalar <= 0xFFFF) {
        quint32& slot = _planeGlyphs[size_t(face)][scalar];
        if (slot == notLookedUp) slot = lookUp();
        return slot;
    }
    auto [it, inserted] = _otherGlyphs[size_t(face)].try_emplace(scalar, 0);
    if (inserted) it->second = lookUp();
    return it->second;
}

int PlainRowPainter::fontSlot(const QRawFont& font) {
    for (size_t i = 0; i < _fonts.size(); ++i)
        if (_fonts[i] == font) return int(i);
    _fonts.push_back(font);
    return int(_fonts.size() - 1);
}

PlainRowPainter::Glyphs PlainRowPainter::shape(int face, const std::u32string& text) {
    const TerminalView::FontSet& fonts = _view.fontSet();
    const QFont& font = face == 0   ? fonts.normal
                        : face == 1 ? fonts.bold
                        : face == 2 ? fonts.italic
                                    : fonts.boldItalic;
    QTextLayout layout(QString::fromUcs4(text.data(), qsizetype(text.size())), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    Glyphs glyphs;
    if (!line.isValid()) return glyphs;
    const double ascent = line.ascent();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const int slot = fontSlot(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
            glyphs.push_back({slot, indexes[i], QPointF(positions[i].x(), positions[i].y() - ascent)});
    }
    return glyphs;
}

const PlainRowPainter::Glyphs& PlainRowPainter::complexGlyphs(int face, const CharData& cell,
                                                              const Terminal& terminal) {
    const uint64_t key = (uint64_t(face) << 32) | uint32_t(cell.code);
    if (auto it = _complex.find(key); it != _complex.end()) return it->second;
    if (_complex.size() >= maxComplexEntries || _fonts.size() >= maxFonts) {
        _complex.clear();
        _blockFonts.clear();
        _fonts.resize(4);
    }
    if (cell.isSimpleRune()) {
        const char32_t scalar = cell.getCharacter();
        const uint64_t block = (uint64_t(face) << 32) | (scalar >> 7);
        if (auto known = _blockFonts.find(block); known != _blockFonts.end()) {
            const auto [font, missing] = known->second;
            const QChar units[2] = {scalar > 0xFFFF ? QChar::highSurrogate(scalar) : QChar(char16_t(scalar)),
                                    QChar::lowSurrogate(scalar)};
            quint32 glyphs[2] = {0, 0};
            int glyphCount = 2;
            const bool found = _fonts[size_t(font)].glyphIndexesForChars(units, scalar > 0xFFFF ? 2 : 1,
                                                                         glyphs, &glyphCount) &&
                               glyphCount == 1;
            if (found && (glyphs[0] != 0 || missing))
                return _complex.emplace(key, Glyphs{{font, glyphs[0], QPointF(0, 0)}}).first->second;
        }
        Glyphs glyphs = shape(face, std::u32string(1, scalar));
        if (glyphs.size() == 1 && glyphs[0].offset == QPointF(0, 0))
            _blockFonts[block] = {glyphs[0].font, glyphs[0].glyph == 0};
        return _complex.emplace(key, std::move(glyphs)).first->second;
    }
    _scalars.clear();
    Utf8::decode(terminal.character(cell.code), _scalars);

    Glyphs glyphs;
    for (char32_t scalar : _scalars) {
        const quint32 glyph = faceGlyph(face, scalar);
        if (glyph == 0) {
            glyphs.clear();
            break;
        }
        glyphs.push_back({face, glyph, QPointF(0, 0)});
    }
    if (glyphs.empty()) glyphs = shape(face, _scalars);
    return _complex.emplace(key, std::move(glyphs)).first->second;
}

void PlainRowPainter::addGlyph(QPainter& painter, int font, quint32 glyph, QPointF at, const QColor& color) {
    if (font != _runFont || color != _runColor) {
        flushRun(painter);
        _runFont = font;
        _runColor = color;
    }
    _runGlyphs.push_back(glyph);
    _runPositions.push_back(at);
}

void PlainRowPainter::flushRun(QPainter& painter) {
    if (_runGlyphs.empty()) return;
    // One run object reused: a new one allocates its data on every flush.
    _glyphRun.setRawFont(_fonts[size_t(_runFont)]);
    _glyphRun.setRawData(_runGlyphs.data(), _runPositions.data(), int(_runGlyphs.size()));
    if (!_penSet || _runColor != _penColor) {
        painter.setPen(_runColor);
        _penColor = _runColor;
        _penSet = true;
    }
    painter.drawGlyphRun(QPointF(0, 0), _glyphRun);
    _runGlyphs.clear();
    _runPositions.clear();
}

void PlainRowPainter::draw(QPainter& painter, const BufferLine& row, int cols, double top, double rightEdge,
                           int cursorCol) {
    if (!_ready) prepare();
    const QSizeF cell = _view.cellDimension();
    const double w = cell.width();
    const double h = cell.height();
    const int count = std::min(cols, row.count());
    if (count <= 0) return;
    const CharData* cells = row.cells();
    if (row.stored() < count) {
        // Cleared and new rows store only the cells written before their blank ones.
        _filledCells.assign(cells, cells + row.stored());
        _filledCells.resize(size_t(count), row.blank());
        cells = _filledCells.data();
    }

    // Backgrounds, a run of one colour at a time.
    {
        Style style = resolve(cells[0]);
        const CharData* styleOf = &cells[0];
        int runStart = 0;
        QColor runColor;
        bool runPaints = false;
        auto finish = [&](int end) {
            if (runPaints && end > runStart) {
                const double right = end >= cols ? rightEdge : w * end;
                painter.fillRect(QRectF(w * runStart, top, right - w * runStart, h), runColor);
            }
        };
        for (int c = 0; c < count; ++c) {
            if (!cells[c].sameAttribute(*styleOf)) {
                style = resolve(cells[c]);
                styleOf = &cells[c];
            }
            if (style.paintsBackground != runPaints || (runPaints && style.bg != runColor)) {
                finish(c);
                runStart = c;
                runPaints = style.paintsBackground;
                runColor = style.bg;
            }
        }
        finish(count >= cols ? cols : count);
    }
    if (cursorCol >= 0 && cursorCol < count) {
        const int span = cells[cursorCol].width() == 2 ? 2 : 1;
        painter.fillRect(QRectF(w * cursorCol, top, w * span, h), _view.caretColor());
    }

    // Glyphs.
    const Terminal& terminal = _view.terminal();
    const double baseline = top + _baseline;
    _penSet = false;
    const QColor caretText = _view.caretTextColor().value_or(_view.nativeBackgroundColor());
    Style style = resolve(cells[0]);
    const CharData* styleOf = &cells[0];
    _runFont = -1;
    for (int c = 0; c < count; ++c) {
        const CharData& cellData = cells[c];
        const int32_t code = cellData.code;
        if (code == 0 || code == ' ' || cellData.width() == 0) continue;
        if (!cellData.sameAttribute(*styleOf)) {
            style = resolve(cellData);
            styleOf = &cellData;
        }
        if (style.invisible) continue;
        const QColor& color = c == cursorCol ? caretText : style.fg;
        const QPointF origin(w * c, baseline);
        if (cellData.isSimpleRune()) {
            if (const quint32 glyph = faceGlyph(style.face, cellData.getCharacter())) {
                addGlyph(painter, style.face, glyph, origin, color);
                continue;
            }
        }
        for (const PlacedGlyph& placed : complexGlyphs(style.face, cellData, terminal))
            addGlyph(painter, placed.font, placed.glyph, origin + placed.offset, color);
    }
    flushRun(painter);
}

} // namespace Tessaline
