#pragma once

#include <QBitmap>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace Quillaby {

class SkinBuilderModel;

// The floating preview of the skin being built: the frame at its launch size, the screen with a sample
// transcript and the effects, the first button lit, a hint, and for a skin with a drawer one that slides
// with Ctrl+D. Frameless and translucent, masked to the frame and screen so clicks on transparent
// corners fall through; dragged by its background, closed by Escape or a double-click. It follows every
// change of the model and never changes it.
class PreviewPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr double drawerDuration = 0.26;

    explicit PreviewPanel(SkinBuilderModel& model);

    // The panel's size for the model: the frame (half the pixels) times the launch scale.
    static QSize previewSize(const SkinBuilderModel& model);

    double drawerProgress() const { return _drawerProgress; }
    bool drawerOpen() const { return _drawerOpen; }
    void toggleDrawer();
    // One step of the drawer animation at that many seconds after its start.
    void stepDrawer(double elapsed);
    bool drawerAnimating() const { return _drawerTimer.isActive(); }

    // The hint line at the panel's foot.
    QString hintText() const;
    // The sample transcript's lines.
    QStringList transcript() const;

    // Draws the whole preview (what the panel shows) at the panel's size.
    void render(QPainter& painter);

signals:
    // The panel is closing; it is not shown again.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void modelChanged();
    void updateMask();

    SkinBuilderModel& _model;
    double _drawerProgress = 0;
    bool _drawerOpen = false;
    double _drawerFrom = 0;
    double _drawerTo = 0;
    QElapsedTimer _drawerClock;
    QTimer _drawerTimer;
    // The frame scaled to the panel, made again when the image or the size changes.
    QPixmap _frame;
    qint64 _frameGeneration = -1;
    QSize _frameSize;
    const QPixmap& scaledFrame();
    // The scanlines of the screen's size, drawn again only when their size, strength or style changes.
    struct ScanlineKey {
        QSize size;
        double intensity = 0;
        QString style;
        bool operator==(const ScanlineKey&) const = default;
    };
    ScanlineKey _scanlineKey;
    QPixmap _scanlines;
    const QPixmap& scanlineOverlay(QSizeF size);
};

// Opens the model's preview on request and closes it on reset; at most one panel at a time, a new
// request replacing the open one.
class PreviewWindowController : public QObject {
    Q_OBJECT

public:
    explicit PreviewWindowController(SkinBuilderModel& model, QObject* parent = nullptr);
    ~PreviewWindowController() override;

    PreviewPanel* window() const { return _window; }
    void show();
    void close();

private:
    SkinBuilderModel& _model;
    QPointer<PreviewPanel> _window;
};

} // namespace Quillaby
