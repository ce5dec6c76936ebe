#include "CellGlyphs.h"

#include "CharData.h"
#include "Terminal.h"
#include "Utf8.h"

#include <QGlyphRun>
#include <QTextLayout>

#include <climits>

namespace Tessaline {

namespace {

constexpr quint32 notLookedUp = UINT32_MAX;
// Characters and clusters kept shaped; a program printing endless new clusters starts the cache over.
constexpr size_t maxComplexEntries = 65536;
// Fallback fonts kept; past this the caches start over.
constexpr size_t maxFonts = 64;

bool glyphIndex(const QRawFont& font, char32_t scalar, quint32& glyph) {
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
    if (!font.glyphIndexesForChars(units, count, glyphs, &glyphCount) || glyphCount != 1) return false;
    glyph = glyphs[0];
    return true;
}

} // namespace

void CellGlyphs::reset(const TerminalView::FontSet& faces) {
    _faces = faces;
    _fonts = {QRawFont::fromFont(faces.normal), QRawFont::fromFont(faces.bold),
              QRawFont::fromFont(faces.italic), QRawFont::fromFont(faces.boldItalic)};
    for (size_t face = 0; face < 4; ++face) {
        _planeGlyphs[face].assign(0x10000, notLookedUp);
        _otherGlyphs[face].clear();
    }
    _complex.clear();
    _blockFonts.clear();
}

quint32 CellGlyphs::faceGlyph(int face, char32_t scalar) {
    auto lookUp = [&] {
        quint32 glyph = 0;
        return glyphIndex(_fonts[size_t(face)], scalar, glyph) ? glyph : 0u;
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

int CellGlyphs::fontSlot(const QRawFont& font) {
    for (size_t i = 0; i < _fonts.size(); ++i)
        if (_fonts[i] == font) return int(i);
    _fonts.push_back(font);
    return int(_fonts.size() - 1);
}

CellGlyphs::Glyphs CellGlyphs::shape(int face, const std::u32string& text) {
    const QFont& font = _faces.face(face);
    QTextLayout layout(QString::fromUcs4(text.data(), qsizetype(text.size())), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    Glyphs glyphs;
    if (!line.isValid()) return glyphs;
    const double ascent = line.ascent();
    QList<QGlyphRun> runs = layout.glyphRuns();
    // The runs come in no promised order: left to right by their first glyph.
    std::stable_sort(runs.begin(), runs.end(), [](const QGlyphRun& a, const QGlyphRun& b) {
        const double ax = a.positions().isEmpty() ? 0 : a.positions().front().x();
        const double bx = b.positions().isEmpty() ? 0 : b.positions().front().x();
        return ax < bx;
    });
    for (const QGlyphRun& run : runs) {
        const int slot = fontSlot(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
            glyphs.push_back({slot, indexes[i], QPointF(positions[i].x(), positions[i].y() - ascent)});
    }
    return glyphs;
}

std::span<const CellGlyphs::PlacedGlyph> CellGlyphs::glyphs(int face, int32_t code,
                                                            const Terminal& terminal) {
    if (code < CharData::graphemeCodeBase) {
        CharData cell;
        cell.code = code;
        if (const quint32 glyph = faceGlyph(face, cell.getCharacter())) {
            _single = {face, glyph, QPointF(0, 0)};
            return {&_single, 1};
        }
    }
    const Glyphs& found = complexGlyphs(face, code, terminal);
    return {found.data(), found.size()};
}

const CellGlyphs::Glyphs& CellGlyphs::complexGlyphs(int face, int32_t code, const Terminal& terminal) {
    // The terminal hands reclaimed grapheme codes out again for other texts.
    if (terminal.graphemeGeneration() != _graphemeGeneration) {
        _graphemeGeneration = terminal.graphemeGeneration();
        _complex.clear();
    }
    const uint64_t key = (uint64_t(face) << 32) | uint32_t(code);
    if (auto it = _complex.find(key); it != _complex.end()) return it->second;
    if (_complex.size() >= maxComplexEntries || _fonts.size() >= maxFonts) {
        _complex.clear();
        _blockFonts.clear();
        _fonts.resize(4);
    }
    _scalars.clear();
    if (code < CharData::graphemeCodeBase) {
        CharData cell;
        cell.code = code;
        _scalars.push_back(cell.getCharacter());
    } else {
        Utf8::decode(terminal.character(code), _scalars);
    }
    if (_scalars.size() == 1) {
        const char32_t scalar = _scalars[0];
        const uint64_t block = (uint64_t(face) << 32) | (scalar >> 7);
        if (auto known = _blockFonts.find(block); known != _blockFonts.end()) {
            const auto [font, missing] = known->second;
            quint32 glyph = 0;
            if (glyphIndex(_fonts[size_t(font)], scalar, glyph) && (glyph != 0 || missing))
                return _complex.emplace(key, Glyphs{{font, glyph, QPointF(0, 0)}}).first->second;
        }
        Glyphs glyphs = shape(face, _scalars);
        if (glyphs.size() == 1 && glyphs[0].offset == QPointF(0, 0))
            _blockFonts[block] = {glyphs[0].font, glyphs[0].glyph == 0};
        return _complex.emplace(key, std::move(glyphs)).first->second;
    }

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

} // namespace Tessaline
