#include "BuilderFixture.h"

#include "App/AppDelegate.h"
#include "Builder/CanvasView.h"
#include "Builder/OpacityColorWell.h"
#include "Builder/PalettePresetPicker.h"
#include "Builder/PreviewWindow.h"
#include "Builder/PropertiesPanel.h"
#include "Builder/SkinBuilderWindowController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QUrl>

#include <gtest/gtest.h>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

QStringList issueTexts(const PropertiesPanel& panel) {
    QStringList texts;
    for (const QLabel* label : panel.issueList()->findChildren<QLabel*>("issue"))
        texts.append(label->text());
    return texts;
}

} // namespace

class BuilderWindow : public BuilderFixture {
protected:
    void SetUp() override {
        BuilderFixture::SetUp();
        controller = std::make_unique<SkinBuilderWindowController>();
        controller->showWindow();
    }
    void TearDown() override {
        controller.reset();
        BuilderFixture::TearDown();
    }

    SkinBuilderModel& doc() { return controller->model(); }
    PropertiesPanel& panel() { return *controller->view()->properties(); }
    bool shown(QWidget* widget) { return widget && widget->isVisibleTo(controller->window()); }
    void loadDocImage(QSize pixels, const QString& name = "front.png") {
        const QString path = dir.filePath(name);
        writeImage(path, pixels);
        doc().loadImage(path);
        ASSERT_TRUE(doc().skinImage());
    }

    std::unique_ptr<SkinBuilderWindowController> controller;
};

TEST_F(BuilderWindow, ANewBuilderThenAnImage) {
    EXPECT_EQ(controller->window()->windowTitle(), "Quillaby Skin Builder");
    EXPECT_GE(controller->window()->minimumSizeHint().width(), 940);
    EXPECT_EQ(controller->view()->minimumSize(), QSize(940, 540));
    EXPECT_GE(controller->window()->width(), 940);
    EXPECT_EQ(controller->view()->workArea(), controller->view()->dropZone());

    EXPECT_FALSE(shown(panel().button("New")));
    EXPECT_FALSE(shown(panel().button("Change PNG")));
    EXPECT_TRUE(shown(panel().button("Open Skin…")));
    EXPECT_FALSE(shown(panel().imageSection()));
    EXPECT_FALSE(panel().button("Draw Viewport")->isEnabled());
    for (const char* title : {"Preview Skin", "Export Skin", "Install Skin"}) {
        SCOPED_TRACE(title);
        EXPECT_TRUE(shown(panel().button(title)));
        EXPECT_FALSE(panel().button(title)->isEnabled());
    }
    EXPECT_EQ(issueTexts(panel()), QStringList({"Drop a PNG to start.", "Skin needs a name.",
                                                "Draw the viewport rect over the screen area."}));
    EXPECT_FALSE(shown(panel().statusLine()));

    loadDocImage(QSize(800, 1100));
    EXPECT_EQ(controller->view()->workArea(), controller->view()->canvas());
    EXPECT_TRUE(shown(panel().button("New")));
    EXPECT_TRUE(shown(panel().button("Change PNG")));
    EXPECT_TRUE(shown(panel().imageSection()));
    EXPECT_TRUE(panel().button("Draw Viewport")->isEnabled());
    EXPECT_TRUE(shown(panel().inspector()));
    EXPECT_TRUE(shown(panel().statusLine()));
    EXPECT_EQ(panel().statusLine()->text(), "Loaded 800x1100px");
    EXPECT_GT(panel().statusLine()->palette().color(QPalette::WindowText).green(), 100);
    EXPECT_EQ(issueTexts(panel()), QStringList({"Draw the viewport rect over the screen area."}));

    doc().setViewport(QRectF(10, 10, 100, 100));
    EXPECT_FALSE(shown(panel().issueList()));
    EXPECT_TRUE(panel().button("Install Skin")->isEnabled());

    // Tools: the hints follow; Remove BG always uses 40; Undo counts the steps.
    panel().button("Pen Crop")->click();
    EXPECT_TRUE(shown(panel().penHint()));
    EXPECT_TRUE(panel().penHint()->text().contains("OUTSIDE"));
    EXPECT_FALSE(shown(panel().inspector()));
    panel().button("Magic Wand")->click();
    EXPECT_FALSE(shown(panel().penHint()));
    EXPECT_TRUE(shown(panel().toleranceSlider()));
    panel().toleranceSlider()->setValue(77);
    EXPECT_EQ(doc().magicWandTolerance(), 77);
    EXPECT_FALSE(shown(panel().button("Undo (0)")));
    panel().button("Remove BG")->click();
    panel().button("Trim")->click();
    EXPECT_TRUE(shown(panel().button("Undo (2)")));
    panel().button("Undo (2)")->click();
    EXPECT_EQ(panel().statusLine()->text(), "Undo (1 remaining)");

    // "New" empties the document without asking and brings back the drop zone.
    panel().button("New")->click();
    EXPECT_EQ(controller->view()->workArea(), controller->view()->dropZone());
    EXPECT_FALSE(shown(panel().imageSection()));
}

TEST_F(BuilderWindow, ADropLoadsOnlyTheFirstFile) {
    const QString image = dir.filePath("first.png");
    writeImage(image, QSize(300, 200));
    const QString text = dir.filePath("notes.txt");
    writeBytes(text, "not an image");

    DropZoneView& zone = *controller->view()->dropZone();
    EXPECT_FALSE(zone.dropUrls({}));
    EXPECT_TRUE(zone.dropUrls({QUrl::fromLocalFile(text), QUrl::fromLocalFile(image)}));
    QApplication::processEvents();
    EXPECT_EQ(doc().statusMessage(), "Failed to load image");
    EXPECT_EQ(controller->view()->workArea(), controller->view()->dropZone());

    EXPECT_TRUE(
        zone.dropUrls({QUrl::fromLocalFile(image), QUrl::fromLocalFile(text), QUrl::fromLocalFile(text)}));
    QApplication::processEvents();
    EXPECT_EQ(doc().statusMessage(), "Loaded 300x200px");
    EXPECT_EQ(controller->view()->workArea(), controller->view()->canvas());
}

TEST_F(BuilderWindow, CornerRadiiAndDistortion) {
    doc().setViewportCornerRadii({3, 4});
    ASSERT_TRUE(shown(panel().inspector()));
    panel().radiusSlider(3)->setValue(1200);
    EXPECT_EQ(doc().viewportCornerRadii(), QList<double>({3, 4, 6, 12}));
    QLabel* value = panel().inspector()->findChildren<QLabel*>().last();
    EXPECT_EQ(value->text(), "12");

    auto buttonText = [&](const QString& text) {
        for (QToolButton* b : panel().inspector()->findChildren<QToolButton*>())
            if (b->text() == text) return b;
        return static_cast<QToolButton*>(nullptr);
    };
    buttonText("All → 6")->click();
    EXPECT_EQ(doc().viewportCornerRadii(), QList<double>({6, 6, 6, 6}));
    EXPECT_EQ(PropertiesPanel::radiusValue(doc(), 2), 6);

    EXPECT_FALSE(shown(buttonText("Reset shape")));
    doc().setViewportCornerOffsets({QPointF(0, 3), QPointF(1, 0)});
    EXPECT_TRUE(shown(buttonText("Reset shape")));
    buttonText("Reset shape")->click();
    EXPECT_EQ(doc().viewportCornerOffsets(), QList<QPointF>(4, QPointF(0, 0)));
    EXPECT_FALSE(shown(buttonText("Reset shape")));
}

TEST_F(BuilderWindow, PaletteShuffleWellsAndPresets) {
    std::optional<QString> last;
    for (int i = 0; i < 30; ++i) {
        panel().button("Shuffle")->click();
        ASSERT_TRUE(doc().lastShuffledId());
        EXPECT_NE(doc().lastShuffledId(), last);
        last = doc().lastShuffledId();
    }
    EXPECT_EQ(panel().presetPicker()->currentName(), CuratedPalettes::byId(*last)->name);
    EXPECT_EQ(doc().ansiColors()->size(), 16);

    doc().setAnsiColors(std::nullopt);
    panel().ansiWell(5)->pick(QColor(200, 0, 200));
    ASSERT_TRUE(doc().ansiColors());
    ASSERT_EQ(doc().ansiColors()->size(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ((*doc().ansiColors())[i].toQColor(), i == 5 ? QColor(200, 0, 200) : QColor(Qt::black)) << i;
    doc().setAnsiColors(QList<RgbColor>(8, RgbColor::rgb(1, 1, 1)));
    EXPECT_EQ(panel().ansiWell(12)->color(), QColor(Qt::black));
    panel().ansiWell(12)->pick(Qt::red);
    EXPECT_EQ(doc().ansiColors()->size(), 16);
    EXPECT_EQ((*doc().ansiColors())[7], RgbColor::rgb(1, 1, 1));
    EXPECT_EQ((*doc().ansiColors())[12].toQColor(), QColor(Qt::red));

    // The cursor well follows the foreground until set.
    doc().setCursorColor(std::nullopt);
    EXPECT_EQ(panel().cursorWell()->color(), doc().fgColor().toQColor());
    panel().cursorWell()->pick(Qt::yellow);
    EXPECT_EQ(doc().cursorColor()->toQColor(), QColor(Qt::yellow));

    // An unknown id, the filter and a pick.
    doc().setLastShuffledId(QStringLiteral("no-such-palette"));
    PalettePresetPicker& picker = *panel().presetPicker();
    EXPECT_EQ(picker.currentName(), "Presets");
    picker.setQuery(CuratedPalettes::all()[3].name.toUpper());
    ASSERT_FALSE(picker.filtered().isEmpty());
    EXPECT_EQ(picker.filtered().first().id, CuratedPalettes::all()[3].id);
    picker.setQuery(CuratedPalettes::all()[3].id + "-nothing");
    EXPECT_TRUE(picker.filtered().isEmpty());
    picker.setQuery(QString());
    EXPECT_EQ(picker.filtered().size(), CuratedPalettes::all().size());
    picker.setOpen(true);
    picker.choose(3);
    EXPECT_FALSE(picker.isOpen());
    EXPECT_EQ(doc().lastShuffledId(), CuratedPalettes::all()[3].id);
    EXPECT_EQ(picker.currentName(), CuratedPalettes::all()[3].name);
}

TEST_F(BuilderWindow, LaunchSizeShowsPercentAndWindow) {
    loadDocImage(QSize(800, 1100));
    panel().launchSlider()->setValue(24); // 24 x 0.05
    EXPECT_DOUBLE_EQ(doc().launchScale(), 1.2000000000000002);
    EXPECT_EQ(panel().launchPercent()->text(), "120%");
    EXPECT_EQ(panel().windowLine()->text(), "Window: 480x660pt");
    doc().setLaunchScale(1.15);
    EXPECT_EQ(panel().launchPercent()->text(), "115%");
}

TEST_F(BuilderWindow, PreviewFollowsTheDocument) {
    loadDocImage(QSize(1000, 800));
    doc().setViewport(QRectF(100, 100, 400, 300));
    doc().setSkinName("Tester");
    doc().previewSkin();
    PreviewPanel* preview = controller->preview().window();
    ASSERT_TRUE(preview);
    EXPECT_EQ(doc().statusMessage(), "Preview open -- ESC or double-click to close");
    EXPECT_EQ(preview->size(), QSize(500, 400));
    EXPECT_EQ(preview->hintText(), "ESC or double-click to close");
    EXPECT_EQ(preview->transcript()[0], "TESTER -- PREVIEW MODE");
    EXPECT_EQ(preview->transcript()[4], "> quillaby --skin \"Tester\"");

    const QPoint origin = preview->pos();
    doc().setLaunchScale(1.5);
    QApplication::processEvents();
    EXPECT_EQ(preview->size(), QSize(750, 600));
    EXPECT_EQ(preview->pos(), origin);

    // The screen is drawn in the background colour where the frame lets it through.
    QImage shot(preview->size(), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::transparent);
    QPainter painter(&shot);
    preview->render(painter);
    painter.end();
    EXPECT_EQ(qAlpha(shot.pixel(2, 300)), 0) << "transparent frame margin";
    EXPECT_GT(qAlpha(shot.pixel(400, 330)), 0);

    // Scanlines darken bars 2 high every 4 rows of the screen, over the frame when the screen is in front.
    doc().setScreenInFront(true);
    doc().setBgColor(RgbColor::rgb(1, 1, 1));
    doc().setScanlines(true);
    doc().setScanlineIntensity(1);
    QApplication::processEvents();
    shot.fill(Qt::transparent);
    QPainter lined(&shot);
    preview->render(lined);
    lined.end();
    EXPECT_LT(qRed(shot.pixel(200, 75 + 202)), 150);
    EXPECT_GT(qRed(shot.pixel(200, 75 + 204)), 240);
    doc().setScanlines(false);
    doc().setScreenInFront(false);

    // A viewport of no width scales its radii like the rest: the screen stays finite and drawable.
    doc().setViewport(QRectF(100, 100, 0, 300));
    doc().setViewportCornerOffsets({QPointF(20, 0), QPointF(40, 0), QPointF(40, 0), QPointF(20, 0)});
    QApplication::processEvents();
    shot.fill(Qt::transparent);
    QPainter again(&shot);
    preview->render(again);
    again.end();
    EXPECT_GT(qAlpha(shot.pixel(int(130 * 0.75), 330)), 0);
    doc().setViewport(QRectF(100, 100, 400, 300));
    doc().setViewportCornerOffsets(QList<QPointF>(4, QPointF(0, 0)));

    // No drawer viewport: the toggle does nothing.
    doc().setDrawerEnabled(true);
    preview->toggleDrawer();
    EXPECT_FALSE(preview->drawerAnimating());
    doc().setDrawerViewport(QRectF(10, 10, 100, 50));
    QApplication::processEvents();
    EXPECT_EQ(preview->hintText(), "Ctrl+D drawer · ESC or double-click to close");
    preview->toggleDrawer();
    EXPECT_TRUE(preview->drawerAnimating());
    preview->stepDrawer(0.13);
    EXPECT_NEAR(preview->drawerProgress(), 0.75, 1e-9);
    preview->stepDrawer(0.3);
    EXPECT_EQ(preview->drawerProgress(), 1);
    EXPECT_FALSE(preview->drawerAnimating());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(preview, &escape);
    QApplication::processEvents();
    EXPECT_FALSE(controller->preview().window());

    doc().previewSkin();
    preview = controller->preview().window();
    ASSERT_TRUE(preview);
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &twice);
    QApplication::processEvents();
    EXPECT_FALSE(controller->preview().window());

    // Reset closes an open preview.
    doc().previewSkin();
    ASSERT_TRUE(controller->preview().window());
    doc().reset();
    EXPECT_FALSE(controller->preview().window());
}

TEST_F(BuilderWindow, TheDelegateKeepsOneBuilderAndAsksBeforeReplacing) {
    AppDelegate delegate;
    delegate.showSkinBuilder();
    ASSERT_TRUE(delegate.skinBuilderController);
    SkinBuilderWindowController* first = delegate.skinBuilderController.get();
    delegate.showSkinBuilder();
    EXPECT_EQ(delegate.skinBuilderController.get(), first);
    EXPECT_TRUE(first->window()->isVisible());

    // An image into an empty builder: no question.
    const QString image = dir.filePath("phone.png");
    writeImage(image, QSize(400, 600));
    delegate.openSkinBuilderWithImage(image);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(first->model().skinName(), "phone");

    // A skin folder over it: asked; Cancel keeps the work.
    const QString folder = dir.filePath("skin");
    first->model().setViewport(QRectF(10, 10, 100, 100));
    first->model().setSkinName("Kept");
    alertAnswer = 1;
    delegate.openSkinBuilder(folder);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].message, "Discard the current skin in the builder?");
    EXPECT_EQ(alerts[0].informativeText, "Editing this skin replaces the one you're working on.");
    EXPECT_EQ(alerts[0].buttons, QStringList({"Discard & Edit", "Cancel"}));
    EXPECT_EQ(first->model().skinName(), "Kept");

    alertAnswer = 0;
    delegate.openSkinBuilder(folder);
    EXPECT_EQ(first->model().statusMessage(), "No skin.json in that folder.");
    delegate.openSkinBuilderWithImage(image);
    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts[2].message, "Discard the current skin in the builder?");
    EXPECT_EQ(alerts[2].informativeText, "Loading this image replaces the skin you're working on.");
    EXPECT_EQ(alerts[2].buttons, QStringList({"Discard & Load", "Cancel"}));
    EXPECT_EQ(first->model().statusMessage(), "Loaded 400x600px");

    // Closing only hides: the work is there when the builder comes back.
    first->window()->close();
    delegate.showSkinBuilder();
    EXPECT_EQ(first->model().imagePixelSize(), QSizeF(400, 600));
    EXPECT_EQ(alerts.size(), 3);
}
