#pragma once

#include "App/RgbColor.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

namespace Quillaby {

// The colours the palette browser's sample shows.
struct PreviewPalette {
    RgbColor foreground;
    RgbColor background;
    RgbColor cursor;
    // 16 colours, or none.
    QList<RgbColor> ansi;

    // The foreground and the caret when a colour is missing or unreadable.
    static RgbColor systemGreen();

    // A curated palette when `overrideId` names one, else the first skin named `skinName` (green on
    // black without ANSI colours when there is none); then the cursor override, when given.
    static PreviewPalette resolve(const std::optional<QString>& overrideId, const QString& skinName,
                                  const std::optional<RgbColor>& cursorOverride);

    bool operator==(const PreviewPalette&) const = default;
};

// A few shell lines in the sample's colours.
class PaletteSample {
public:
    struct Segment {
        QString text;
        RgbColor color;

        bool operator==(const Segment&) const = default;
    };

    // The sample prompt's user name.
    static constexpr const char* userName = "you";
    static constexpr double minimumFontSize = 9;

    static QList<QList<Segment>> lines(const PreviewPalette& palette);
    // ANSI colour n, or the foreground when the palette has no such entry.
    static RgbColor ansiOrForeground(const PreviewPalette& palette, int n);
    // The family at the size in points, never under minimumFontSize, for a screen of the given dpi.
    static QFont font(const QString& family, double size, qreal logicalDpi);
};

// The six shell lines on the palette's background in a rounded box.
class TerminalSampleView : public QWidget {
    Q_OBJECT

public:
    explicit TerminalSampleView(QWidget* parent = nullptr);

    void setPreviewPalette(const PreviewPalette& palette);
    void setSampleFont(const QString& family, double size);
    const PreviewPalette& previewPalette() const { return _palette; }
    // The font the lines are drawn in.
    QFont sampleFont() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PreviewPalette _palette;
    QString _family;
    double _size = 12;
};

// The sixteen ANSI colours in two rows of eight, each over its index.
class AnsiStripView : public QWidget {
    Q_OBJECT

public:
    explicit AnsiStripView(QWidget* parent = nullptr);

    void setColors(const QList<RgbColor>& colors);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<RgbColor> _colors;
};

} // namespace Quillaby
