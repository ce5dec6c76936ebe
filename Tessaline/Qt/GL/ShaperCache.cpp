#include "ShaperCache.h"

#include <QTextLayout>

namespace Tessaline {

QString fontIdentity(const QFont& font) {
    return font.family() + QLatin1Char('|') + font.styleName() + QLatin1Char('|') +
           QString::number(int(font.weight())) + QLatin1Char('|') + QString::number(int(font.style()));
}

QString fontIdentity(const QRawFont& font) {
    return font.familyName() + QLatin1Char('|') + font.styleName() + QLatin1Char('|') +
           QString::number(int(font.weight())) + QLatin1Char('|') + QString::number(int(font.style()));
}

double fontKeySize(const QFont& font) {
    return font.pixelSize() > 0 ? -double(font.pixelSize()) : font.pointSizeF();
}

std::shared_ptr<const ShaperRun> ShaperCache::shape(const QString& text, const QFont& font) {
    if (text.isEmpty()) return nullptr;
    if (!_hasLastFont || !(font == _lastFont)) {
        _lastFont = font;
        _lastIdentity = fontIdentity(font);
        _lastKeySize = fontKeySize(font);
        _hasLastFont = true;
    }
    const ShaperKey key{_lastIdentity, _lastKeySize, text};
    if (auto it = _cache.constFind(key); it != _cache.constEnd()) return *it;

    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return nullptr;
    }
    line.setLineWidth(1e7);
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    const QList<QGlyphRun> glyphRuns = layout.glyphRuns();
    if (glyphRuns.isEmpty()) return nullptr;

    // Layout positions are y-down from the line's top; the renderer thinks y-up from the baseline.
    const double baseline = line.ascent();
    auto shared = std::make_shared<ShaperRun>();
    ShaperRun& run = *shared;
    bool first = true;
    for (const QGlyphRun& glyphRun : glyphRuns) {
        const QList<quint32> glyphs = glyphRun.glyphIndexes();
        if (glyphs.isEmpty()) continue;
        const QList<QPointF> positions = glyphRun.positions();
        ShaperGlyphRun out;
        out.font = glyphRun.rawFont();
        out.glyphs.assign(glyphs.begin(), glyphs.end());
        out.positions.reserve(positions.size());
        for (const QPointF& position : positions)
            out.positions.emplace_back(position.x(), baseline - position.y());
        if (first && !out.positions.empty()) {
            run.firstX = out.positions.front().x();
            first = false;
        }
        run.positions.insert(run.positions.end(), out.positions.begin(), out.positions.end());
        run.glyphRuns.push_back(std::move(out));
    }
    run.glyphCount = int(run.positions.size());
    insert(key, shared);
    return shared;
}

void ShaperCache::insert(const ShaperKey& key, std::shared_ptr<const ShaperRun> run) {
    if (!_cache.contains(key)) _order.push_back(key);
    _cache.insert(key, std::move(run));
    while (qsizetype(_order.size()) > _maxEntries) {
        _cache.remove(_order.front());
        _order.pop_front();
    }
}

} // namespace Tessaline
