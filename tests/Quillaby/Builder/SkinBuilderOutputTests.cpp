#include "BuilderFixture.h"

#include <QBuffer>
#include <QDirIterator>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <zip.h>

#include <cmath>
#include <functional>
#include <limits>
#include <unistd.h>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

struct ZipEntry {
    QString name;
    QByteArray data;
    int extraFields = 0;
};

QList<ZipEntry> zipEntries(const QString& path) {
    QList<ZipEntry> entries;
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!archive) return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        ZipEntry entry;
        entry.name = QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), 0));
        entry.extraFields = zip_file_extra_fields_count(archive, zip_uint64_t(i), ZIP_FL_CENTRAL) +
                            zip_file_extra_fields_count(archive, zip_uint64_t(i), ZIP_FL_LOCAL);
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        entry.data.resize(qsizetype(stat.size));
        zip_fread(file, entry.data.data(), stat.size);
        zip_fclose(file);
        entries.append(entry);
    }
    zip_close(archive);
    return entries;
}

QStringList entryNames(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class SkinOutput : public BuilderFixture {};

TEST_F(SkinOutput, InstallWritesTheSkinFolderAndAnnouncesOnce) {
    prepareCoolSkin();

    model.installSkin();

    EXPECT_EQ(model.statusMessage(), "Installed to my-cool-skin/ — applied live.");
    EXPECT_FALSE(model.statusIsError());
    EXPECT_TRUE(alerts.isEmpty());
    const QString folder = QDir(skinsDir()).filePath("my-cool-skin");
    EXPECT_EQ(entryNames(folder), QStringList({"frame@2x.png", "skin.json"}));
    const QJsonObject json = readJson(folder + "/skin.json");
    EXPECT_EQ(json,
              (QJsonObject{
                  {"name", "My Cool Skin"},
                  {"version", "1.0"},
                  {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 500}, {"height", 800}}},
                  // 50.5 and 200.5 round up.
                  {"viewport",
                   QJsonObject{{"x", 51}, {"y", 100}, {"width", 150}, {"height", 201}, {"cornerRadius", 6}}},
                  {"palette", QJsonObject{{"foreground", "#00FF00"}, {"background", "#0A0A0A"}}},
                  {"buttons", QJsonArray{}},
                  {"launchScale", 1},
                  {"screenInFront", false},
              }));
    EXPECT_TRUE(readBytes(folder + "/skin.json").contains("\n    \"buttons\""));
    std::optional<SkinImage> frame = SkinImage::load(folder + "/frame@2x.png");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->pixelSize(), QSizeF(1000, 1600));
    EXPECT_EQ(frame->size, QSizeF(1000, 1600));

    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(SkinLoader::shared().lastManualBroadcast(), now);
    bool listed = false;
    for (const SkinManifest& skin : SkinLoader::shared().skins())
        listed = listed || (skin.id == "my-cool-skin" && skin.name == "My Cool Skin");
    EXPECT_TRUE(listed);
}

TEST_F(SkinOutput, ManifestFollowsTheDocument) {
    struct Case {
        const char* name;
        std::function<void(SkinBuilderModel&)> edit;
        std::function<void(const QJsonObject&)> check;
    };
    auto member = [](const QJsonObject& json, const char* object, const char* key) {
        return json.value(object).toObject().value(key);
    };
    const Case cases[] = {
        {"zero offsets write no corners", [](SkinBuilderModel&) {},
         [&](const QJsonObject& j) {
             EXPECT_TRUE(member(j, "viewport", "corners").isUndefined());
             EXPECT_TRUE(member(j, "viewport", "cornerRadii").isUndefined());
             EXPECT_TRUE(j.value("effects").isUndefined());
             EXPECT_TRUE(j.value("drawer").isUndefined());
             EXPECT_TRUE(j.value("author").isUndefined());
             EXPECT_TRUE(j.value("keys").isUndefined());
         }},
        {"one offset writes all four, scaled and unrounded",
         [](SkinBuilderModel& m) {
             m.setViewportCornerOffsets({QPointF(0, 0), QPointF(0, 3), QPointF(0, 0), QPointF(-1, 0)});
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(member(j, "viewport", "corners"),
                       (QJsonArray{QJsonObject{{"x", 0}, {"y", 0}}, QJsonObject{{"x", 0}, {"y", 1.5}},
                                   QJsonObject{{"x", 0}, {"y", 0}}, QJsonObject{{"x", -0.5}, {"y", 0}}}));
         }},
        {"radii of zero",
         [](SkinBuilderModel& m) {
             m.setViewportCornerRadii({0, 0, 0, 0});
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(member(j, "viewport", "cornerRadii"), (QJsonArray{0, 0, 0, 0}));
             EXPECT_EQ(member(j, "viewport", "cornerRadius"), 6);
         }},
        {"radii of ten are scaled",
         [](SkinBuilderModel& m) {
             m.setViewportCornerRadii({10, 10, 10, 11});
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(member(j, "viewport", "cornerRadii"), (QJsonArray{5, 5, 5, 5.5}));
         }},
        {"a viewport drawn backwards is turned round",
         [](SkinBuilderModel& m) { m.setViewport(QRectF(401, 601, -300, -401)); },
         [&](const QJsonObject& j) {
             EXPECT_EQ(
                 j.value("viewport").toObject(),
                 (QJsonObject{{"x", 51}, {"y", 100}, {"width", 150}, {"height", 201}, {"cornerRadius", 6}}));
         }},
        {"glow only", [](SkinBuilderModel& m) { m.setGlow(true); },
         [&](const QJsonObject& j) {
             EXPECT_EQ(j.value("effects"), (QJsonObject{{"glow", true}, {"glowIntensity", 0.4}}));
         }},
        {"standard scanlines and curvature",
         [](SkinBuilderModel& m) {
             m.setScanlines(true);
             m.setScanlineIntensity(0.55);
             m.setCurvature(true);
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(j.value("effects"), (QJsonObject{{"scanlines", true},
                                                        {"scanlineIntensity", 0.55},
                                                        {"curvature", true},
                                                        {"curvatureAmount", 0.2}}));
         }},
        {"rolling scanlines name their style",
         [](SkinBuilderModel& m) {
             m.setScanlines(true);
             m.setScanlineStyle("rolling");
         },
         [&](const QJsonObject& j) { EXPECT_EQ(member(j, "effects", "scanlineStyle"), "rolling"); }},
        {"buttons: the first opens the terminal, placeholders name no panel",
         [](SkinBuilderModel& m) {
             ButtonDef first{QUuid::createUuid(), QRectF(10, 20, 31, 41), "A",
                             ButtonShape::circle, PanelType::music,       "ENTER"};
             ButtonDef second{QUuid::createUuid(), QRectF(60, 20, -30, 40), "",
                              ButtonShape::rect,   PanelType::placeholder,  ""};
             ButtonDef third{QUuid::createUuid(), QRectF(0, 0, 10, 10), "",
                             ButtonShape::rect,   PanelType::claude,    "x"};
             m.setButtons({first, second, third});
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(
                 j.value("buttons"),
                 (QJsonArray{QJsonObject{{"label", "A"},
                                         {"x", 5},
                                         {"y", 10},
                                         {"width", 16},
                                         {"height", 21},
                                         {"shape", "circle"},
                                         {"defaultPanel", "terminal"},
                                         {"key", "enter"}},
                             QJsonObject{{"label", ""}, {"x", 15}, {"y", 10}, {"width", 15}, {"height", 20}},
                             QJsonObject{{"label", ""},
                                         {"x", 0},
                                         {"y", 0},
                                         {"width", 5},
                                         {"height", 5},
                                         {"defaultPanel", "claude"},
                                         {"key", "x"}}}));
         }},
        {"palette: cursor, 16 ANSI colours",
         [](SkinBuilderModel& m) {
             m.setCursorColor(RgbColor::rgb(1, 0.5, 0));
             QList<RgbColor> ansi(16, RgbColor::rgb(0, 0, 0));
             ansi[15] = RgbColor::rgb(1, 1, 1);
             m.setAnsiColors(ansi);
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(member(j, "palette", "cursor"), "#FF7F00");
             EXPECT_EQ(member(j, "palette", "ansi").toArray().size(), 16);
             EXPECT_EQ(member(j, "palette", "ansi").toArray().at(15), "#FFFFFF");
         }},
        {"palette: 15 ANSI colours are not written",
         [](SkinBuilderModel& m) { m.setAnsiColors(QList<RgbColor>(15, RgbColor::rgb(0, 0, 0))); },
         [&](const QJsonObject& j) { EXPECT_TRUE(member(j, "palette", "ansi").isUndefined()); }},
        {"name untrimmed, author and launch settings",
         [](SkinBuilderModel& m) {
             m.setSkinName(" Spaced ");
             m.setAuthor("Ann");
             m.setLaunchScale(1.25);
             m.setScreenInFront(true);
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(j.value("name"), " Spaced ");
             EXPECT_EQ(j.value("author"), "Ann");
             EXPECT_EQ(j.value("launchScale"), 1.25);
             EXPECT_EQ(j.value("screenInFront"), true);
         }},
        {"drawer",
         [](SkinBuilderModel& m) {
             m.setDrawerEnabled(true);
             m.setDrawerEdge(DrawerEdge::left);
             m.setDrawerViewport(QRectF(11, 21, 101, 51));
             m.setDrawerMask({BezierNode(QPointF(1, 2)),
                              BezierNode(QPointF(3, 4), QPointF(2, 4), QPointF(5, 5)),
                              BezierNode(QPointF(7, 1))});
             m.setDrawerDefaultWidget("clock");
         },
         [&](const QJsonObject& j) {
             EXPECT_EQ(
                 j.value("drawer"),
                 (QJsonObject{
                     {"edge", "left"},
                     {"mask", QJsonArray{QJsonObject{{"x", 0.5}, {"y", 1}},
                                         QJsonObject{{"x", 1.5},
                                                     {"y", 2},
                                                     {"hi", QJsonArray{1, 2}},
                                                     {"ho", QJsonArray{2.5, 2.5}}},
                                         QJsonObject{{"x", 3.5}, {"y", 0.5}}}},
                     {"viewport",
                      QJsonObject{{"x", 6}, {"y", 11}, {"width", 51}, {"height", 26}, {"cornerRadius", 0}}},
                     {"defaultWidget", "clock"}}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.reset();
        prepareCoolSkin();
        c.edit(model);
        c.check(manifestJson());
    }
}

TEST_F(SkinOutput, OddPixelSizesAndRetinaImagesScaleByTheFrame) {
    loadImage(QSize(1001, 1600));
    model.setViewport(QRectF(0, 0, 1001, 100));
    EXPECT_EQ(manifestJson().value("frame").toObject().value("width"), 501);
    EXPECT_EQ(manifestJson().value("viewport").toObject().value("width"), 501);

    loadImage(QSize(1000, 1600), 144);
    model.setViewport(QRectF(50, 100, 150, 200));
    EXPECT_EQ(manifestJson().value("frame"),
              (QJsonObject{{"image", "frame@2x.png"}, {"width", 500}, {"height", 800}}));
    EXPECT_EQ(manifestJson().value("viewport").toObject().value("x"), 50);
}

TEST_F(SkinOutput, NothingIsWrittenWithoutImageViewportOrName) {
    const QString notReady = "Cannot export: need image + viewport + name";
    EXPECT_FALSE(model.buildManifest());
    model.installSkin();
    EXPECT_EQ(model.statusMessage(), notReady);
    EXPECT_TRUE(model.statusIsError());
    loadImage(QSize(100, 100));
    model.exportSkin();
    EXPECT_EQ(model.statusMessage(), notReady);
    EXPECT_TRUE(dialogs.isEmpty());
    // An empty name would install into the skins folder itself.
    model.setViewport(QRectF(10, 10, 50, 50));
    model.setSkinName("");
    model.installSkin();
    EXPECT_EQ(model.statusMessage(), notReady);
    EXPECT_TRUE(entryNames(skinsDir()).isEmpty());
    EXPECT_EQ(reloads, 0);
}

TEST(SkinFolderName, StaysDirectlyInTheSkinsFolder) {
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"My Cool Skin", "my-cool-skin"},
        {"Ünïcode Skin", "ünïcode-skin"},
        {"Pocket.Term v2!", "pocket.term-v2!"},
        {"a/b", "a-b"},
        {"../../escape", "..-..-escape"},
        {".", "-"},
        {"..", "--"},
        {"...", "..."},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SkinBuilderModel::skinFolderName(QString::fromUtf8(c.name)), QString::fromUtf8(c.expected));
    }
}

TEST_F(SkinOutput, InstallNamesThatReachOutsideStayInside) {
    prepareCoolSkin();
    for (const char* name : {"..", "../../outside", "/abs"}) {
        SCOPED_TRACE(name);
        model.setSkinName(name);
        model.installSkin();
        EXPECT_FALSE(model.statusIsError());
    }
    EXPECT_EQ(entryNames(skinsDir()), QStringList({"--", "-abs", "..-..-outside"}));
    EXPECT_FALSE(QFileInfo::exists(QDir(skinsDir()).filePath("../outside")));
    EXPECT_FALSE(QFileInfo::exists(QDir(skinsDir()).filePath("skin.json")));
}

TEST_F(SkinOutput, InstallOverAnExistingSkinAsksFirst) {
    const QString folder = QDir(skinsDir()).filePath("my-cool-skin");
    writeBytes(folder + "/skin.json", "old");
    writeBytes(folder + "/frame@2x.png", "old");
    writeBytes(folder + "/notes.txt", "mine");
    prepareCoolSkin();

    alertAnswer = 1;
    model.installSkin();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].style, AlertRequest::Style::Warning);
    EXPECT_EQ(alerts[0].message, "Replace existing skin 'My Cool Skin'?");
    EXPECT_EQ(alerts[0].informativeText, "A skin folder named 'my-cool-skin' already exists. Installing will "
                                         "overwrite its frame@2x.png and skin.json.");
    EXPECT_EQ(alerts[0].buttons, QStringList({"Replace", "Cancel"}));
    EXPECT_EQ(model.statusMessage(), "Install cancelled — no changes.");
    EXPECT_FALSE(model.statusIsError());
    EXPECT_EQ(readBytes(folder + "/skin.json"), "old");
    EXPECT_EQ(reloads, 0);

    alertAnswer = 0;
    model.installSkin();
    EXPECT_EQ(model.statusMessage(), "Installed to my-cool-skin/ — applied live.");
    EXPECT_EQ(readJson(folder + "/skin.json").value("name"), "My Cool Skin");
    EXPECT_EQ(readBytes(folder + "/notes.txt"), "mine");
    EXPECT_EQ(entryNames(folder), QStringList({"frame@2x.png", "notes.txt", "skin.json"}));
    EXPECT_EQ(reloads, 1);
}

// A failure while writing skin.json used to leave a new frame image beside the old skin.json.
TEST_F(SkinOutput, AFailedInstallLeavesTheOldSkinWhole) {
    const QString folder = QDir(skinsDir()).filePath("my-cool-skin");
    writeBytes(folder + "/skin.json", "old json");
    writeBytes(folder + "/frame@2x.png", "old png");
    prepareCoolSkin();
    model.setLaunchScale(std::numeric_limits<double>::quiet_NaN());

    model.installSkin();

    ASSERT_TRUE(model.statusMessage());
    EXPECT_TRUE(model.statusMessage()->startsWith("Install failed: "))
        << model.statusMessage()->toStdString();
    EXPECT_TRUE(model.statusMessage()->contains("launchScale"));
    EXPECT_TRUE(model.statusIsError());
    EXPECT_EQ(readBytes(folder + "/skin.json"), "old json");
    EXPECT_EQ(readBytes(folder + "/frame@2x.png"), "old png");
    EXPECT_EQ(entryNames(folder), QStringList({"frame@2x.png", "skin.json"}));
    EXPECT_EQ(reloads, 0);

    // A read-only folder: the temporary files cannot even be made.
    model.setLaunchScale(1);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    model.installSkin();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {
        EXPECT_TRUE(model.statusMessage()->startsWith("Install failed: Couldn't write frame@2x.png"));
        EXPECT_EQ(readBytes(folder + "/frame@2x.png"), "old png");
    }
}

TEST_F(SkinOutput, ExportWritesAZipOfExactlyTheTwoFiles) {
    prepareCoolSkin();
    model.setGlow(true);
    dialogAnswer = dir.filePath("out/my-cool-skin.zip");
    QDir().mkpath(dir.filePath("out"));

    model.exportSkin();

    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs[0].kind, FileDialogRequest::Kind::SaveFile);
    EXPECT_EQ(dialogs[0].title, "Export Skin");
    EXPECT_EQ(dialogs[0].suggestedName, "my-cool-skin.zip");
    EXPECT_EQ(dialogs[0].suffixes, QStringList({"zip"}));
    EXPECT_EQ(model.statusMessage(), "Exported my-cool-skin.zip");
    EXPECT_FALSE(model.statusIsError());
    const QList<ZipEntry> entries = zipEntries(dialogAnswer);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].name, "frame@2x.png");
    EXPECT_EQ(entries[1].name, "skin.json");
    EXPECT_EQ(entries[0].extraFields + entries[1].extraFields, 0);
    EXPECT_EQ(QJsonDocument::fromJson(entries[1].data).object(), manifestJson());
    QImage frame = QImage::fromData(entries[0].data, "png");
    EXPECT_EQ(frame.size(), QSize(1000, 1600));
    // The working folder is gone and the skins folder untouched.
    EXPECT_TRUE(entryNames(tempFolder()).isEmpty());
    EXPECT_EQ(reloads, 0);
}

TEST_F(SkinOutput, ExportReplacesAnOldArchiveButNeverAFolder) {
    prepareCoolSkin();
    dialogAnswer = dir.filePath("skin.zip");
    writeBytes(dialogAnswer, "an old archive that is not even a zip");
    model.exportSkin();
    EXPECT_EQ(model.statusMessage(), "Exported skin.zip");
    EXPECT_EQ(zipEntries(dialogAnswer).size(), 2);

    // A name typed without the suffix gets it.
    dialogAnswer = dir.filePath("typed");
    model.exportSkin();
    EXPECT_EQ(model.statusMessage(), "Exported typed.zip");
    EXPECT_EQ(zipEntries(dir.filePath("typed.zip")).size(), 2);

    dialogAnswer = dir.filePath("precious.zip");
    writeBytes(dialogAnswer + "/inside.txt", "keep");
    model.exportSkin();
    EXPECT_EQ(model.statusMessage(), "Export failed: " + dialogAnswer + " is not a file");
    EXPECT_TRUE(model.statusIsError());
    EXPECT_EQ(readBytes(dialogAnswer + "/inside.txt"), "keep");
    EXPECT_TRUE(entryNames(tempFolder()).isEmpty());
}

TEST_F(SkinOutput, AFailedExportReportsAndCleansUp) {
    prepareCoolSkin();
    dialogAnswer = dir.filePath("missing-folder/skin.zip");
    model.exportSkin();
    ASSERT_TRUE(model.statusMessage());
    EXPECT_TRUE(model.statusMessage()->startsWith("Export failed: ")) << model.statusMessage()->toStdString();
    EXPECT_GT(model.statusMessage()->size(), QString("Export failed: ").size());
    EXPECT_TRUE(model.statusIsError());
    EXPECT_FALSE(QFileInfo::exists(dialogAnswer));
    EXPECT_TRUE(entryNames(tempFolder()).isEmpty());

    model.setLaunchScale(std::numeric_limits<double>::infinity());
    dialogAnswer = dir.filePath("skin.zip");
    model.exportSkin();
    EXPECT_TRUE(model.statusMessage()->startsWith("Export failed: "));
    EXPECT_FALSE(QFileInfo::exists(dialogAnswer));
    EXPECT_TRUE(entryNames(tempFolder()).isEmpty());

    // Cancelling the panel changes nothing.
    model.setStatus("before", false);
    dialogAnswer.clear();
    model.exportSkin();
    EXPECT_EQ(model.statusMessage(), "before");
}

TEST(ZipFiles, ArchivesFilesAtTheRootInOrder) {
    QTemporaryDir dir;
    writeBytes(dir.filePath("a/second.txt"), "2");
    writeBytes(dir.filePath("b/first.txt"), "1");
    QString error;
    ASSERT_TRUE(SkinBuilderModel::zipFiles({dir.filePath("b/first.txt"), dir.filePath("a/second.txt")},
                                           dir.filePath("x.zip"), &error))
        << error.toStdString();
    const QList<ZipEntry> entries = zipEntries(dir.filePath("x.zip"));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].name, "first.txt");
    EXPECT_EQ(entries[0].data, "1");
    EXPECT_EQ(entries[1].name, "second.txt");

    EXPECT_FALSE(SkinBuilderModel::zipFiles({dir.filePath("nothing.txt")}, dir.filePath("y.zip"), &error));
    EXPECT_TRUE(error.contains("nothing.txt"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("y.zip")));
}
