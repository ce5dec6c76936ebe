#pragma once

#include "Skins/SkinManifest.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QTimer;

namespace Quillaby {

// The device drawn around the screen of a device window: the skin's frame image stretched over the
// whole view, or a generic body drawn in code when the skin has none that loads. The viewport is cut
// out of the art (unless the art is already transparent there), key art lights briefly as matching keys
// are typed anywhere in the window, and right-clicks go to onContextMenu.
//
// Siblings share one backing store, so the hole is never punched with a clearing blend at paint time:
// the frame is rendered once per size into an image that already has its hole, and painting copies it.
// The view's mask is that image's opaque part without the viewport, so clicks through the screen and
// through transparent margins reach what lies behind.
class SkinFrameView : public QWidget {
    Q_OBJECT

public:
    // Keyframes of a key light: opacity 0, 0.9 and 0 at 0, 10% and 100% of the time, eased out.
    static constexpr double pulseSeconds = 0.25;
    static constexpr double pulsePeak = 0.9;

    explicit SkinFrameView(const SkinManifest& skin, QWidget* parent = nullptr);
    ~SkinFrameView() override;

    // Starts decoding the skin's frame art on a worker thread; the next view made for that art takes
    // the image from there (waiting for it if need be) instead of reading the file itself.
    static void prefetchFrameImage(const SkinManifest& skin);

    const SkinManifest& skin() const { return _skin; }
    // Right mouse-down on the frame: the event and this view.
    std::function<void(QMouseEvent*, SkinFrameView*)> onContextMenu;

    // The viewport in view coordinates (TL, TR, BR, BL), offsets scaled per axis.
    QList<QPointF> scaledViewportQuad() const;
    // Its rounded outline (radii scaled by the square root of the two scale factors).
    QPainterPath viewportQuadPath() const;
    // The frame image's alpha at the viewport's centre is below 30: the hole is not punched.
    bool skinHasTransparentScreen() const { return _skinHasTransparentScreen; }
    // A point (view coordinates) on a transparent part (alpha below 10) of the frame image, or outside
    // the view; false without a frame image.
    bool isFrameTransparent(const QPointF& point) const;
    // Whether the frame takes a click at the point: not inside the viewport, not on transparent art.
    bool takesClick(const QPointF& point) const;
    // False when the skin has no usable image and the generic body is drawn.
    bool hasFrameImage() const { return !_frameImage.isNull(); }
    // The rendered frame with its hole, at the view's size and the given device pixel ratio.
    QImage renderFrame(qreal dpr) const;

    // The name a key stroke lights beside its character: "return", "tab", "space", "delete",
    // "escape", "left", "right", "down", "up".
    static std::optional<QString> specialKeyName(int qtKey);
    // Lights every key of that name (lower case); a new pulse restarts a running one.
    void pulseKey(const QString& name);
    // A key light's opacity at a time after its pulse began.
    static double pulseOpacity(double seconds);
    // The opacity each key of that name has now, in skin order.
    QList<double> keyOpacities(const QString& name) const;
    bool hasKeyMonitor() const { return _keyMonitor; }
    // Tests: the clock of the pulses, in milliseconds; the timer that repaints while one runs.
    void setClockForTesting(std::function<qint64()> clock) { _clock = std::move(clock); }
    QTimer* pulseTimer() const { return _pulseTimer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct KeyLight {
        QString name;
        QRectF rect;
        bool circle = false;
        qint64 pulseStart = -1;
    };

    void loadFrameImage();
    void drawImageFrame(QPainter& painter, const QSizeF& size) const;
    void drawProgrammaticFrame(QPainter& painter, const QSizeF& size) const;
    void rebuildCache();
    QRectF scaledViewportRect() const;
    QPointF scale() const;
    QRectF keyRect(const KeyLight& light) const;
    qint64 now() const;
    void pulseTick();
    void handleKey(QObject* watched, QKeyEvent* event);

    SkinManifest _skin;
    QList<KeyLight> _keys;
    QImage _frameImage;
    bool _skinHasTransparentScreen = false;
    bool _keyMonitor = false;
    QImage _cache;
    QSize _cacheSize;
    QTimer* _pulseTimer = nullptr;
    QElapsedTimer _elapsed;
    std::function<qint64()> _clock;
    // The same key event reaches the monitor once per widget it propagates through.
    const QEvent* _lastKeyEvent = nullptr;
    QPointer<QWidget> _lastKeyReceiver;
};

} // namespace Quillaby
