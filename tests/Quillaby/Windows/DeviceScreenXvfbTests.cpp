// The frame, the warped screen and the effects together in a translucent window on a real X server, laid
// out as a device window lays them out: real pointer clicks (xdotool) land on the cell drawn under them,
// clicks beside the warped screen never reach the terminal, and new output shows at its warped place.
//
// With QUILLABY_SCREENSHOTS set to a folder, each bundled skin is also shown with a live shell and every
// effect on, under picom when it is installed, and the screen is saved there as <skin id>.png.
#include "LocalProcessTerminalView.h"
#include "TerminalView.h"
#include "ViewTestSupport.h"

#include "Settings/SkinEffectsSettings.h"
#include "Skins/SkinLoader.h"
#include "Skins/ViewportShape.h"
#include "Windows/EffectsLayer.h"
#include "Windows/ScreenContainer.h"
#include "Windows/SkinFrameView.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace Quillaby;

namespace {

const QString bundledSkins = QStringLiteral(QUILLABY_SOURCE_DIR "/Quillaby/Resources/Skins");

QColor colour(const RgbColor& c) {
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue));
}

// A terminal view that notes where it is pressed.
class PressRecorder : public Tessaline::TerminalView {
public:
    using TerminalView::TerminalView;
    QList<QPointF> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        presses.append(event->position());
        event->accept();
    }
};

// What a device window builds: the screen container with the terminal, the effects above it and the
// frame (behind both when the skin puts its screen in front), laid out at a scale.
struct Device {
    SkinManifest skin;
    QWidget window;
    ScreenContainer* container;
    EffectsLayer* effects;
    SkinFrameView* frame;
    Tessaline::TerminalView* terminal;

    Device(const SkinManifest& s, Tessaline::TerminalView* view, double scale)
        : skin(s)
        , terminal(view) {
        window.setWindowFlag(Qt::FramelessWindowHint);
        window.setAttribute(Qt::WA_TranslucentBackground);
        window.resize((QSizeF(skin.frameSize) * scale).toSize());
        container = new ScreenContainer(&window);
        effects = new EffectsLayer(&window);
        frame = new SkinFrameView(skin, &window);
        frame->setGeometry(window.rect());
        if (skin.screenInFront) frame->lower();
        else frame->raise();
        terminal->setNativeForegroundColor(colour(skin.palette.foreground));
        terminal->setNativeBackgroundColor(colour(skin.palette.background));
        terminal->setFont(QuillabyTest::testFont(13));
        container->registerPanel(HostedPanel{terminal, {}}, 0);
        layout(scale);
    }

    void layout(double s) {
        const QRectF v = skin.viewportRect;
        const QRectF upright(v.x() * s, v.y() * s, std::abs(v.width()) * s, std::abs(v.height()) * s);
        QList<QPointF> offsets;
        for (const QPointF& d : skin.viewportCornerOffsets) offsets.append(d * s);
        const QList<QPointF> quad = ViewportShape::corners(upright, offsets);
        const QRectF box = ViewportShape::boundingBox(quad);
        QList<QPointF> corners;
        for (const QPointF& p : quad) corners.append(p - box.topLeft());
        QList<double> radii;
        for (double r : skin.viewportCornerRadii) radii.append(r * s);
        container->configureViewport(box, upright.size(), corners, skin.viewportCornerRadius * s, radii);
        effects->setViewport(upright, quad, radii.size() == 4 ? radii : QList<double>(4, skin.viewportCornerRadius * s));
        // Clicks on clear art fall through to the desktop, as the device window's mask makes them.
        window.setMask(frame->mask() + container->mask().translated(container->pos()));
    }

    // Where a point of the terminal is drawn, in global coordinates.
    QPoint drawnAt(QPointF terminalPoint) const {
        const QPointF inContainer = container->panelTransform().map(terminalPoint) + QPointF(terminal->pos());
        return container->mapToGlobal(inContainer.toPoint());
    }
};

void xdotool(const QStringList& args) {
    QProcess::execute(QStringLiteral("xdotool"), args);
}

void clickAt(QPoint global) {
    xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
             QStringLiteral("click"), QStringLiteral("1")});
}

std::optional<SkinManifest> bundledSkin(const QString& id) {
    QTemporaryDir user;
    SkinLoader loader(SkinLoader::Folders{bundledSkins, user.path()});
    loader.loadAll();
    for (const SkinManifest& skin : loader.skins())
        if (skin.id == id) return skin;
    for (const SkinManifest& skin : SkinManifest::fallbackSkins())
        if (skin.id == id) return skin;
    return std::nullopt;
}

} // namespace

TEST(DeviceScreen, ClicksLandOnTheCellDrawnUnderThem) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) GTEST_SKIP() << "no xdotool";
    const auto skin = bundledSkin(QStringLiteral("desk-crt"));
    ASSERT_TRUE(skin);
    ASSERT_EQ(skin->viewportCornerOffsets.size(), 4) << "the desk tube's screen is a keystone";
    auto* terminal = new PressRecorder();
    Device device(*skin, terminal, 1.5);
    device.window.move(40, 30);
    device.window.show();
    ASSERT_TRUE(QuillabyTest::spinUntil([&] { return device.window.isVisible() && device.container->isWarped(); }));
    QuillabyTest::spinUntil([] { return false; }, 300);

    const QSizeF cell = terminal->cellDimension();
    struct Case {
        const char* name;
        int column, row;
    } cases[] = {{"top-left, where the warp moves most", 1, 0}, {"top-right", 60, 1}, {"middle", 30, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        terminal->presses.clear();
        const QPointF centre((c.column + 0.5) * cell.width(), (c.row + 0.5) * cell.height());
        clickAt(device.drawnAt(centre));
        ASSERT_TRUE(QuillabyTest::spinUntil([&] { return !terminal->presses.isEmpty(); }, 5000));
        const QPointF at = terminal->presses.front();
        EXPECT_EQ(int(at.x() / cell.width()), c.column);
        EXPECT_EQ(int(at.y() / cell.height()), c.row);
    }

    // Inside the screen's bounding box, left of the slanted top-left edge: the terminal hears nothing.
    terminal->presses.clear();
    const QPoint boxCorner = device.container->mapToGlobal(QPoint(1, 1));
    EXPECT_FALSE(device.container->panelPointAt(QPointF(1, 1)));
    clickAt(boxCorner);
    QuillabyTest::spinUntil([] { return false; }, 300);
    EXPECT_TRUE(terminal->presses.isEmpty());
}

TEST(DeviceScreen, NewOutputShowsAtItsWarpedPlace) {
    const auto skin = bundledSkin(QStringLiteral("desk-crt"));
    ASSERT_TRUE(skin);
    auto* terminal = new Tessaline::TerminalView();
    Device device(*skin, terminal, 1);
    device.window.move(40, 30);
    device.window.show();
    QuillabyTest::spinUntil([] { return false; }, 300);

    // A red block at row 2, columns 4 to 9, printed after the window was first drawn.
    terminal->feed(std::string_view("\x1b[3;5H\x1b[41m      \x1b[0m"));
    const QSizeF cell = terminal->cellDimension();
    const QPoint red = device.drawnAt(QPointF(7 * cell.width(), 2.5 * cell.height()));
    const auto pixel = [&] {
        const QImage shot = device.window.screen()->grabWindow(0).toImage();
        return QColor(shot.pixel(red));
    };
    EXPECT_TRUE(QuillabyTest::spinUntil([&] { return pixel().red() > 150 && pixel().green() < 80; }, 5000))
        << pixel().name().toStdString();
}

TEST(DeviceScreen, Screenshots) {
    const QString folder = qEnvironmentVariable("QUILLABY_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "QUILLABY_SCREENSHOTS not set";
    QDir().mkpath(folder);
    QProcess compositor;
    if (!QStandardPaths::findExecutable(QStringLiteral("picom")).isEmpty()) {
        compositor.start(QStringLiteral("picom"), {QStringLiteral("--backend"), QStringLiteral("xrender")});
        compositor.waitForStarted();
    }
    QList<SkinManifest> skins;
    for (const char* id : {"desk-crt", "pocket-glass", "handheld", "walkie"})
        if (const auto skin = bundledSkin(QString::fromLatin1(id))) skins.append(*skin);
    SkinManifest generic = SkinManifest::walkie();
    generic.id = QStringLiteral("generic-body");
    generic.frameImageName.reset();
    skins.append(generic);

    for (const SkinManifest& skin : skins) {
        SCOPED_TRACE(skin.id.toStdString());
        auto* terminal = new Tessaline::LocalProcessTerminalView();
        Device device(skin, terminal, 1);
        SkinEffectsSettings effects;
        effects.scanlines = true;
        effects.scanlineIntensity = 0.35;
        effects.glow = true;
        effects.curvature = true;
        device.effects->configure(effects, skin.palette);
        device.effects->setVisible(EffectsLayer::showsAnything(effects));
        device.window.move(30, 20);
        device.window.show();
        terminal->startProcess("/bin/sh", {"-c", "printf '\\033[1;32mquillaby\\033[0m on a %s screen\\n' warped; "
                                                 "for i in 1 2 3 4 5 6 7 8; do printf '%s  \\033[3%sm%s\\033[0m  "
                                                 "the quick brown fox jumps over the lazy dog\\n' $i $i line; done; "
                                                 "printf '\\033[7m full width reverse video line to show the edges "
                                                 "of the screen and its corners                 \\033[0m\\n'; "
                                                 "exec sleep 30"});
        device.frame->pulseKey(QStringLiteral("a"));
        device.frame->pulseKey(QStringLiteral("space"));
        QuillabyTest::spinUntil([] { return false; }, 1200);
        device.frame->pulseKey(QStringLiteral("a"));
        QuillabyTest::spinUntil([] { return false; }, 40);
        const QString path = folder + QLatin1Char('/') + skin.id + QStringLiteral(".png");
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
        terminal->terminate();
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    if (compositor.state() != QProcess::NotRunning) {
        compositor.terminate();
        compositor.waitForFinished(3000);
    }
}
