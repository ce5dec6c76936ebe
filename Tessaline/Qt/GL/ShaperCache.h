#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace Tessaline {

// The glyphs of one font in a shaped text, positioned from the line's origin (y up).
struct ShaperGlyphRun {
    QRawFont font;
    std::vector<quint32> glyphs;
    std::vector<QPointF> positions;
};

struct ShaperRun {
    std::vector<ShaperGlyphRun> glyphRuns;
    // Every glyph's position, all runs in order.
    std::vector<QPointF> positions;
    int glyphCount = 0;
    double firstX = 0;
};

struct ShaperKey {
    QString fontName;
    double fontSize = 0;
    QString text;
    bool operator==(const ShaperKey&) const = default;
};

inline size_t qHash(const ShaperKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.fontName, key.fontSize, key.text);
}

// A name that tells fonts apart without their size: family, style, weight and slant.
QString fontIdentity(const QFont& font);
QString fontIdentity(const QRawFont& font);
// A font's size as the caches key it: points, or pixels for a font sized in pixels.
double fontKeySize(const QFont& font);

// Texts shaped once per font and size, at most maxEntries of them, the oldest shaped going first.
class ShaperCache {
public:
    explicit ShaperCache(int maxEntries = 2048)
        : _maxEntries(maxEntries) {}

    // Nothing for empty text or text that lays out to no glyphs. Runs are shared with the cache, not
    // copied: a row asks for one per run of cells.
    std::shared_ptr<const ShaperRun> shape(const QString& text, const QFont& font);

    int maxEntries() const { return _maxEntries; }
    qsizetype count() const { return _cache.size(); }
    const std::deque<ShaperKey>& order() const { return _order; }
    bool contains(const ShaperKey& key) const { return _cache.contains(key); }

private:
    void insert(const ShaperKey& key, std::shared_ptr<const ShaperRun> run);

    int _maxEntries;
    QHash<ShaperKey, std::shared_ptr<const ShaperRun>> _cache;
    // The key of the font asked for last: rows ask for the same few faces over and over.
    QFont _lastFont;
    QString _lastIdentity;
    double _lastKeySize = 0;
    bool _hasLastFont = false;
    std::deque<ShaperKey> _order;
};

} // namespace Tessaline
