#include "Settings/PaletteSample.h"

#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"
#include "Settings/SettingsStyle.h"
#include "Skins/SkinLoader.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

constexpr qreal sampleInset = 10;
constexpr qreal sampleLineSpacing = 3;
constexpr qreal sampleCornerRadius = 6;

constexpr int stripColumns = 8;
constexpr qreal stripSpacing = 3;
constexpr qreal stripCellHeight = 14;
constexpr qreal stripIndexGap = 2;
constexpr qreal stripIndexPixels = 7;

const RgbColor black = RgbColor::rgb(0, 0, 0);

} // namespace

RgbColor PreviewPalette::systemGreen() {
    return RgbColor::rgb(52 / 255.0, 199 / 255.0, 89 / 255.0);
}

PreviewPalette PreviewPalette::resolve(const std::optional<QString>& overrideId, const QString& skinName,
                                       const std::optional<RgbColor>& cursorOverride) {
    PreviewPalette result{systemGreen(), black, systemGreen(), {}};
    std::optional<CuratedPalette> curated = overrideId ? CuratedPalettes::byId(*overrideId) : std::nullopt;
    if (curated) {
        result.foreground = hexColor(curated->foreground).value_or(systemGreen());
        result.background = hexColor(curated->background).value_or(black);
        result.cursor = hexColor(curated->cursor).value_or(result.foreground);
        for (const QString& color : curated->ansi)
            result.ansi.append(hexColor(color).value_or(black));
    } else {
        const QList<SkinManifest> skins = SkinLoader::shared().skinsOrFallback();
        auto skin = std::find_if(skins.begin(), skins.end(),
                                 [&](const SkinManifest& candidate) { return candidate.name == skinName; });
        if (skin != skins.end()) {
            result.foreground = skin->palette.foreground;
            result.background = skin->palette.background;
            result.cursor = skin->palette.cursor.value_or(skin->palette.foreground);
            result.ansi = skin->palette.ansi.value_or(QList<RgbColor>());
        }
    }
    if (cursorOverride) result.cursor = *cursorOverride;
    return result;
}

RgbColor PaletteSample::ansiOrForeground(const PreviewPalette& palette, int n) {
    return n < palette.ansi.size() ? palette.ansi[n] : palette.foreground;
}

QList<QList<PaletteSample::Segment>> PaletteSample::lines(const PreviewPalette& palette) {
    const RgbColor fg = palette.foreground;
    auto ansi = [&](int n) { return ansiOrForeground(palette, n); };
    return {
        {{QString::fromLatin1(userName), ansi(2)},
         {QStringLiteral("@quillaby"), fg},
         {QStringLiteral(":"), fg},
         {QStringLiteral("~/code"), ansi(4)},
         {QStringLiteral(" %"), ansi(5)}},
        {{QStringLiteral("$ echo 'hello world'"), fg}},
        {{QStringLiteral("hello world"), ansi(2)}},
        {{QStringLiteral("$ git status"), fg}},
        {{QStringLiteral("On branch "), fg}, {QStringLiteral("main"), ansi(3)}},
        {{QStringLiteral("$ "), fg}, {QStringLiteral("\u258B"), palette.cursor}},
    };
}

QFont PaletteSample::font(const QString& family, double size, qreal logicalDpi) {
    QFont result(family);
    result.setStyleHint(QFont::Monospace);
    // Sizes are in logical pixels; Qt's point sizes scale with the screen's dpi.
    result.setPointSizeF(std::max(size, minimumFontSize) * 72 / (logicalDpi > 0 ? logicalDpi : 96));
    return result;
}

TerminalSampleView::TerminalSampleView(QWidget* parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TerminalSampleView::setPreviewPalette(const PreviewPalette& palette) {
    if (palette == _palette) return;
    _palette = palette;
    update();
}

void TerminalSampleView::setSampleFont(const QString& family, double size) {
    _family = family;
    _size = size;
    updateGeometry();
    update();
}

QFont TerminalSampleView::sampleFont() const {
    return PaletteSample::font(_family, _size, logicalDpiY());
}

QSize TerminalSampleView::minimumSizeHint() const {
    return QSize(60, 60);
}

void TerminalSampleView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath outline;
    outline.addRoundedRect(box, sampleCornerRadius, sampleCornerRadius);
    p.fillPath(outline, _palette.background.toQColor());
    p.setPen(QPen(SettingsStyle::hairline(palette()), 0.5));
    p.drawPath(outline);

    p.setClipPath(outline);
    const QFont font = sampleFont();
    p.setFont(font);
    const QFontMetricsF metrics(font, this);
    qreal baseline = sampleInset + metrics.ascent();
    for (const QList<PaletteSample::Segment>& line : PaletteSample::lines(_palette)) {
        qreal x = sampleInset;
        for (const PaletteSample::Segment& segment : line) {
            p.setPen(segment.color.toQColor());
            p.drawText(QPointF(x, baseline), segment.text);
            x += metrics.horizontalAdvance(segment.text);
        }
        baseline += metrics.height() + sampleLineSpacing;
    }
}

AnsiStripView::AnsiStripView(QWidget* parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void AnsiStripView::setColors(const QList<RgbColor>& colors) {
    if (colors == _colors) return;
    _colors = colors;
    update();
}

QSize AnsiStripView::sizeHint() const {
    const qreal cell = stripCellHeight + stripIndexGap + stripIndexPixels + 2;
    return QSize(int(stripColumns * (10 + stripSpacing)), int(std::ceil(2 * cell + stripSpacing)));
}

void AnsiStripView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal width = (this->width() - (stripColumns - 1) * stripSpacing) / stripColumns;
    const qreal rowHeight = stripCellHeight + stripIndexGap + stripIndexPixels + 2;
    const QFont indexFont = SettingsStyle::monospaced(stripIndexPixels);
    p.setFont(indexFont);
    for (int i = 0; i < int(_colors.size()); ++i) {
        const int row = i / stripColumns;
        const int column = i % stripColumns;
        const QRectF cell(column * (width + stripSpacing) + 0.25, row * (rowHeight + stripSpacing) + 0.25,
                          width - 0.5, stripCellHeight);
        p.setPen(QPen(SettingsStyle::hairline(palette()), 0.5));
        p.setBrush(_colors[i].toQColor());
        p.drawRoundedRect(cell, 3, 3);
        p.setPen(SettingsStyle::tertiary(palette()));
        p.drawText(QRectF(cell.left(), cell.bottom() + stripIndexGap, cell.width(), stripIndexPixels + 2),
                   Qt::AlignHCenter | Qt::AlignTop, QString::number(i));
    }
}

} // namespace Quillaby
