#pragma once

#include "Settings/SkinEffectsSettings.h"
#include "Skins/SkinManifest.h"

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <QWidget>

#include <optional>

class QTimer;

namespace Quillaby {

// The overlay that makes a device's screen look like an old tube: scanlines in four styles (one of them
// rolling), a glow of the palette's foreground inside the screen's edges, a darkening vignette for the
// curvature and a faint colour grade. It sits above the screen container, is laid out upright at the
// viewport's size and drawn onto the viewport's quadrilateral with the screen's transform, and never
// takes a mouse event. The bulge of the curvature is left out: only its vignette is drawn.
//
// The glow and the vignette are drawn once per configuration and size into an image; the bands are
// vector shapes drawn through the transform at each repaint, so a rolling step renders nothing
// full-sized, and it repaints only when the bands reach another device pixel.
class EffectsLayer : public QWidget {
    Q_OBJECT

public:
    // One stripe of the scanline pattern, in the layer's upright points (y down).
    struct Stripe {
        QRectF rect;
        QColor colour;
        bool operator==(const Stripe&) const = default;
    };

    static constexpr double rollingStep = 0.08;
    static constexpr double rollingPeriod = 4;

    explicit EffectsLayer(QWidget* parent = nullptr);
    ~EffectsLayer() override;

    // Copies the settings and the palette's foreground (the glow's colour), then rebuild().
    void configure(const SkinEffectsSettings& effects, const SkinManifest::TerminalPalette& palette);
    // Applies every field: starts or stops the rolling steps and repaints.
    void rebuild();
    // Places the layer: laid out at `upright`'s size and drawn onto `quad` (TL, TR, BR, BL), both in the
    // parent's coordinates; without 4 corners, upright. The effects stay inside the screen's rounded
    // outline (radii TL, TR, BR, BL as the screen container rounds it; none: sharp corners).
    void setViewport(const QRectF& upright, const QList<QPointF>& quad, const QList<double>& radii = {});

    // Whether the overlay shows anything for these settings: any switch on, or a grade other than "none".
    static bool showsAnything(const SkinEffectsSettings& effects);
    // The alpha of the black bands: min(k × 0.55 × intensity, 1) with k = 1.3 for "heavy", else 1;
    // "shadowmask" min(0.6 × intensity, 1).
    static double bandAlpha(const QString& style, double intensity);
    // The pattern over an upright size, the bands counted from the bottom edge and moved up by offset.
    static QList<Stripe> scanlineStripes(const QString& style, double intensity, const QSizeF& size, double offset);
    // The tint of a grade name; none for "none" and unknown names.
    static std::optional<QColor> colorForGrade(const QString& grade);

    bool scanlineEnabled() const { return _scanlineEnabled; }
    double scanlineIntensity() const { return _scanlineIntensity; }
    const QString& scanlineStyle() const { return _scanlineStyle; }
    bool glowEnabled() const { return _glowEnabled; }
    double glowIntensity() const { return _glowIntensity; }
    QColor glowColor() const { return _glowColor; }
    bool curvatureEnabled() const { return _curvatureEnabled; }
    double curvatureAmount() const { return _curvatureAmount; }
    const QString& colorGrade() const { return _colorGrade; }
    double rollingOffset() const { return _rollingOffset; }
    QSizeF uprightSize() const { return _upright; }
    QTransform layerTransform() const { return _transform; }
    // The rolling steps run (a timer at the display's rate) only with rolling scanlines in a window.
    bool isRolling() const;
    QTimer* rollingTimer() const { return _rollingTimer; }

    void startRollingAnimation();
    void rollingTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void stopRolling();
    void paintStatic(QPainter& painter) const;
    void ensureStaticImage();
    double snappedOffset() const;

    bool _scanlineEnabled = false;
    double _scanlineIntensity = 0.3;
    QString _scanlineStyle = QStringLiteral("standard");
    bool _glowEnabled = false;
    double _glowIntensity = 0.4;
    QColor _glowColor = QColor::fromRgbF(1.0f, 0.5f, 0.0f);
    bool _curvatureEnabled = false;
    double _curvatureAmount = 0.15;
    QString _colorGrade = QStringLiteral("none");

    QTimer* _rollingTimer = nullptr;
    double _rollingOffset = 0;
    QSizeF _upright;
    QTransform _transform;
    QPainterPath _outline;
    QRegion _clipRegion;
    // The glow and the vignette, through the transform, at the widget's size and pixel ratio.
    QImage _static;
    bool _staticDirty = true;
};

} // namespace Quillaby
