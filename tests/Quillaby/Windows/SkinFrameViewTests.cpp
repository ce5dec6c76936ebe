// The frame view: the viewport is punched only out of art that is opaque there, the generic body stands
// in for a missing image, key art lights and fades on the keys typed in its window, and clicks are taken
// only on opaque art outside the screen.
#include "Windows/SkinFrameView.h"

#include "QtTestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using Quillaby::SkinFrameView;
using Quillaby::SkinManifest;

namespace {

// A 100 x 80 device whose screen is (20, 10, 60, 40); the art is drawn at twice that size.
SkinManifest testSkin(std::optional<QString> image) {
    SkinManifest skin;
    skin.id = QStringLiteral("test");
    skin.name = QStringLiteral("Pocket Test");
    skin.frameSize = QSizeF(100, 80);
    skin.viewportRect = QRectF(20, 10, 60, 40);
    skin.viewportCornerRadius = 4;
    skin.palette.foreground = Quillaby::RgbColor::rgb(0, 1, 0);
    skin.palette.background = Quillaby::RgbColor::rgb(0, 0, 0);
    skin.frameImageName = std::move(image);
    return skin;
}

// Art that is opaque grey everywhere except the screen, filled with the given alpha, and a clear margin
// two frame points wide on the left.
QString writeArt(const QTemporaryDir& dir, int screenAlpha) {
    QImage art(200, 160, QImage::Format_ARGB32);
    art.fill(QColor(90, 90, 90));
    QPainter painter(&art);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(40, 20, 120, 80), QColor(10, 10, 10, screenAlpha));
    painter.fillRect(QRect(0, 0, 4, 160), Qt::transparent);
    painter.end();
    const QString path = dir.filePath(QStringLiteral("art%1.png").arg(screenAlpha));
    art.save(path);
    return path;
}

int alphaAt(const QImage& image, QPoint at) {
    return qAlpha(image.pixel(at));
}

QColor colourAt(const QImage& image, QPoint at) {
    return QColor::fromRgba(image.pixel(at));
}

QRgb rgbAt(const QImage& image, QPoint at) {
    return image.pixel(at) | 0xff000000u;
}

QRgb rgbOf(float r, float g, float b) {
    return QColor::fromRgbF(r, g, b).rgb();
}

} // namespace

TEST(SkinFrameView, ScreenIsPunchedOnlyOutOfOpaqueArt) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int alpha;
        bool transparent;
        int centreAlpha;
    } cases[] = {
        {"alpha 29 is transparent: drawn as is", 29, true, 29},
        {"alpha 30 is opaque: cut out", 30, false, 0},
        {"solid screen: cut out", 255, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFrameView view(testSkin(writeArt(dir, c.alpha)));
        ASSERT_TRUE(view.hasFrameImage());
        EXPECT_EQ(view.skinHasTransparentScreen(), c.transparent);
        const QImage frame = view.renderFrame(1);
        EXPECT_NEAR(alphaAt(frame, QPoint(50, 30)), c.centreAlpha, 1);
        EXPECT_EQ(alphaAt(frame, QPoint(10, 30)), 255) << "the body stays";
        // The rounded corner of the hole keeps the art's corner pixel when cut.
        if (!c.transparent) {
            EXPECT_GT(alphaAt(frame, QPoint(20, 10)), 0);
        }
    }
}

TEST(SkinFrameView, ClicksOutsideTheScreenOnOpaqueArtOnly) {
    QTemporaryDir dir;
    SkinFrameView view(testSkin(writeArt(dir, 255)));
    struct Case {
        const char* name;
        QPointF point;
        bool takes;
    } cases[] = {
        {"screen centre", {50, 30}, false},
        {"body", {10, 30}, true},
        {"clear margin", {1, 30}, false},
        {"outside the view", {-5, 30}, false},
        {"rounded corner of the screen", {20.3, 10.3}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(view.takesClick(c.point), c.takes);
        EXPECT_EQ(view.mask().contains(c.point.toPoint()), c.takes);
    }
    // The generic body takes every click outside the screen, even on its rounded corners.
    SkinFrameView body(testSkin(std::nullopt));
    EXPECT_TRUE(body.takesClick(QPointF(0.5, 0.5)));
    EXPECT_FALSE(body.takesClick(QPointF(50, 30)));
}

TEST(SkinFrameView, ArtDecodedAheadGoesToTheNextViewOnly) {
    QTemporaryDir dir;
    const SkinManifest skin = testSkin(writeArt(dir, 255));
    SkinFrameView::prefetchFrameImage(skin);
    SkinFrameView::prefetchFrameImage(skin);
    SkinFrameView view(skin);
    EXPECT_TRUE(view.hasFrameImage());
    EXPECT_EQ(alphaAt(view.renderFrame(1), QPoint(50, 30)), 0) << "punched as art read in place";
    // Nothing is kept for a later view: it reads the file, now gone.
    QFile::remove(*skin.frameImageName);
    SkinFrameView later(skin);
    EXPECT_FALSE(later.hasFrameImage());
}

TEST(SkinFrameView, AResizeOfAShownViewRedrawsItsFrameAndMask) {
    QTemporaryDir dir;
    SkinFrameView view(testSkin(writeArt(dir, 255)));
    view.show();
    EXPECT_FALSE(view.mask().contains(QPoint(170, 30)));
    view.resize(200, 160);
    EXPECT_TRUE(view.mask().contains(QPoint(170, 30))) << "the body at twice the size";
    EXPECT_FALSE(view.mask().contains(QPoint(100, 60))) << "the screen at twice the size";
}

TEST(SkinFrameView, ArtNamedForAnotherFormatStillDecodes) {
    QTemporaryDir dir;
    const QString misnamed = dir.filePath(QStringLiteral("frame.jpg"));
    ASSERT_TRUE(QFile::rename(writeArt(dir, 255), misnamed));
    EXPECT_TRUE(SkinFrameView(testSkin(misnamed)).hasFrameImage());
}

TEST(SkinFrameView, MissingArtDrawsTheGenericBody) {
    SkinFrameView missing(testSkin(QStringLiteral("/nowhere/frame.png")));
    EXPECT_FALSE(missing.hasFrameImage());
    // Art named as a pipe blocked the window's open until something wrote to it.
    QTemporaryDir dir;
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("frame.png")).constData(), 0600), 0);
    EXPECT_FALSE(SkinFrameView(testSkin(dir.filePath("frame.png"))).hasFrameImage());
    SkinFrameView::prefetchFrameImage(testSkin(dir.filePath("frame.png")));
    EXPECT_FALSE(SkinFrameView(testSkin(dir.filePath("frame.png"))).hasFrameImage()) << "decoded ahead";
    missing.resize(200, 160);
    const QImage frame = missing.renderFrame(1);

    EXPECT_EQ(rgbAt(frame, QPoint(100, 3)), rgbOf(0.12f, 0.13f, 0.15f)) << "body";
    EXPECT_EQ(rgbAt(frame, QPoint(100, 17)), rgbOf(0.08f, 0.09f, 0.10f)) << "bezel";
    EXPECT_EQ(alphaAt(frame, QPoint(100, 60)), 0) << "screen hole";
    EXPECT_EQ(rgbAt(frame, QPoint(12, 16)), rgbOf(0.25f, 0.26f, 0.28f)) << "screw";
    EXPECT_LT(qGreen(rgbAt(frame, QPoint(16, 14))), qGreen(rgbOf(0.25f, 0.26f, 0.28f))) << "screw slot";
    // Scaled viewport (40, 20, 120, 80): lights at x = 80, 108, 136, y = 112.
    EXPECT_EQ(rgbAt(frame, QPoint(83, 115)), rgbOf(0.2f, 0.8f, 0.3f)) << "PWR";
    EXPECT_EQ(rgbAt(frame, QPoint(111, 115)), rgbOf(0.3f, 0.5f, 1.0f)) << "NET";
    EXPECT_EQ(rgbAt(frame, QPoint(139, 115)), rgbOf(0.9f, 0.6f, 0.1f)) << "ACT";

    // The name is drawn in upper case, the labels beside their lights.
    const auto nameArea = [](const QString& name) {
        SkinManifest skin = testSkin(std::nullopt);
        skin.name = name;
        SkinFrameView view(skin);
        view.resize(200, 160);
        return view.renderFrame(1).copy(QRect(40, 110, 38, 14));
    };
    EXPECT_EQ(nameArea(QStringLiteral("pocket test")), nameArea(QStringLiteral("POCKET TEST")));
    EXPECT_NE(nameArea(QStringLiteral("pocket test")), nameArea(QStringLiteral("other")));
    const QImage label = frame.copy(QRect(88, 110, 14, 10));
    bool drawn = false;
    for (int y = 0; y < label.height(); ++y)
        for (int x = 0; x < label.width(); ++x) drawn = drawn || colourAt(label, QPoint(x, y)).red() > 60;
    EXPECT_TRUE(drawn) << "PWR label";
}

TEST(SkinFrameView, PulseRisesToPointNineAndFades) {
    EXPECT_EQ(SkinFrameView::pulseOpacity(0), 0);
    EXPECT_EQ(SkinFrameView::pulseOpacity(-0.1), 0);
    EXPECT_EQ(SkinFrameView::pulseOpacity(0.25), 0);
    EXPECT_EQ(SkinFrameView::pulseOpacity(1), 0);
    double peak = 0, peakAt = 0, previous = 0;
    bool falling = false;
    for (double t = 0; t < 0.25; t += 0.0005) {
        const double o = SkinFrameView::pulseOpacity(t);
        if (o > peak) peak = o, peakAt = t;
        if (o < previous) {
            falling = true;
        } else if (falling) {
            EXPECT_LE(o, previous + 1e-12) << "rises once, then only falls, at " << t;
        }
        previous = o;
    }
    EXPECT_NEAR(peak, 0.9, 0.005);
    // The eased time reaches 10% early: the light peaks within the first 8% of the quarter second.
    EXPECT_LT(peakAt, 0.02);
    EXPECT_GT(SkinFrameView::pulseOpacity(0.2), 0);
}

namespace {

struct KeyFixture {
    qint64 clock = 1000;
    QWidget window;
    QWidget* typing;
    SkinFrameView* view;

    KeyFixture() {
        SkinManifest skin = testSkin(std::nullopt);
        skin.keys = {
            {QRectF(2, 60, 8, 8), QStringLiteral("a"), std::nullopt},
            {QRectF(12, 60, 8, 8), QStringLiteral("a"), QStringLiteral("circle")},
            {QRectF(22, 60, 8, 8), QStringLiteral("shift"), std::nullopt},
            {QRectF(32, 60, 8, 8), QStringLiteral("cmd"), std::nullopt},
            {QRectF(42, 60, 8, 8), QStringLiteral("b"), std::nullopt},
            {QRectF(52, 60, 8, 8), QStringLiteral("return"), std::nullopt},
        };
        view = new SkinFrameView(skin, &window);
        view->setClockForTesting([this] { return clock; });
        typing = new QWidget(&window);
    }

    void send(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
        QKeyEvent event(type, key, modifiers, text);
        QApplication::sendEvent(typing, &event);
    }
    // Lit: the opacity shortly after the pulse started.
    QList<bool> lit(const QString& name) {
        QList<bool> result;
        for (double o : view->keyOpacities(name)) result.append(o > 0);
        return result;
    }
};

} // namespace

TEST(SkinFrameView, TypedKeysLightTheirArt) {
    KeyFixture f;
    EXPECT_TRUE(f.view->hasKeyMonitor());
    f.send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    f.send(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
    f.clock += 5;
    EXPECT_EQ(f.lit(QStringLiteral("a")), (QList<bool>{true, true}));
    EXPECT_EQ(f.lit(QStringLiteral("shift")), QList<bool>{true});
    EXPECT_EQ(f.lit(QStringLiteral("b")), QList<bool>{false});
    f.clock += 250;
    EXPECT_EQ(f.lit(QStringLiteral("a")), (QList<bool>{false, false})) << "faded after a quarter second";

    // Ctrl+B names its key though its text is a control character; Return lights "return".
    f.send(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02"));
    f.send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    f.clock += 5;
    EXPECT_EQ(f.lit(QStringLiteral("b")), QList<bool>{true});
    EXPECT_EQ(f.lit(QStringLiteral("return")), QList<bool>{true});
}

TEST(SkinFrameView, ModifierChangesLightTheModifiersHeld) {
    KeyFixture f;
    f.send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    f.clock += 300;
    f.send(QEvent::KeyPress, Qt::Key_Meta, Qt::ShiftModifier | Qt::MetaModifier);
    f.clock += 5;
    EXPECT_EQ(f.lit(QStringLiteral("shift")), QList<bool>{true});
    EXPECT_EQ(f.lit(QStringLiteral("cmd")), QList<bool>{true});
    f.clock += 300;
    // Releasing Shift lights what is still held.
    f.send(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier | Qt::MetaModifier);
    f.clock += 5;
    EXPECT_EQ(f.lit(QStringLiteral("shift")), QList<bool>{false});
    EXPECT_EQ(f.lit(QStringLiteral("cmd")), QList<bool>{true});
}

TEST(SkinFrameView, KeysOfOtherWindowsAndKeylessSkinsLightNothing) {
    KeyFixture f;
    QWidget other;
    QKeyEvent event(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&other, &event);
    EXPECT_TRUE(event.isAccepted() || !event.isAccepted()) << "the event goes on untouched";
    f.clock += 5;
    EXPECT_EQ(f.lit(QStringLiteral("a")), (QList<bool>{false, false}));

    SkinFrameView keyless(testSkin(std::nullopt));
    EXPECT_FALSE(keyless.hasKeyMonitor());
}

TEST(SkinFrameView, OnlyTheExactWordCircleDrawsAnEllipse) {
    const auto cornerLit = [](const QString& shape) {
        SkinManifest skin = testSkin(std::nullopt);
        skin.keys = {{QRectF(4, 56, 20, 20), QStringLiteral("a"), shape}};
        SkinFrameView view(skin);
        qint64 clock = 0;
        view.setClockForTesting([&] { return clock; });
        view.pulseKey(QStringLiteral("a"));
        clock = 15;
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        view.render(&image);
        return QColor(image.pixel(5, 57)).green() > QColor(image.pixel(2, 60)).green() + 20;
    };
    EXPECT_FALSE(cornerLit(QStringLiteral("circle")));
    EXPECT_TRUE(cornerLit(QStringLiteral("Circle")));
    EXPECT_TRUE(cornerLit(QStringLiteral("rect")));
}

TEST(SkinFrameView, RightClickGoesToTheContextMenuCallback) {
    SkinFrameView view(testSkin(std::nullopt));
    int calls = 0;
    view.onContextMenu = [&](QMouseEvent*, SkinFrameView* from) {
        EXPECT_EQ(from, &view);
        ++calls;
    };
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    EXPECT_EQ(calls, 1);
}
