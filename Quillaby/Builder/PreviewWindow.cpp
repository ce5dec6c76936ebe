#include "Builder/PreviewWindow.h"

#include "Builder/BezierPath.h"
#include "Skins/ViewportShape.h"
#include "Builder/SkinBuilderModel.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>
#include <QSysInfo>
#include <QTextLayout>
#include <QWindow>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

QString loginName() {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

QString shortHostName() {
    QString host = QSysInfo::machineHostName();
    const qsizetype dot = host.indexOf(u'.');
    return dot >= 0 ? host.left(dot) : host;
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

// The drawer's outline in preview points; empty with fewer than three nodes.
QPainterPath drawerMaskPath(const SkinBuilderModel& model, double k) {
    if (model.drawerMask().size() < 3) return QPainterPath();
    return bezierPath(model.drawerMask(), true, [k](QPointF p) { return p * k; });
}

// How far the shut drawer sits inside the device, in preview points.
QPointF closedOffset(const SkinBuilderModel& model, double k) {
    QRectF box;
    if (model.drawerMask().size() >= 3) {
        QPolygonF points;
        for (const BezierNode& node : model.drawerMask())
            points.append(node.point);
        box = points.boundingRect();
    }
    const QRectF drawer = model.drawerViewport().value_or(QRectF()).normalized();
    switch (model.drawerEdge()) {
    case DrawerEdge::left:
        return QPointF(k * std::max(box.width(), drawer.width()) * 2, 0);
    case DrawerEdge::right:
        return QPointF(k * std::max(box.width(), drawer.width()) * -2, 0);
    case DrawerEdge::top:
        return QPointF(0, k * std::max(box.height(), drawer.height()) * 2);
    case DrawerEdge::bottom:
        break;
    }
    return QPointF(0, k * std::max(box.height(), drawer.height()) * -2);
}

QFont monospaced(double pointSize, QFont::Weight weight = QFont::Normal) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(std::max(1, int(std::lround(pointSize))));
    font.setWeight(weight);
    return font;
}

void drawScanlines(QPainter& painter, const QRectF& r, double intensity, const QString& style) {
    if (style == QLatin1String("shadowmask")) {
        const QColor stripes[] = {QColor::fromRgbF(1, 0.2f, 0.2f), QColor::fromRgbF(0.2f, 1, 0.2f),
                                  QColor::fromRgbF(0.2f, 0.2f, 1)};
        for (int n = 0; r.left() + n < r.right(); ++n)
            painter.fillRect(QRectF(r.left() + n, r.top(), 1, r.height()),
                             withAlpha(stripes[n % 3], intensity * 0.2));
        const QColor line = withAlpha(Qt::black, std::min(intensity * 0.6, 1.0));
        for (int n = 0; r.top() + 3 * n < r.bottom(); ++n)
            painter.fillRect(QRectF(r.left(), r.top() + 3 * n, r.width(), 1), line);
        return;
    }
    const double f = style == QLatin1String("heavy") ? 1.3 : 1;
    const QColor bar = withAlpha(Qt::black, std::min(intensity * 0.55 * f, 1.0));
    for (int n = 0; r.top() + 4 * n < r.bottom(); ++n)
        painter.fillRect(QRectF(r.left(), r.top() + 2 + 4 * n, r.width(), 2), bar);
}

} // namespace

PreviewPanel::PreviewPanel(SkinBuilderModel& model)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , _model(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Preview — ") + model.skinName());
    setFixedSize(previewSize(model));
    setFocusPolicy(Qt::StrongFocus);
    _drawerTimer.setInterval(1000 / 60);
    connect(&_drawerTimer, &QTimer::timeout, this, [this] { stepDrawer(_drawerClock.elapsed() / 1000.0); });
    // Queued: the panel follows each change once it is stored, and several changes in a row cost one.
    connect(&_model, &SkinBuilderModel::changed, this, &PreviewPanel::modelChanged, Qt::QueuedConnection);
    connect(&_model, &SkinBuilderModel::imageChanged, this, &PreviewPanel::modelChanged,
            Qt::QueuedConnection);
    updateMask();
}

QSize PreviewPanel::previewSize(const SkinBuilderModel& model) {
    const QSizeF size = model.makeConverter().previewSize();
    return QSize(int(size.width()), int(size.height()));
}

void PreviewPanel::modelChanged() {
    const QSize size = previewSize(_model);
    if (size != this->size() && size.width() > 0 && size.height() > 0) {
        // The origin stays where it is.
        const QPoint origin = pos();
        setFixedSize(size);
        move(origin);
    }
    setWindowTitle(QStringLiteral("Preview — ") + _model.skinName());
    updateMask();
    update();
}

const QPixmap& PreviewPanel::scaledFrame() {
    if (_frameGeneration != _model.imageGeneration() || _frameSize != size()) {
        _frameGeneration = _model.imageGeneration();
        _frameSize = size();
        _frame = QPixmap();
        if (_model.skinImage() && !_model.skinImage()->bitmap.isNull() && !size().isEmpty())
            _frame = QPixmap::fromImage(
                _model.skinImage()->bitmap.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return _frame;
}

const QPixmap& PreviewPanel::scanlineOverlay(QSizeF size) {
    const QSize pixels(int(std::ceil(size.width())), int(std::ceil(size.height())));
    const ScanlineKey key{pixels, _model.scanlineIntensity(), _model.scanlineStyle()};
    if (!(key == _scanlineKey) || _scanlines.isNull()) {
        _scanlineKey = key;
        _scanlines = QPixmap(pixels.expandedTo(QSize(1, 1)));
        _scanlines.fill(Qt::transparent);
        QPainter painter(&_scanlines);
        drawScanlines(painter, QRectF(QPointF(0, 0), size), key.intensity, key.style);
    }
    return _scanlines;
}

void PreviewPanel::updateMask() {
    if (!_model.skinImage() || !_model.viewport() || size().isEmpty()) return;
    // Clicks land where the preview draws; elsewhere they reach what lies below.
    QImage shown(size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    QPainter painter(&shown);
    render(painter);
    painter.end();
    const QRegion region(QBitmap::fromImage(shown.createAlphaMask(Qt::ThresholdAlphaDither)));
    setMask(region);
}

QString PreviewPanel::hintText() const {
    return _model.drawerEnabled() ? QStringLiteral("Ctrl+D drawer · ESC or double-click to close")
                                  : QStringLiteral("ESC or double-click to close");
}

QStringList PreviewPanel::transcript() const {
    const QString prompt = loginName() + u'@' + shortHostName() + QStringLiteral(" ~ %");
    return {
        _model.skinName().toUpper() + QStringLiteral(" -- PREVIEW MODE"),
        QString(38, QChar(0x2550)),
        QStringLiteral("Last login: ") +
            QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("ddd MMM d HH:mm:ss")),
        prompt,
        QStringLiteral("> quillaby --skin \"") + _model.skinName() + u'"',
        QStringLiteral("Loading skin... OK"),
        QStringLiteral("Terminal: 80x24"),
        QStringLiteral("Ready."),
        QString(),
        prompt,
    };
}

void PreviewPanel::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

void PreviewPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    render(painter);
}

void PreviewPanel::render(QPainter& painter) {
    if (!_model.skinImage() || !_model.viewport()) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double k = _model.makeConverter().previewScale();
    const QRectF bounds(0, 0, width(), height());
    const QPixmap& frame = scaledFrame();
    const QColor fg = _model.fgColor().toQColor();
    const QColor bg = _model.bgColor().toQColor();
    const QPainterPath mask = _model.drawerEnabled() ? drawerMaskPath(_model, k) : QPainterPath();
    const QPointF offset = closedOffset(_model, k) * (1 - _drawerProgress);

    // The drawer's content slides under the frame.
    if (_model.drawerEnabled() && _drawerProgress > 0 && _model.drawerViewport()) {
        const QRectF box = QRectF(_model.drawerViewport()->normalized().topLeft() * k,
                                  _model.drawerViewport()->normalized().size() * k)
                               .translated(offset);
        painter.fillRect(box, withAlpha(bg, 0.94));
        painter.setPen(QPen(withAlpha(fg, 0.35), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
        painter.setFont(monospaced(11, QFont::Bold));
        painter.setPen(withAlpha(fg, 0.9));
        const QString widget = _model.drawerDefaultWidget();
        painter.drawText(box, Qt::AlignCenter,
                         widget.isEmpty() ? QStringLiteral("DRAWER CONTENT")
                                          : QStringLiteral("DRAWER: ") + widget.toUpper());
    }
    if (!frame.isNull()) {
        painter.save();
        if (!mask.isEmpty()) {
            QPainterPath outside;
            outside.addRect(bounds);
            outside.addPath(mask);
            outside.setFillRule(Qt::OddEvenFill);
            painter.setClipPath(outside);
        }
        painter.drawPixmap(bounds, frame, QRectF(frame.rect()));
        painter.restore();
        if (!mask.isEmpty()) {
            painter.save();
            QPainterPath moved = mask.translated(offset);
            moved.setFillRule(Qt::WindingFill);
            painter.setClipPath(moved);
            painter.drawPixmap(bounds, frame, QRectF(frame.rect()));
            painter.restore();
        }
    }

    // The screen.
    const QRectF vp = *_model.viewport();
    const QRectF screenRect(vp.x() * k, vp.y() * k, vp.width() * k, vp.height() * k);
    // A viewport of no width scales its offsets and radii like the rest of the preview.
    const double r = vp.width() != 0 ? screenRect.width() / vp.width() : k;
    QList<QPointF> corners{screenRect.topLeft(), screenRect.topRight(), screenRect.bottomRight(),
                           screenRect.bottomLeft()};
    const QList<QPointF>& offsets = _model.viewportCornerOffsets();
    QList<double> radii;
    for (int i = 0; i < 4; ++i) {
        if (i < offsets.size()) corners[i] += offsets[i] * r;
        radii.append((i < _model.viewportCornerRadii().size() ? _model.viewportCornerRadii()[i] : 6.0) * r);
    }
    const QPainterPath screen = roundedQuadPath(corners, radii);
    painter.fillPath(screen, bg);

    painter.save();
    painter.setClipPath(screen);
    const double pw = screenRect.width();
    const double ph = screenRect.height();
    if (pw != 0 && ph != 0) {
        const QPointF a = (corners[1] - corners[0]) / pw;
        const QPointF c = (corners[3] - corners[0]) / ph;
        painter.setTransform(QTransform(a.x(), a.y(), c.x(), c.y(), corners[0].x(), corners[0].y()), true);
        const QRectF local(0, 0, std::abs(pw), std::abs(ph));

        // The transcript.
        const QFont font = monospaced(std::max(_model.launchScale() * 11, 9.0));
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        painter.setPen(fg);
        const QRectF text = local.adjusted(6, 4, -6, -4);
        double y = text.top();
        for (const QString& line : transcript()) {
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            // Wrapped rows one by one, 2 points apart.
            QTextLayout wrapped(line.isEmpty() ? QStringLiteral(" ") : line, font);
            wrapped.setTextOption(option);
            wrapped.beginLayout();
            double rowY = 0;
            for (QTextLine row = wrapped.createLine(); row.isValid(); row = wrapped.createLine()) {
                row.setLineWidth(text.width());
                row.setPosition(QPointF(0, rowY));
                rowY += row.height() + 2;
            }
            wrapped.endLayout();
            wrapped.draw(&painter, QPointF(text.left(), y));
            y += std::max(rowY, metrics.height() + 2);
            if (y > local.bottom()) break;
        }

        // The effects.
        if (_model.scanlines()) painter.drawPixmap(local.topLeft(), scanlineOverlay(local.size()));
        if (_model.glow()) {
            painter.save();
            QPainterPath ring;
            ring.addRect(local.adjusted(-8, -8, 8, 8));
            ring.addRect(local.adjusted(8, 8, -8, -8));
            ring.setFillRule(Qt::OddEvenFill);
            painter.setCompositionMode(QPainter::CompositionMode_Screen);
            painter.fillPath(ring, withAlpha(fg, _model.glowIntensity() * 0.2));
            painter.restore();
        }
        if (_model.curvature()) {
            QRadialGradient vignette(local.center(), std::max(local.width(), local.height()) * 0.7);
            vignette.setColorAt(0.5, Qt::transparent);
            vignette.setColorAt(1.0, withAlpha(Qt::black, _model.curvatureAmount()));
            vignette.setSpread(QGradient::PadSpread);
            painter.fillRect(local, vignette);
        }
    }
    painter.restore();

    if (!_model.screenInFront() && !frame.isNull()) painter.drawPixmap(bounds, frame, QRectF(frame.rect()));

    if (!_model.buttons().isEmpty()) {
        const QRectF b = _model.buttons().first().rect.normalized();
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(fg, 0.15));
        painter.drawRoundedRect(QRectF(b.topLeft() * k, b.size() * k), 4, 4);
    }

    // The hint pill.
    QFont hintFont = font();
    hintFont.setPixelSize(10);
    hintFont.setWeight(QFont::Medium);
    const QFontMetricsF hintMetrics(hintFont);
    const QString hint = hintText();
    const double textWidth = hintMetrics.horizontalAdvance(hint);
    const QRectF pill((width() - textWidth - 16) / 2, 8, textWidth + 16, hintMetrics.height() + 6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(Qt::black, 0.6));
    painter.drawRoundedRect(pill, 4, 4);
    painter.setFont(hintFont);
    painter.setPen(withAlpha(Qt::white, 0.7));
    painter.drawText(QRectF(pill.left() + 8, 11, textWidth + 1, hintMetrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, hint);
}

void PreviewPanel::toggleDrawer() {
    if (!_model.drawerEnabled() || !_model.drawerViewport()) return;
    _drawerOpen = !_drawerOpen;
    _drawerFrom = _drawerProgress;
    _drawerTo = _drawerOpen ? 1 : 0;
    _drawerClock.start();
    _drawerTimer.start();
}

void PreviewPanel::stepDrawer(double elapsed) {
    const double t = std::min(elapsed / drawerDuration, 1.0);
    _drawerProgress = _drawerFrom + (_drawerTo - _drawerFrom) * (1 - (1 - t) * (1 - t));
    if (t >= 1) {
        _drawerProgress = _drawerTo;
        _drawerTimer.stop();
    }
    update();
}

void PreviewPanel::keyPressEvent(QKeyEvent* event) {
    if ((event->modifiers() & Qt::ControlModifier) && event->key() == Qt::Key_D) {
        toggleDrawer();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PreviewPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

void PreviewPanel::mouseDoubleClickEvent(QMouseEvent*) {
    // After this event has been handled.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

PreviewWindowController::PreviewWindowController(SkinBuilderModel& model, QObject* parent)
    : QObject(parent)
    , _model(model) {
    connect(&_model, &SkinBuilderModel::previewShowRequested, this, &PreviewWindowController::show);
    connect(&_model, &SkinBuilderModel::previewCloseRequested, this, &PreviewWindowController::close);
}

PreviewWindowController::~PreviewWindowController() {
    close();
}

void PreviewWindowController::show() {
    close();
    if (!_model.skinImage() || !_model.viewport()) return;
    auto* panel = new PreviewPanel(_model);
    if (QScreen* screen = panel->screen()) {
        const QRect area = screen->availableGeometry();
        panel->move(area.center() - QPoint(panel->width() / 2, panel->height() / 2));
    }
    _window = panel;
    connect(panel, &PreviewPanel::closed, this, [this, panel] {
        if (_window == panel) _window.clear();
    });
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void PreviewWindowController::close() {
    if (PreviewPanel* panel = _window) {
        _window.clear();
        panel->close();
    }
}

} // namespace Quillaby
