#include "PickerTestSupport.h"

#include "App/NotificationCenter.h"
#include "Picker/ZipExtractor.h"

#include <unistd.h>

using namespace Quillaby;
using namespace PickerTest;

namespace {

class SkinPickerModelTest : public PickerTestBase {};

QStringList leftovers(const QString& folder, const QString& prefix) {
    return QDir(folder).entryList({prefix + "*"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(SkinPickerModelNames, FolderIdKeepsLettersAndNumbersOfAnyScript) {
    struct Case {
        const char* name;
        QString input;
        QString expected;
    };
    const Case cases[] = {
        {"example", "Retro Pad 2!", "retro-pad-2"},
        {"non-ASCII letters kept", "Über Gerät", "über-gerät"},
        {"other scripts", "日本 語", "日本-語"},
        {"decomposed accent composed first", QString("Cafe") + QChar(0x0301), "café"},
        {"underscore and hyphen kept", "Snake_Case-X", "snake_case-x"},
        {"punctuation only", "***", "skin"},
        {"empty", "", "skin"},
        {"parent folder", "..", "skin"},
        {"path", "../../etc/passwd", "etcpasswd"},
        {"slash", "a/b", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SkinPickerModel::folderId(c.input), c.expected);
    }
}

TEST(SkinPickerModelNames, SkinNameIsTheUntrimmedTextUnlessBlank) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray json;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"plain", R"({"name": "Retro"})", "Retro"},
        {"kept untrimmed", R"({"name": " Retro\t"})", " Retro\t"},
        {"spaces and tabs only", R"({"name": " \t "})", std::nullopt},
        {"empty", R"({"name": ""})", std::nullopt},
        {"line break is not blank", R"({"name": "\n"})", "\n"},
        {"not a text", R"({"name": 5})", std::nullopt},
        {"missing", R"({"title": "x"})", std::nullopt},
        {"not an object", R"(["name"])", std::nullopt},
        {"not JSON", "name: x", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir.path() + "/skin.json", c.json);
        EXPECT_EQ(SkinPickerModel::skinName(dir.path() + "/skin.json"), c.expected);
    }
    EXPECT_EQ(SkinPickerModel::skinName(dir.path() + "/missing.json"), std::nullopt);
}

TEST_F(SkinPickerModelTest, ItemsAreRoutedByKind) {
    writeFile(_dir.path() + "/notes.txt", "hello");
    writeFile(_dir.path() + "/photo.PNG", "png");
    writeFile(_dir.path() + "/photo.heic", "heic");
    QDir().mkpath(_dir.path() + "/empty folder");
    struct Case {
        const char* name;
        QString path;
        QString status;
        QStringList opened;
    };
    const Case cases[] = {
        {"missing", _dir.path() + "/gone.zip", "Couldn't read that item", {}},
        {"text file", _dir.path() + "/notes.txt", "Drop a skin folder, .zip, or an image", {}},
        {"upper-case image goes as it is",
         _dir.path() + "/photo.PNG",
         "<none>",
         {_dir.path() + "/photo.PNG"}},
        {"HEIC cannot be read here",
         _dir.path() + "/photo.heic",
         "Drop a skin folder, .zip, or an image",
         {}},
        {"folder without skin.json",
         _dir.path() + "/empty folder",
         "Not a skin folder — missing skin.json",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SkinPickerModel model;
        _opened.clear();
        import(model, c.path);
        EXPECT_EQ(status(model), c.status);
        EXPECT_EQ(_opened, c.opened);
    }
    EXPECT_TRUE(_alerts.isEmpty());
    EXPECT_EQ(tree(skins()), QStringList{});
}

TEST_F(SkinPickerModelTest, FolderInstallKeepsTheFolderNameAndReloads) {
    SkinPickerModel model;
    QSignalSpy skinsChanged(&model, &SkinPickerModel::skinsChanged);
    const QString source = sourceSkin("My Skin", "Mine");
    import(model, source);
    EXPECT_EQ(status(model), "Installed My Skin");
    EXPECT_FALSE(model.statusIsError());
    EXPECT_EQ(tree(skins()), (QStringList{"My Skin/", "My Skin/frame@2x.png", "My Skin/skin.json"}));
    EXPECT_EQ(skinsChanged.count(), 1);
    ASSERT_EQ(model.skins().size(), 2);
    EXPECT_EQ(model.skins()[0].id, "My Skin");
    EXPECT_EQ(model.skins()[0].userFolderURL(), skins() + "/My Skin");
    // The source stays; no work folder is left beside the skins folder.
    EXPECT_TRUE(QFileInfo::exists(source + "/skin.json"));
    EXPECT_EQ(leftovers(QFileInfo(skins()).absolutePath(), ".quillaby-"), QStringList{});

    // A link to a skin folder installs the folder's content under the link's name.
    ASSERT_TRUE(QFile::link(source, _dir.path() + "/Linked"));
    import(model, _dir.path() + "/Linked");
    EXPECT_EQ(status(model), "Installed Linked");
    EXPECT_FALSE(QFileInfo(skins() + "/Linked").isSymLink());
    EXPECT_EQ(readFile(skins() + "/Linked/skin.json"), skinJson("Mine"));
}

TEST_F(SkinPickerModelTest, ReplacingAsksFirstAndNeverLosesTheOldSkin) {
    SkinPickerModel model;
    const QString installed = skins() + "/retro";
    writeFile(installed + "/skin.json", skinJson("Old"));
    const QString source = sourceSkin("retro", "New");

    _answers = {1};
    import(model, source);
    ASSERT_EQ(_alerts.size(), 1);
    EXPECT_EQ(_alerts[0].style, AlertRequest::Style::Warning);
    EXPECT_EQ(_alerts[0].message, "Replace “retro”?");
    EXPECT_EQ(_alerts[0].informativeText,
              "A skin folder with this name already exists. Installing replaces it.");
    EXPECT_EQ(_alerts[0].buttons, (QStringList{"Replace", "Cancel"}));
    EXPECT_EQ(status(model), "Install cancelled");
    EXPECT_EQ(readFile(installed + "/skin.json"), skinJson("Old"));

    // A copy that fails half-way (a pipe is neither file nor folder) leaves the old skin as it was.
    ASSERT_EQ(mkfifo(QFile::encodeName(source + "/pipe").constData(), 0600), 0);
    _answers = {0};
    import(model, source);
    EXPECT_EQ(status(model), "Install failed: “pipe” is not a file or folder");
    EXPECT_TRUE(model.statusIsError());
    EXPECT_EQ(tree(skins()), (QStringList{"retro/", "retro/skin.json"}));
    EXPECT_EQ(readFile(installed + "/skin.json"), skinJson("Old"));

    QFile::remove(source + "/pipe");
    _answers = {0};
    import(model, source);
    EXPECT_EQ(status(model), "Installed retro");
    EXPECT_EQ(tree(skins()), (QStringList{"retro/", "retro/frame@2x.png", "retro/skin.json"}));
    EXPECT_EQ(readFile(installed + "/skin.json"), skinJson("New"));
    EXPECT_EQ(leftovers(QFileInfo(skins()).absolutePath(), ".quillaby-"), QStringList{});
}

TEST_F(SkinPickerModelTest, AFolderAlreadyInTheSkinsFolderIsNotReplacedByItself) {
    SkinPickerModel model;
    const QString installed = skins() + "/retro";
    writeFile(installed + "/skin.json", skinJson("Retro"));
    _answers = {0, 0};
    for (const QString& path : {installed, installed + "/", skins() + "/../skins/retro"}) {
        SCOPED_TRACE(path.toStdString());
        import(model, path);
        EXPECT_EQ(status(model), "Install failed: “retro” is already in the skins folder");
        EXPECT_EQ(readFile(installed + "/skin.json"), skinJson("Retro"));
    }
    EXPECT_TRUE(_alerts.isEmpty());

    // Nor is a folder holding the skins folder copied into itself.
    const QString appFolder = QFileInfo(skins()).absolutePath();
    writeFile(appFolder + "/skin.json", skinJson("Odd"));
    import(model, appFolder);
    EXPECT_EQ(status(model), "Install failed: “Quillaby” is already in the skins folder");
    QFile::remove(appFolder + "/skin.json");
    EXPECT_EQ(tree(skins()), (QStringList{"retro/", "retro/skin.json"}));
}

TEST_F(SkinPickerModelTest, ZipInstallsTheFirstSkinJsonAndImageUnderTheNamesFolderId) {
    const QString archive = _dir.path() + "/Retro Download.zip";
    writeZip(archive, {
                          {"pkg/", ""},
                          {"pkg/Skin.JSON", skinJson("Retro Pad 2!", "a.png")},
                          {"pkg/a.png", "real png"},
                          {"pkg/readme.txt", "notes"},
                          {"__MACOSX/pkg/._a.png", "resource fork"},
                          {"pkg/._Skin.JSON", "resource fork"},
                      });
    SkinPickerModel model;
    import(model, archive);
    EXPECT_EQ(status(model), "Installed retro-pad-2");
    EXPECT_EQ(tree(skins()), (QStringList{"retro-pad-2/", "retro-pad-2/a.png", "retro-pad-2/skin.json"}));
    EXPECT_EQ(readFile(skins() + "/retro-pad-2/a.png"), "real png");
    EXPECT_EQ(model.skins()[0].name, "Retro Pad 2!");
    EXPECT_EQ(leftovers(tmp(), "quillaby-"), QStringList{});
    EXPECT_TRUE(_opened.isEmpty());
}

TEST_F(SkinPickerModelTest, ZipOutcomes) {
    struct Case {
        const char* name;
        QString archiveName;
        QList<ZipEntry> entries;
        QString status;
        QStringList installed;
    };
    const QByteArray blank = skinJson("   ");
    const Case cases[] = {
        {"blank name: the archive's own name",
         "My Device.zip",
         {{"deep/er/skin.json", blank}, {"deep/er/frame.jpeg", "jpeg"}},
         "Installed my-device",
         {"my-device/", "my-device/frame.jpeg", "my-device/skin.json"}},
        {"punctuation name",
         "p.zip",
         {{"skin.json", skinJson("!!!")}, {"f.png", "png"}},
         "Installed skin",
         {"skin/", "skin/f.png", "skin/skin.json"}},
        {"a folder named skin.json does not count",
         "d.zip",
         {{"a/skin.json/", ""}, {"a/skin.json/x.png", "png"}, {"b/skin.json", skinJson("Dir Test")}},
         "Installed dir-test",
         {"dir-test/", "dir-test/skin.json", "dir-test/x.png"}},
        {"only skin.json", "j.zip", {{"skin.json", skinJson("J")}}, "Zip needs a skin.json and an image", {}},
        {"only text", "t.zip", {{"notes.txt", "hi"}}, "Zip needs a skin.json and an image", {}},
        {"HEIC is no image here",
         "h.zip",
         {{"skin.json", skinJson("H")}, {"f.heic", "heic"}},
         "Zip needs a skin.json and an image",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(skins()).removeRecursively();
        const QString archive = _dir.path() + "/" + c.archiveName;
        writeZip(archive, c.entries);
        SkinPickerModel model;
        import(model, archive);
        EXPECT_EQ(status(model), c.status);
        EXPECT_EQ(tree(skins()), c.installed);
        EXPECT_EQ(leftovers(tmp(), "quillaby-"), QStringList{});
    }
    EXPECT_TRUE(_opened.isEmpty());
}

TEST_F(SkinPickerModelTest, AZipWithOnlyAnImageHandsACopyToTheBuilder) {
    const QString archive = _dir.path() + "/photo.zip";
    writeZip(archive, {{"shots/device.PNG", "png bytes"}, {"shots/._device.PNG", "fork"}});
    SkinPickerModel model;
    import(model, archive);
    EXPECT_EQ(status(model), "<none>");
    ASSERT_EQ(_opened.size(), 1);
    const QFileInfo copy(_opened[0]);
    EXPECT_EQ(copy.absolutePath(), QFileInfo(tmp()).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression("^quillaby-image-[0-9A-F-]{36}\\.PNG$").match(copy.fileName()).hasMatch())
        << copy.fileName().toStdString();
    EXPECT_EQ(readFile(copy.filePath()), "png bytes");
    EXPECT_EQ(leftovers(tmp(), "quillaby-import-"), QStringList{});
    EXPECT_EQ(tree(skins()), QStringList{});
}

TEST_F(SkinPickerModelTest, HostileOrBrokenArchivesWriteNothing) {
    struct Case {
        const char* name;
        QList<ZipEntry> entries;
        QString logged;
    };
    const Case cases[] = {
        {"climbs out", {{"skin.json", skinJson("Evil")}, {"../../evil.png", "x"}}, "leaves the folder"},
        {"climbs out inside",
         {{"a/../../evil.png", "x"}, {"skin.json", skinJson("Evil")}},
         "leaves the folder"},
        {"absolute", {{"/tmp/evil.png", "x"}, {"skin.json", skinJson("Evil")}}, "leaves the folder"},
        {"symbolic link",
         {{"skin.json", skinJson("Evil")}, {"f.png", "/etc/passwd", true}},
         "is a symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString archive = _dir.path() + "/evil.zip";
        writeZip(archive, c.entries);
        SkinPickerModel model;
        _log.clear();
        import(model, archive);
        EXPECT_EQ(status(model), "Couldn't unzip that file");
        ASSERT_EQ(_log.lines().size(), 1);
        EXPECT_TRUE(_log.lines()[0].startsWith("[Quillaby] SkinPicker: couldn't unzip evil.zip: entry "));
        EXPECT_TRUE(_log.lines()[0].contains(c.logged)) << _log.lines()[0].toStdString();
        EXPECT_EQ(tree(skins()), QStringList{});
        EXPECT_EQ(leftovers(tmp(), ""), QStringList{});
        EXPECT_FALSE(QFileInfo::exists(_dir.path() + "/evil.png"));
    }
    EXPECT_FALSE(QFileInfo::exists("/tmp/evil.png"));

    writeFile(_dir.path() + "/corrupt.zip", QByteArray("PK\x03\x04 this is not really a zip", 30));
    SkinPickerModel model;
    import(model, _dir.path() + "/corrupt.zip");
    EXPECT_EQ(status(model), "Couldn't unzip that file");
    EXPECT_EQ(leftovers(tmp(), ""), QStringList{});
}

TEST(ZipExtractor, CapsTheEntryCountAndTheUnpackedSize) {
    QTemporaryDir dir;
    const QString archive = dir.path() + "/big.zip";
    writeZip(archive, {{"a.png", QByteArray(600, 'a')}, {"b/", ""}, {"b/c.png", QByteArray(600, 'c')}});
    struct Case {
        const char* name;
        ZipExtractor::Limits limits;
        bool ok;
        QString reason;
    };
    const Case cases[] = {
        {"within", {3, 1200}, true, ""},
        {"too many entries", {2, 1200}, false, "3 entries, more than 2"},
        {"too large", {3, 1199}, false, "more than 1199 bytes unpacked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir.path() + "/out-" + c.name;
        QDir().mkpath(out);
        const ZipExtractor::Result result = ZipExtractor::extract(archive, out, c.limits);
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(tree(out), (c.ok ? QStringList{"a.png", "b/", "b/c.png"} : QStringList{}));
    }
}

TEST_F(SkinPickerModelTest, ZipClashAnsweredCancelKeepsTheOldFolder) {
    writeFile(skins() + "/retro/skin.json", skinJson("Old"));
    const QString archive = _dir.path() + "/retro.zip";
    writeZip(archive, {{"skin.json", skinJson("Retro")}, {"f.png", "png"}});
    SkinPickerModel model;
    _answers = {1};
    import(model, archive);
    ASSERT_EQ(_alerts.size(), 1);
    EXPECT_EQ(_alerts[0].message, "Replace “retro”?");
    EXPECT_EQ(status(model), "Install cancelled");
    EXPECT_EQ(tree(skins()), (QStringList{"retro/", "retro/skin.json"}));
    EXPECT_EQ(readFile(skins() + "/retro/skin.json"), skinJson("Old"));
    EXPECT_EQ(leftovers(tmp(), ""), QStringList{});
}

TEST_F(SkinPickerModelTest, AnUnwritableTemporaryFolderFailsTheImport) {
    writeZip(_dir.path() + "/x.zip", {{"skin.json", skinJson("X")}, {"f.png", "png"}});
    writeFile(_dir.path() + "/file", "not a folder");
    qputenv("TMPDIR", (_dir.path() + "/file").toUtf8());
    SkinPickerModel model;
    import(model, _dir.path() + "/x.zip");
    EXPECT_EQ(status(model), "Import failed: couldn't create “extract”: Not a directory");
}

TEST_F(SkinPickerModelTest, ImportsRunOneAfterAnotherInOrder) {
    const QString archive = _dir.path() + "/first.zip";
    writeZip(archive, {{"skin.json", skinJson("First")}, {"f.png", "png"}});
    writeFile(_dir.path() + "/b.txt", "x");
    writeFile(_dir.path() + "/c.png", "png");
    SkinPickerModel model;
    QStringList statuses;
    QObject::connect(&model, &SkinPickerModel::statusMessageChanged, [&] { statuses.append(status(model)); });
    QSignalSpy finished(&model, &SkinPickerModel::importsFinished);
    model.importItem(archive,
                     [&](const QString& image) { statuses.append("open " + QFileInfo(image).fileName()); });
    model.importItem(_dir.path() + "/b.txt", {});
    model.importItem(_dir.path() + "/c.png",
                     [&](const QString& image) { statuses.append("open " + QFileInfo(image).fileName()); });
    EXPECT_TRUE(model.isImporting());
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(statuses,
              (QStringList{"Installed first", "Drop a skin folder, .zip, or an image", "open c.png"}));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(model.isImporting());
}

TEST_F(SkinPickerModelTest, DeleteAsksThenRemovesReloadsAndAnnounces) {
    writeFile(skins() + "/retro/skin.json", skinJson("Retro Pad"));
    SkinLoader::shared().loadAll();
    SkinPickerModel model;
    ASSERT_EQ(model.skins().size(), 2);
    const SkinManifest retro = model.skins()[0];
    int announcements = 0;
    QObject owner;
    NotificationCenter::defaultCenter().addObserver(QString(SkinLoader::skinsDidReload), &owner,
                                                    [&](const Notification&) { ++announcements; });

    _answers = {1};
    model.deleteSkin(retro);
    ASSERT_EQ(_alerts.size(), 1);
    EXPECT_EQ(_alerts[0].style, AlertRequest::Style::Warning);
    EXPECT_EQ(_alerts[0].message, "Delete “Retro Pad”?");
    EXPECT_EQ(_alerts[0].informativeText,
              "This permanently removes the skin folder from disk. This can't be undone.");
    EXPECT_EQ(_alerts[0].buttons, (QStringList{"Delete", "Cancel"}));
    EXPECT_EQ(status(model), "<none>");
    EXPECT_TRUE(QFileInfo::exists(skins() + "/retro/skin.json"));

    _answers = {0};
    model.deleteSkin(retro);
    EXPECT_FALSE(QFileInfo::exists(skins() + "/retro"));
    EXPECT_EQ(status(model), "Deleted Retro Pad");
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(SkinLoader::shared().lastManualBroadcast(), _now);
    EXPECT_EQ(model.skins(), QList<SkinManifest>{SkinManifest::handheld()});

    // Bundled and built-in skins have no folder to remove: nothing is asked or said.
    SkinManifest bundled = retro;
    bundled.isBundled = true;
    for (const SkinManifest& skin : {bundled, SkinManifest::walkie()}) {
        model.deleteSkin(skin);
        EXPECT_EQ(_alerts.size(), 2);
    }
    EXPECT_EQ(announcements, 1);
}

TEST_F(SkinPickerModelTest, StatusClearsThreeSecondsAfterTheLastReport) {
    SkinPickerModel model;
    QTimer* timer = model.statusTimer();
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(timer->isSingleShot());

    import(model, _dir.path() + "/gone");
    EXPECT_EQ(status(model), "Couldn't read that item");
    EXPECT_TRUE(timer->isActive());
    // A later report, even of the same text, starts the whole wait again: the line never goes early.
    for (const QString& item : {_dir.path() + "/notes.txt", _dir.path() + "/gone"}) {
        writeFile(_dir.path() + "/notes.txt", "x");
        timer->stop();
        import(model, item);
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(timer->interval(), 3000);
        EXPECT_GT(timer->remainingTime(), 2500);
    }
    QSignalSpy changed(&model, &SkinPickerModel::statusMessageChanged);
    timer->stop();
    QMetaObject::invokeMethod(timer, "timeout");
    EXPECT_EQ(model.statusMessage(), std::nullopt);
    EXPECT_EQ(changed.count(), 1);
}
