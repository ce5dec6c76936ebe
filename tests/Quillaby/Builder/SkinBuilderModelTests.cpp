#include "Builder/SkinBuilderModel.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "BuilderTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

const QStringList allIssues{"Drop a PNG to start.", "Skin needs a name.",
                            "Draw the viewport rect over the screen area."};

} // namespace

TEST(SkinBuilderModel, ANewModelStartsEmptyWithEveryIssueInOrder) {
    SkinBuilderModel model;
    EXPECT_FALSE(model.skinImage());
    EXPECT_EQ(model.imageURL(), QString());
    EXPECT_EQ(model.imagePixelSize(), QSizeF(0, 0));
    EXPECT_EQ(model.imageGeneration(), 0);
    EXPECT_FALSE(model.viewport());
    EXPECT_EQ(model.viewportCornerOffsets(), QList<QPointF>(4, QPointF(0, 0)));
    EXPECT_EQ(model.viewportCornerRadii(), QList<double>({6, 6, 6, 6}));
    EXPECT_EQ(model.currentTool(), DrawTool::viewport);
    EXPECT_EQ(model.magicWandTolerance(), 32);
    EXPECT_EQ(model.buttonShape(), ButtonShape::rect);
    EXPECT_EQ(model.launchScale(), 1.0);
    EXPECT_EQ(model.fgColor(), RgbColor::rgb(0, 1, 0));
    EXPECT_EQ(model.bgColor(), RgbColor::rgb(0.04, 0.04, 0.04));
    EXPECT_FALSE(model.cursorColor());
    EXPECT_FALSE(model.ansiColors());
    EXPECT_EQ(model.scanlineIntensity(), 0.3);
    EXPECT_EQ(model.scanlineStyle(), "standard");
    EXPECT_EQ(model.glowIntensity(), 0.4);
    EXPECT_EQ(model.curvatureAmount(), 0.2);
    EXPECT_FALSE(model.statusMessage());
    EXPECT_FALSE(model.statusIsError());
    EXPECT_TRUE(model.history().stack.isEmpty());
    EXPECT_EQ(model.validationIssues(), allIssues);
}

TEST(SkinBuilderModel, ValidationCountsOnlySpacesAndTabsAsBlank) {
    struct Case {
        const char* name;
        QString skinName;
        bool viewport;
        QStringList expected;
    };
    const Case cases[] = {
        {"three spaces", "   ", false, allIssues},
        {"spaces and tabs", " \t ", true, {allIssues[0], allIssues[1]}},
        {"one letter", "x", false, {allIssues[0], allIssues[2]}},
        {"a newline is a name", "\n", true, {allIssues[0]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SkinBuilderModel model;
        model.setSkinName(c.skinName);
        if (c.viewport) model.setViewport(QRectF(1, 2, 30, 40));
        EXPECT_EQ(model.validationIssues(), c.expected);
    }
}

TEST(SkinBuilderModel, LoadingAnImageStartsANewSkinNamedAfterTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Old_Phone-2.png");
    writeImage(path, QSize(640, 960));
    SkinBuilderModel model;
    model.setViewport(QRectF(1, 2, 30, 40));
    model.setViewportCornerOffsets({QPointF(1, 1)});
    model.setViewportCornerRadii({1, 2, 3, 4});
    model.setButtons({ButtonDef{}});
    model.setCurrentTool(DrawTool::magicWand);
    model.setDrawerEnabled(true);
    model.setDrawerEdge(DrawerEdge::left);
    model.setFgColor(RgbColor::rgb(1, 0, 0));
    model.setAuthor("Ann");
    model.setLaunchScale(1.5);
    QSignalSpy changed(&model, &SkinBuilderModel::changed);
    QSignalSpy image(&model, &SkinBuilderModel::imageChanged);

    model.loadImage(path);

    ASSERT_TRUE(model.skinImage());
    EXPECT_EQ(model.imageURL(), path);
    EXPECT_EQ(model.skinName(), "Old Phone 2");
    EXPECT_EQ(model.imagePixelSize(), QSizeF(640, 960));
    EXPECT_EQ(model.skinImage()->size, QSizeF(640, 960));
    EXPECT_EQ(model.statusMessage(), "Loaded 640x960px");
    EXPECT_FALSE(model.statusIsError());
    EXPECT_EQ(model.currentTool(), DrawTool::viewport);
    EXPECT_FALSE(model.viewport());
    EXPECT_EQ(model.viewportCornerOffsets(), QList<QPointF>(4, QPointF(0, 0)));
    EXPECT_EQ(model.viewportCornerRadii(), QList<double>({6, 6, 6, 6}));
    EXPECT_TRUE(model.buttons().isEmpty());
    EXPECT_TRUE(model.history().stack.isEmpty());
    EXPECT_EQ(model.imageGeneration(), 1);
    // What describes the skin rather than the image stays.
    EXPECT_TRUE(model.drawerEnabled());
    EXPECT_EQ(model.drawerEdge(), DrawerEdge::left);
    EXPECT_EQ(model.fgColor(), RgbColor::rgb(1, 0, 0));
    EXPECT_EQ(model.author(), "Ann");
    EXPECT_EQ(model.launchScale(), 1.5);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(image.count(), 1);

    model.loadImage(path);
    EXPECT_EQ(model.imageGeneration(), 2);
}

TEST(SkinBuilderModel, FileNamesBecomeSkinNames) {
    struct Case {
        const char* file;
        const char* expected;
    };
    const Case cases[] = {
        {"my_phone-front.png", "my phone front"},
        {"Pocket.Term v2.png", "Pocket.Term v2"},
        {"__x--.png", "  x  "},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        writeImage(dir.filePath(c.file), QSize(20, 20));
        SkinBuilderModel model;
        model.loadImage(dir.filePath(c.file));
        EXPECT_EQ(model.skinName(), c.expected);
    }
}

TEST(SkinBuilderModel, AFileThatIsNoImageKeepsTheDocument) {
    QTemporaryDir dir;
    writeImage(dir.filePath("front.png"), QSize(800, 1100));
    writeBytes(dir.filePath("notes.png"), "plain text");
    SkinBuilderModel model;
    model.loadImage(dir.filePath("front.png"));
    model.setViewport(QRectF(10, 10, 100, 100));

    model.loadImage(dir.filePath("notes.png"));

    EXPECT_EQ(model.statusMessage(), "Failed to load image");
    EXPECT_TRUE(model.statusIsError());
    EXPECT_EQ(model.imageURL(), dir.filePath("front.png"));
    EXPECT_EQ(model.imagePixelSize(), QSizeF(800, 1100));
    EXPECT_EQ(model.skinName(), "front");
    EXPECT_EQ(model.viewport(), QRectF(10, 10, 100, 100));
    EXPECT_EQ(model.imageGeneration(), 1);
}

TEST(SkinBuilderModel, ResetEmptiesTheDocumentButKeepsThePaletteMemory) {
    QTemporaryDir dir;
    writeImage(dir.filePath("front.png"), QSize(80, 110));
    SkinBuilderModel model;
    model.loadImage(dir.filePath("front.png"));
    model.setViewport(QRectF(1, 1, 50, 50));
    model.setFgColor(RgbColor::rgb(1, 1, 1));
    model.setBgColor(RgbColor::rgb(0, 0, 1));
    model.setCursorColor(RgbColor::rgb(1, 0, 0));
    const QList<RgbColor> ansi(16, RgbColor::rgb(0.5, 0.5, 0.5));
    model.setAnsiColors(ansi);
    model.setLastShuffledId(QStringLiteral("dracula"));
    model.setMagicWandTolerance(70);
    model.setDrawerMaskDragging(true);
    model.setGlow(true);
    model.setSkinName("Mine");
    QSignalSpy closePreview(&model, &SkinBuilderModel::previewCloseRequested);
    QSignalSpy changed(&model, &SkinBuilderModel::changed);

    model.reset();

    EXPECT_EQ(closePreview.count(), 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(model.skinImage());
    EXPECT_EQ(model.imageURL(), QString());
    EXPECT_EQ(model.imageGeneration(), 0);
    EXPECT_FALSE(model.viewport());
    EXPECT_EQ(model.fgColor(), SkinBuilderModel::defaultForeground);
    EXPECT_EQ(model.bgColor(), SkinBuilderModel::defaultBackground);
    EXPECT_FALSE(model.cursorColor());
    EXPECT_FALSE(model.glow());
    EXPECT_EQ(model.skinName(), QString());
    EXPECT_FALSE(model.statusMessage());
    EXPECT_EQ(model.validationIssues(), allIssues);
    EXPECT_EQ(model.ansiColors(), ansi);
    EXPECT_EQ(model.lastShuffledId(), "dracula");
    EXPECT_EQ(model.magicWandTolerance(), 70);
    EXPECT_TRUE(model.drawerMaskDragging());
}

TEST(SkinBuilderModel, StatusIsSetMessageFirstAndNotifiesOnce) {
    SkinBuilderModel model;
    QStringList seen;
    QObject::connect(&model, &SkinBuilderModel::changed, [&] {
        seen.append(model.statusMessage().value_or(QString()) + (model.statusIsError() ? " !" : ""));
    });
    model.setStatus("Bad", true);
    model.setStatus("Good", false);
    EXPECT_EQ(seen, QStringList({"Bad !", "Good"}));
}

TEST(CoordinateConverter, ExportAndPreviewScales) {
    struct Case {
        const char* name;
        QSizeF imageSize;
        QSizeF pixelSize;
        double launchScale;
        QSizeF exportSize;
        double exportScale;
        QSizeF previewSize;
        double previewScale;
    };
    const Case cases[] = {
        {"one point per pixel", {800, 1100}, {800, 1100}, 1.2, {400, 550}, 0.5, {480, 660}, 0.6},
        {"two pixels per point", {400, 550}, {800, 1100}, 1.2, {400, 550}, 1, {480, 660}, 1.2},
        {"no image", {0, 0}, {0, 0}, 1.5, {0, 0}, 1, {0, 0}, 1.5},
        {"odd width rounds half up",
         {1001, 1601},
         {1001, 1601},
         1,
         {501, 801},
         501.0 / 1001,
         {501, 801},
         501.0 / 1001},
        {"preview rounds", {1000, 800}, {1000, 800}, 1.25, {500, 400}, 0.5, {625, 500}, 0.625},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CoordinateConverter converter{c.imageSize, c.pixelSize, c.launchScale};
        EXPECT_EQ(converter.exportSize(), c.exportSize);
        EXPECT_DOUBLE_EQ(converter.exportScale(), c.exportScale);
        EXPECT_EQ(converter.previewSize(), c.previewSize);
        EXPECT_DOUBLE_EQ(converter.previewScale(), c.previewScale);
    }
}

TEST(CoordinateConverter, TheModelGivesItsImagePointAndPixelSizes) {
    QTemporaryDir dir;
    writeImage(dir.filePath("retina.png"), QSize(800, 1100), 144);
    SkinBuilderModel model;
    model.setLaunchScale(1.2);
    CoordinateConverter empty = model.makeConverter();
    EXPECT_EQ(empty.imageSize, QSizeF(0, 0));
    EXPECT_EQ(empty.exportScale(), 1);
    EXPECT_EQ(empty.previewScale(), 1.2);

    model.loadImage(dir.filePath("retina.png"));
    CoordinateConverter converter = model.makeConverter();
    EXPECT_EQ(converter.imageSize, QSizeF(400, 550));
    EXPECT_EQ(converter.pixelSize, QSizeF(800, 1100));
    EXPECT_EQ(converter.launchScale, 1.2);
    EXPECT_EQ(converter.exportScale(), 1);
}

TEST(ImageHistory, KeepsTheNewestTenSteps) {
    ImageHistory history;
    for (int i = 0; i < 11; ++i)
        history.push(ImageSnapshot{SkinImage{}, QRectF(i, 0, 1, 1), {}, QSizeF(), std::nullopt, {}});
    ASSERT_EQ(history.stack.size(), ImageHistory::maxDepth);
    EXPECT_EQ(history.stack.first().viewport->x(), 1);
    EXPECT_EQ(history.pop()->viewport->x(), 10);
    while (history.pop()) {
    }
    EXPECT_FALSE(history.pop());
}

TEST(BuilderEnums, RawValuesAreTheCaseNamesMatchedExactly) {
    EXPECT_EQ(rawValue(DrawTool::imageCropPen), "imageCropPen");
    EXPECT_EQ(rawValue(PanelType::placeholder), "placeholder");
    EXPECT_EQ(enumFromRawValue<DrawerEdge>(u"left"), DrawerEdge::left);
    EXPECT_EQ(enumFromRawValue<DrawerEdge>(u"Left"), std::nullopt);
    EXPECT_EQ(enumFromRawValue<PanelType>(u""), std::nullopt);
    EXPECT_EQ(allCases<ButtonShape>().size(), 2u);
    for (PanelType panel : allCases<PanelType>())
        EXPECT_EQ(enumFromRawValue<PanelType>(rawValue(panel)), panel);
}

TEST(SkinBuilderModel, PanelsAndPreviewGoThroughHooksAndSignals) {
    QTemporaryDir dir;
    writeImage(dir.filePath("front.png"), QSize(80, 110));
    ScopedAppHooks hooks;
    QList<FileDialogRequest> requests;
    QString answer;
    hooks->runFileDialog = [&](const FileDialogRequest& request) {
        requests.append(request);
        return answer;
    };
    SkinBuilderModel model;
    QSignalSpy preview(&model, &SkinBuilderModel::previewShowRequested);

    model.openImage();
    EXPECT_FALSE(model.skinImage());
    answer = dir.filePath("front.png");
    model.openImage();
    EXPECT_TRUE(model.skinImage());
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].kind, FileDialogRequest::Kind::OpenFile);
    EXPECT_EQ(requests[0].suffixes, QStringList({"png", "jpg", "jpeg", "heic"}));

    answer.clear();
    model.openSkin();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[2].kind, FileDialogRequest::Kind::OpenFolder);
    EXPECT_EQ(requests[2].title, "Open Skin");
    EXPECT_EQ(requests[2].startFolder, AppPaths::skinsDir());
    EXPECT_EQ(model.statusMessage(), "Loaded 80x110px");

    model.previewSkin();
    EXPECT_EQ(preview.count(), 0);
    EXPECT_EQ(model.statusMessage(), "Loaded 80x110px");
    model.setViewport(QRectF(10, 10, 40, 40));
    model.previewSkin();
    EXPECT_EQ(preview.count(), 1);
    EXPECT_EQ(model.statusMessage(), "Preview open -- ESC or double-click to close");
    EXPECT_FALSE(model.statusIsError());
}
