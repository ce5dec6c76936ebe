#include "SettingsWindowTestSupport.h"

#include "Settings/ActiveSkin.h"
#include "Settings/ColorWell.h"
#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"
#include "Settings/PaletteBrowser.h"
#include "Settings/SettingsViewModel.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

// The skin the browser edits is the default skin while no device window is open.
constexpr const char* skinA = "Desk CRT 80";

class PaletteBrowserTest : public SettingsWindowTest {
protected:
    void SetUp() override {
        SettingsWindowTest::SetUp();
        store().setDefaultSkin(skinA);
    }
    QString headerName(const PaletteBrowserView& view) {
        return view.findChild<QLabel*>("paletteName")->text();
    }
};

const CuratedPalette& curated(int index) {
    return CuratedPalettes::all().at(index);
}

} // namespace

TEST_F(PaletteBrowserTest, ActiveSkinWithoutDeviceWindows) {
    struct Case {
        const char* name;
        QString defaultSkin;
        QString expected;
    };
    const Case cases[] = {
        {"the default skin when loaded", "Pocket Glass P2", "Pocket Glass P2"},
        {"else the first loaded skin", "No Such Skin", SkinLoader::shared().skins().first().name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store().setDefaultSkin(c.defaultSkin);
        EXPECT_EQ(ActiveSkin::deviceWindowSkinName(), std::nullopt);
        EXPECT_EQ(ActiveSkin::name(), c.expected);
    }
}

TEST_F(PaletteBrowserTest, ChoosingAPaletteStoresItUnderTheSkinAndTheSkinRowRemovesIt) {
    SettingsViewModel model;
    PaletteBrowserView view(model);
    view.show();
    EXPECT_EQ(view.skinName(), skinA);
    EXPECT_EQ(view.selection(), "__skin_default__");
    EXPECT_EQ(headerName(view), "Skin default");
    NotificationRecorder heard(settingsNotifications());

    auto* list = view.findChild<QListWidget*>("palettes");
    ASSERT_EQ(list->count(), CuratedPalettes::all().size() + 1);
    EXPECT_EQ(list->item(0)->text(), "Skin default");
    list->setCurrentRow(3);
    EXPECT_EQ(settingsJson().value("paletteOverrides").toObject(), (QJsonObject{{skinA, curated(2).id}}));
    EXPECT_EQ(heard.take(), QStringList{QString("ZolvPaletteDidChange ") + skinA});
    EXPECT_EQ(headerName(view), curated(2).name);
    EXPECT_EQ(view.preview().background, *hexColor(curated(2).background));

    list->setCurrentRow(0);
    EXPECT_EQ(settingsJson().value("paletteOverrides").toObject(), QJsonObject());
    EXPECT_EQ(heard.take(), QStringList{QString("ZolvPaletteDidChange ") + skinA});
    EXPECT_FALSE(readFile(AppPaths::settingsFile()).contains("__skin_default__"));

    // A click that leaves no row selected also means the skin's own palette.
    view.applySelection(curated(5).id);
    list->clearSelection();
    EXPECT_FALSE(settingsJson().value("paletteOverrides").toObject().contains(skinA));
    EXPECT_FALSE(readFile(AppPaths::settingsFile()).contains("__skin_default__"));
}

TEST_F(PaletteBrowserTest, ShuffleNeverPicksTheSelectedPalette) {
    SettingsViewModel model;
    PaletteBrowserView view(model);
    view.show();
    view.findChild<QToolButton*>("shuffle")->click();
    ASSERT_TRUE(view.currentOverrideId());
    for (int i = 0; i < 50; ++i) {
        const QString before = *view.currentOverrideId();
        view.shuffle();
        EXPECT_NE(*view.currentOverrideId(), before);
        EXPECT_EQ(store().paletteOverrides().value(skinA), *view.currentOverrideId());
    }
}

TEST_F(PaletteBrowserTest, CursorWellStoresAnOverrideThatResetDrops) {
    SettingsViewModel model;
    PaletteBrowserView view(model);
    view.show();
    const SkinManifest skin = [] {
        for (const SkinManifest& s : SkinLoader::shared().skins())
            if (s.name == skinA) return s;
        return SkinManifest();
    }();
    const QColor own = skin.palette.cursor.value_or(skin.palette.foreground).toQColor();
    auto* reset = view.findChild<QPushButton*>("resetCursor");
    EXPECT_EQ(view.cursorColor(), own);
    EXPECT_FALSE(reset->isVisibleTo(&view));

    // With a curated palette chosen the well keeps the skin's cursor; the sample shows the palette's.
    view.applySelection(curated(0).id);
    EXPECT_EQ(view.cursorColor(), own);
    EXPECT_EQ(view.preview().cursor, *hexColor(curated(0).cursor));

    NotificationRecorder heard(settingsNotifications());
    _hooks->runColorDialog = [&](const ColorDialogRequest& request) {
        EXPECT_EQ(request.initial, own);
        return std::optional<QColor>(QColor(0x12, 0xAB, 0xEF));
    };
    view.findChild<ColorWell*>("cursorWell")->click();
    EXPECT_EQ(settingsJson().value("cursorOverrides").toObject(), (QJsonObject{{skinA, "#12ABEF"}}));
    EXPECT_EQ(heard.take(), QStringList{QString("ZolvPaletteDidChange ") + skinA});
    EXPECT_TRUE(view.cursorOverridden());
    EXPECT_TRUE(reset->isVisibleTo(&view));
    EXPECT_EQ(view.preview().cursor.toQColor(), QColor(0x12, 0xAB, 0xEF));

    // A cancelled chooser changes nothing.
    _hooks->runColorDialog = [](const ColorDialogRequest&) { return std::optional<QColor>(); };
    view.findChild<ColorWell*>("cursorWell")->click();
    EXPECT_EQ(heard.take(), QStringList());

    reset->click();
    EXPECT_EQ(settingsJson().value("cursorOverrides").toObject(), QJsonObject());
    EXPECT_EQ(heard.take(), QStringList{QString("ZolvPaletteDidChange ") + skinA});
    EXPECT_FALSE(reset->isVisibleTo(&view));
    EXPECT_EQ(view.cursorColor(), own);
}

TEST_F(PaletteBrowserTest, StoredChoicesShowOnScreenAndAResetClearsThem) {
    store().setPaletteOverrides({{skinA, "gone-palette"}});
    store().setCursorOverrides({{skinA, "nonsense"}});
    SettingsViewModel model;
    PaletteBrowserView view(model);
    view.show();
    // An id no curated palette has previews the skin's own colours and selects no row.
    EXPECT_EQ(headerName(view), "Skin default");
    EXPECT_TRUE(view.findChild<QListWidget*>("palettes")->selectedItems().isEmpty());
    // A cursor that is no colour shows magenta.
    EXPECT_EQ(view.cursorColor(), QColor(255, 0, 255));
    EXPECT_TRUE(view.findChild<QPushButton*>("resetCursor")->isVisibleTo(&view));

    store().resetAll();
    EXPECT_EQ(settingsJson().value("paletteOverrides").toObject(), QJsonObject());
    EXPECT_EQ(view.skinName(), "Handheld v1");
    EXPECT_EQ(headerName(view), "Skin default");
    EXPECT_FALSE(view.findChild<QPushButton*>("resetCursor")->isVisibleTo(&view));
}

TEST_F(PaletteBrowserTest, SampleFollowsTheFontWithANineMinimum) {
    SettingsViewModel model;
    PaletteBrowserView view(model);
    view.show();
    auto* sample = view.findChild<TerminalSampleView*>("sample");
    const qreal dpi = sample->logicalDpiY();
    struct Case {
        double stored;
        double drawn;
    };
    for (const Case& c : {Case{6, 9}, Case{14, 14}}) {
        SCOPED_TRACE(c.stored);
        store().setFontSize(c.stored);
        EXPECT_NEAR(sample->sampleFont().pointSizeF() * dpi / 72, c.drawn, 1e-9);
    }
    store().setFontName("DejaVu Sans Mono");
    EXPECT_EQ(sample->sampleFont().family(), "DejaVu Sans Mono");
}

TEST(PaletteSample, LinesTakeAnsiColoursOrTheForeground) {
    const RgbColor fg = RgbColor::rgb(0.9, 0.9, 0.9);
    const RgbColor cursor = RgbColor::rgb(1, 0.5, 0);
    QList<RgbColor> ansi;
    for (int i = 0; i < 16; ++i)
        ansi << RgbColor::rgb(i / 16.0, 0, 0);
    const PreviewPalette withAnsi{fg, RgbColor(), cursor, ansi};
    const PreviewPalette without{fg, RgbColor(), cursor, {}};

    using Segment = PaletteSample::Segment;
    EXPECT_EQ(PaletteSample::lines(withAnsi),
              (QList<QList<Segment>>{
                  {{"you", ansi[2]}, {"@quillaby", fg}, {":", fg}, {"~/code", ansi[4]}, {" %", ansi[5]}},
                  {{"$ echo 'hello world'", fg}},
                  {{"hello world", ansi[2]}},
                  {{"$ git status", fg}},
                  {{"On branch ", fg}, {"main", ansi[3]}},
                  {{"$ ", fg}, {QString::fromUtf8("\u258B"), cursor}},
              }));
    // Without ANSI colours lines 1, 3 and 5 are all foreground.
    const QList<QList<Segment>> plain = PaletteSample::lines(without);
    for (int line : {0, 2, 4}) {
        for (const Segment& segment : plain[line])
            EXPECT_EQ(segment.color, fg) << line << " " << segment.text.toStdString();
    }
}

TEST_F(PaletteBrowserTest, PreviewOfASkinWithoutAnsiAndOfAnUnknownSkin) {
    // The built-in handheld defines no ANSI palette.
    store().setDefaultSkin("Handheld v1");
    SettingsViewModel model;
    PaletteBrowserView view(model);
    view.show();
    EXPECT_TRUE(view.preview().ansi.isEmpty());
    EXPECT_TRUE(view.findChild<QLabel*>("noAnsi")->isVisibleTo(&view));

    const PreviewPalette unknown = PreviewPalette::resolve(std::nullopt, "No Such Skin", std::nullopt);
    EXPECT_EQ(unknown,
              (PreviewPalette{
                  PreviewPalette::systemGreen(), RgbColor::rgb(0, 0, 0), PreviewPalette::systemGreen(), {}}));
    const PreviewPalette curatedPreview =
        PreviewPalette::resolve(curated(1).id, "No Such Skin", std::nullopt);
    EXPECT_EQ(curatedPreview.ansi.size(), 16);
    EXPECT_EQ(curatedPreview.foreground, *hexColor(curated(1).foreground));
}
