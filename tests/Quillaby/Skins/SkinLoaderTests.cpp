#include "App/AppHooks.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Skins/SkinLoader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace Quillaby;

namespace {

QByteArray skinJson(const QString& name, double frameWidth = 400,
                    const QString& image = QStringLiteral("frame@2x.png")) {
    return QJsonDocument(
               QJsonObject{
                   {"name", name},
                   {"frame", QJsonObject{{"image", image}, {"width", frameWidth}, {"height", 600}}},
                   {"viewport", QJsonObject{{"x", 40}, {"y", 50}, {"width", 320}, {"height", 200}}},
                   {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}}},
                   {"buttons", QJsonArray{}},
               })
        .toJson();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList ids(const QList<SkinManifest>& skins) {
    QStringList result;
    for (const SkinManifest& skin : skins)
        result.append(skin.id + QLatin1Char(':') + skin.name);
    return result;
}

// Stops a pending timer and runs what it would have run.
void fire(QTimer* timer) {
    ASSERT_TRUE(timer->isActive());
    timer->stop();
    QMetaObject::invokeMethod(timer, "timeout");
}

// Runs the event loop until the condition holds: file events arrive through it. No fixed sleep.
bool waitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class SkinLoaderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_dir.isValid());
        _hooks->now = [this] { return _now; };
        NotificationCenter::defaultCenter().addObserver(QString(SkinLoader::skinsDidReload), &_owner,
                                                        [this](const Notification& n) {
                                                            EXPECT_FALSE(n.hasObject());
                                                            ++_reloads;
                                                        });
    }
    QString bundle() const { return _dir.path() + QStringLiteral("/bundle/Skins"); }
    QString user() const { return _dir.path() + QStringLiteral("/data/skins"); }
    void addSkin(const QString& folder, const QString& name) {
        writeFile(folder + QStringLiteral("/skin.json"), skinJson(name));
    }
    SkinLoader::Folders folders() const { return {bundle(), user()}; }

    LogCapture _quiet; // tests that read the log capture inside it
    QTemporaryDir _dir;
    ScopedAppHooks _hooks;
    QDateTime _now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    QObject _owner;
    int _reloads = 0;
};

} // namespace

TEST_F(SkinLoaderTest, EmptyFoldersGiveTheBuiltInSkinAndTheUserFolderIsMade) {
    SkinLoader loader(folders());
    EXPECT_TRUE(loader.skins().isEmpty());
    EXPECT_EQ(loader.skinsOrFallback(), SkinManifest::fallbackSkins());
    LogCapture log;
    loader.loadAll();
    EXPECT_EQ(loader.skins(), QList<SkinManifest>{SkinManifest::handheld()});
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[Quillaby] Loaded 1 skins (0 from disk)")});
    EXPECT_TRUE(QFileInfo(user()).isDir());
    EXPECT_EQ(_reloads, 0); // loadAll() announces nothing

    SkinLoader noBundle(SkinLoader::Folders{std::nullopt, user()});
    noBundle.loadAll();
    EXPECT_EQ(noBundle.skins(), QList<SkinManifest>{SkinManifest::handheld()});
}

TEST_F(SkinLoaderTest, BundleSkinsComeFirstAndTheBuiltInSkinOnlyWhenNoDiskSkinHasItsName) {
    struct Case {
        const char* name;
        QStringList bundled; // "folder:name"
        QStringList users;
        QStringList expected;
    };
    const Case cases[] = {
        {"one of each", {"crt:CRT"}, {"mine:Mine"}, {"crt:CRT", "mine:Mine", "handheld:Handheld v1"}},
        {"same id in both, both listed",
         {"crt:CRT"},
         {"crt:CRT"},
         {"crt:CRT", "crt:CRT", "handheld:Handheld v1"}},
        {"a user skin named like the built-in", {}, {"hh:Handheld v1"}, {"hh:Handheld v1"}},
        {"a bundled one too", {"handheld:Handheld v1"}, {}, {"handheld:Handheld v1"}},
        {"the walkie is never added", {"w:Walkie MK-1"}, {}, {"w:Walkie MK-1", "handheld:Handheld v1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(_dir.path()).removeRecursively();
        QDir().mkpath(_dir.path());
        for (const QString& entry : c.bundled)
            addSkin(bundle() + QLatin1Char('/') + entry.section(':', 0, 0), entry.section(':', 1));
        for (const QString& entry : c.users)
            addSkin(user() + QLatin1Char('/') + entry.section(':', 0, 0), entry.section(':', 1));
        SkinLoader loader(folders());
        LogCapture log;
        loader.loadAll();
        EXPECT_EQ(ids(loader.skins()), c.expected);
        const qsizetype disk = c.bundled.size() + c.users.size();
        EXPECT_EQ(
            log.lines().last(),
            QStringLiteral("[Quillaby] Loaded %1 skins (%2 from disk)").arg(c.expected.size()).arg(disk));
        for (qsizetype i = 0; i < disk; ++i) {
            const SkinManifest& skin = loader.skins()[i];
            const bool bundled = i < c.bundled.size();
            EXPECT_EQ(skin.isBundled, bundled);
            EXPECT_EQ(skin.frameImageName, (bundled ? QString() : user() + QLatin1Char('/')) + skin.id +
                                               QStringLiteral("/frame@2x.png"));
        }
    }
}

TEST_F(SkinLoaderTest, ABadSkinIsLoggedAndSkippedWhileTheOthersLoad) {
    for (const char* name : {"one", "two", "three"})
        addSkin(user() + QLatin1Char('/') + QLatin1String(name), QString::fromLatin1(name));
    writeFile(user() + QStringLiteral("/broken/skin.json"), "{\"name\": \"Broken\"");
    writeFile(user() + QStringLiteral("/flat/skin.json"), skinJson(QStringLiteral("Flat"), 0));
    writeFile(user() + QStringLiteral("/.hidden/skin.json"), skinJson(QStringLiteral("Hidden")));
    QDir().mkpath(user() + QStringLiteral("/no-skin-json"));
    writeFile(user() + QStringLiteral("/deeper/inner/skin.json"), skinJson(QStringLiteral("Deeper")));
    writeFile(user() + QStringLiteral("/skin.json"), skinJson(QStringLiteral("Loose")));
    ASSERT_TRUE(QFile::link(user() + QStringLiteral("/one"), user() + QStringLiteral("/linked")));

    SkinLoader loader(folders());
    LogCapture log;
    loader.loadAll();
    QStringList loaded = ids(loader.skins());
    loaded.sort();
    EXPECT_EQ(loaded,
              (QStringList{".hidden:Hidden", "handheld:Handheld v1", "one:one", "three:three", "two:two"}));

    QStringList failures = log.lines().filter(QStringLiteral("Failed"));
    failures.sort();
    ASSERT_EQ(failures.size(), 2);
    EXPECT_TRUE(failures[0].startsWith(QStringLiteral("[Quillaby] Failed to load skin at ") + user() +
                                       QStringLiteral("/broken: not valid JSON")));
    // A frame without area would be divided by later.
    EXPECT_EQ(failures[1], QStringLiteral("[Quillaby] Failed to load skin at ") + user() +
                               QStringLiteral("/flat: the frame size 0 x 600 is not positive"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("[Quillaby] Loaded skin: two from two")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Loaded skin: ")).size(), 4);
    const SkinManifest& two =
        *std::find_if(loader.skins().begin(), loader.skins().end(),
                      [](const SkinManifest& s) { return s.id == QStringLiteral("two"); });
    EXPECT_FALSE(two.isBundled);
    EXPECT_EQ(two.frameImageName, user() + QStringLiteral("/two/frame@2x.png"));
}

TEST_F(SkinLoaderTest, AFrameImageOutsideTheSkinFolderRefusesTheSkin) {
    const QString secret = _dir.path() + QStringLiteral("/secret.png");
    writeFile(secret, "not really");
    QDir().mkpath(_dir.path() + QStringLiteral("/elsewhere"));
    struct Case {
        const char* folder;
        QString image;
        const char* link = nullptr; // made inside the folder, pointing at linkTarget
        QString linkTarget = {};
        bool loads = false;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("frame@2x.png"), nullptr, {}, true},
        {"missing", QStringLiteral("art/none.png"), nullptr, {}, true},
        {"inner-link", QStringLiteral("shown.png"), "shown.png", QStringLiteral("art/real.png"), true},
        {"climbs", QStringLiteral("../../secret.png")},
        {"climbs-back", QStringLiteral("art/../../x.png")},
        {"absolute", secret},
        {"file-link", QStringLiteral("frame.png"), "frame.png", secret},
        {"folder-link", QStringLiteral("art/secret.png"), "art", _dir.path()},
        {"dangling-link", QStringLiteral("later.png"), "later.png",
         _dir.path() + QStringLiteral("/later.png")},
    };
    for (const Case& c : cases) {
        const QString folder = user() + QLatin1Char('/') + QLatin1String(c.folder);
        writeFile(folder + QStringLiteral("/skin.json"), skinJson(QLatin1String(c.folder), 400, c.image));
        writeFile(folder + QStringLiteral("/art/real.png"), "inside");
        if (c.link) {
            const QString link = folder + QLatin1Char('/') + QLatin1String(c.link);
            QDir(link).removeRecursively();
            const QString target =
                QDir::isAbsolutePath(c.linkTarget) ? c.linkTarget : folder + QLatin1Char('/') + c.linkTarget;
            ASSERT_TRUE(QFile::link(target, link)) << c.link;
        }
    }
    SkinLoader loader(folders());
    LogCapture log;
    loader.loadAll();
    const QStringList loaded = ids(loader.skins());
    const QStringList failures = log.lines().filter(QStringLiteral("Failed"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const QString id = QLatin1String(c.folder);
        EXPECT_EQ(loaded.contains(id + QLatin1Char(':') + id), c.loads);
        if (!c.loads) {
            EXPECT_TRUE(failures.contains(QStringLiteral("[Quillaby] Failed to load skin at ") + user() +
                                          QLatin1Char('/') + id + QStringLiteral(": the frame image \"") +
                                          c.image + QStringLiteral("\" lies outside the skin folder")))
                << failures.join(QLatin1Char('\n')).toStdString();
        }
    }
    // A preview skin from any folder is held to its own folder too.
    EXPECT_FALSE(loader.loadSingle(user() + QStringLiteral("/climbs")).has_value());
    EXPECT_TRUE(loader.loadSingle(user() + QStringLiteral("/missing")).has_value());
}

TEST_F(SkinLoaderTest, APreviewSkinLoadsFromAnyFolderWithoutTouchingTheList) {
    const QString folder = _dir.path() + QStringLiteral("/elsewhere/preview");
    SkinLoader loader(folders());
    {
        LogCapture log;
        EXPECT_FALSE(loader.loadSingle(folder).has_value());
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[Quillaby] No skin.json at ") + folder});
    }
    writeFile(folder + QStringLiteral("/skin.json"), "{\"name\": 3}");
    {
        LogCapture log;
        EXPECT_FALSE(loader.loadSingle(folder).has_value());
        EXPECT_EQ(log.lines(),
                  QStringList{QStringLiteral("[Quillaby] Failed to parse preview skin: \"name\": "
                                             "expected a string, found a number")});
    }
    addSkin(folder, QStringLiteral("Preview"));
    LogCapture log;
    const std::optional<SkinManifest> skin = loader.loadSingle(folder);
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[Quillaby] Loaded preview skin: Preview")});
    EXPECT_EQ(skin->id, QStringLiteral("preview"));
    EXPECT_FALSE(skin->isBundled);
    EXPECT_EQ(skin->frameImageName, folder + QStringLiteral("/frame@2x.png"));
    EXPECT_TRUE(loader.skins().isEmpty());
}

TEST_F(SkinLoaderTest, ANewSkinFromOutsideGivesOneReloadAfterTheBatchAndTheDebounce) {
    SkinLoader loader(folders());
    loader.loadAll();
    loader.startWatching();
    const QStringList watched = loader.watchedPaths();
    loader.startWatching(); // one watch
    EXPECT_EQ(loader.watchedPaths(), watched);
    EXPECT_EQ(watched, QStringList{user()});

    // 0.3 s to gather the batch, then 0.6 s: the reload comes 0.6 to 0.9 s after the change.
    EXPECT_EQ(loader.eventLatencyTimer()->interval(), 300);
    EXPECT_TRUE(loader.eventLatencyTimer()->isSingleShot());
    EXPECT_EQ(loader.reloadTimer()->interval(), 600);

    addSkin(user() + QStringLiteral("/fresh"), QStringLiteral("Fresh"));
    ASSERT_TRUE(waitFor([&] { return loader.eventLatencyTimer()->isActive(); }));
    EXPECT_FALSE(loader.reloadTimer()->isActive());
    fire(loader.eventLatencyTimer());
    EXPECT_TRUE(loader.reloadTimer()->isActive());
    EXPECT_EQ(_reloads, 0);
    fire(loader.reloadTimer());
    EXPECT_EQ(_reloads, 1);
    EXPECT_EQ(ids(loader.skins()), (QStringList{"fresh:Fresh", "handheld:Handheld v1"}));

    // The reload re-armed the watch: the new folder and its files are watched, so an edit in place of
    // its skin.json is seen.
    EXPECT_TRUE(loader.watchedPaths().contains(user() + QStringLiteral("/fresh")));
    EXPECT_TRUE(loader.watchedPaths().contains(user() + QStringLiteral("/fresh/skin.json")));
    {
        QFile file(user() + QStringLiteral("/fresh/skin.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.resize(0);
        file.write(skinJson(QStringLiteral("Renamed")));
    }
    ASSERT_TRUE(waitFor([&] { return loader.eventLatencyTimer()->isActive(); }));
    fire(loader.eventLatencyTimer());
    fire(loader.reloadTimer());
    EXPECT_EQ(_reloads, 2);
    EXPECT_EQ(loader.skins().first().name, QStringLiteral("Renamed"));
}

TEST_F(SkinLoaderTest, ABurstOfChangesGivesOneReload) {
    SkinLoader loader(folders());
    loader.loadAll();
    loader.startWatching();
    // Ten writes in two batches: each batch restarts the debounce, so only one reload follows.
    for (int i = 0; i < 10; ++i) {
        addSkin(user() + QStringLiteral("/s%1").arg(i), QStringLiteral("S%1").arg(i));
        if (i == 4) {
            ASSERT_TRUE(waitFor([&] { return loader.eventLatencyTimer()->isActive(); }));
            fire(loader.eventLatencyTimer());
        }
    }
    ASSERT_TRUE(waitFor([&] { return loader.eventLatencyTimer()->isActive(); }));
    fire(loader.eventLatencyTimer());
    EXPECT_TRUE(loader.reloadTimer()->isActive());
    fire(loader.reloadTimer());
    QCoreApplication::processEvents();
    EXPECT_FALSE(loader.reloadTimer()->isActive());
    EXPECT_EQ(_reloads, 1);
    EXPECT_EQ(loader.skins().size(), 11);
}

TEST_F(SkinLoaderTest, TheApplicationsOwnAnnouncementSilencesTheWatchForAMoment) {
    SkinLoader loader(folders());
    loader.loadAll();
    loader.startWatching();
    struct Case {
        const char* name;
        qint64 stampAgoMs; // how long before the reload the application announced its change
        int reloads;
    };
    const Case cases[] = {
        {"just announced", 0, 0},
        {"1.4 s ago", 1400, 0},
        {"1.5 s ago", 1500, 1},
        {"never", -1, 1},
        // The clock was set back after the stamp: the watch is not silenced until it catches up.
        {"an hour ahead", -3600 * 1000, 1},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        loader.setLastManualBroadcast(c.stampAgoMs == -1 ? QDateTime() : _now.addMSecs(-c.stampAgoMs));
        addSkin(user() + QStringLiteral("/m%1").arg(n), QStringLiteral("M%1").arg(n));
        ++n;
        ASSERT_TRUE(waitFor([&] { return loader.eventLatencyTimer()->isActive(); }));
        fire(loader.eventLatencyTimer());
        _reloads = 0;
        LogCapture log;
        fire(loader.reloadTimer());
        EXPECT_EQ(_reloads, c.reloads);
        EXPECT_EQ(log.lines().isEmpty(), c.reloads == 0); // a skipped reload does not even read the folder
    }
}

TEST_F(SkinLoaderTest, TheShippedSkinsLoadWithTheirArt) {
    const QString shipped = QStringLiteral(QUILLABY_SOURCE_DIR "/Quillaby/Resources/Skins");
    SkinLoader loader(SkinLoader::Folders{shipped, user()});
    LogCapture log;
    loader.loadAll();
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Failed")).isEmpty())
        << log.lines().join('\n').toStdString();
    QStringList loaded = ids(loader.skins());
    loaded.sort();
    EXPECT_EQ(loaded,
              (QStringList{"desk-crt:Desk CRT 80", "handheld:Handheld v1", "pocket-glass:Pocket Glass P2"}));
    const QList<SkinManifest> all = loader.skins() + QList<SkinManifest>{SkinManifest::walkie()};
    for (const SkinManifest& skin : all) {
        SCOPED_TRACE(skin.id.toStdString());
        EXPECT_TRUE(skin.isBundled);
        // The built-in skins' art lies there too.
        EXPECT_TRUE(QFileInfo(shipped + QLatin1Char('/') + *skin.frameImageName).isFile());
        EXPECT_EQ(skin.palette.ansi.has_value(),
                  skin.id != QStringLiteral("handheld") && skin.id != QStringLiteral("walkie"));
        if (skin.id == QStringLiteral("desk-crt")) {
            EXPECT_EQ(skin.viewportCornerOffsets.size(), 4); // a keystoned screen
            EXPECT_GT(skin.keys.size(), 40);
            EXPECT_FALSE(skin.screenInFront);
        }
        if (skin.id == QStringLiteral("pocket-glass")) {
            EXPECT_TRUE(skin.screenInFront);
            EXPECT_EQ(skin.viewportCornerRadii.size(), 4);
            EXPECT_FALSE(skin.keys.isEmpty());
        }
    }
}
