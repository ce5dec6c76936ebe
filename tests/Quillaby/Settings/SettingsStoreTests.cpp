#include "App/AppHooks.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <limits>
#include <memory>

using namespace Quillaby;

namespace {

// Every settings notification, as "name" or "name object".
class Recorder {
public:
    Recorder() {
        for (const QString& name :
             {QString(SettingsStore::fontDidChange), QString(SettingsStore::paletteDidChange),
              QString(SettingsStore::effectsDidChange), QString(SettingsStore::didReset)}) {
            NotificationCenter::defaultCenter().addObserver(name, &_owner, [this](const Notification& n) {
                _heard << (n.hasObject() ? n.name + QLatin1Char(' ') + n.object.toString() : n.name);
            });
        }
    }
    QStringList take() { return std::exchange(_heard, {}); }

private:
    QObject _owner;
    QStringList _heard;
};

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_dir.isValid());
        _hooks->now = [] { return QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC); };
    }
    QString folder() const { return _dir.path() + QStringLiteral("/Quillaby"); }
    QString file() const { return folder() + QStringLiteral("/settings.json"); }
    void write(const QByteArray& bytes, const QString& name = QStringLiteral("settings.json")) {
        QDir().mkpath(folder());
        QFile f(folder() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray read(const QString& name = QStringLiteral("settings.json")) const {
        QFile f(folder() + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QJsonObject json() const { return QJsonDocument::fromJson(read()).object(); }
    std::unique_ptr<SettingsStore> open() { return std::make_unique<SettingsStore>(file()); }

    QTemporaryDir _dir;
    ScopedAppHooks _hooks;
    Recorder _recorder;
};

} // namespace

TEST_F(SettingsStoreTest, NoFileGivesDefaultsAndTheFirstChangeWritesEveryKeySorted) {
    auto store = open();
    EXPECT_TRUE(QFileInfo(folder()).isDir());
    EXPECT_FALSE(QFileInfo::exists(file()));
    EXPECT_EQ(store->fontName(), QStringLiteral("JetBrainsMono NF"));
    EXPECT_EQ(store->fontSize(), 9.0);
    EXPECT_EQ(store->defaultSkin(), QStringLiteral("Handheld v1"));
    EXPECT_TRUE(store->restoreWindows());
    EXPECT_FALSE(store->hasLaunchedBefore());

    store->setRestoreWindows(true); // unchanged: nothing written
    EXPECT_FALSE(QFileInfo::exists(file()));

    store->setSkinEffects({{QStringLiteral("Handheld v1"), SkinEffectsSettings()}});
    store->setLastWindows(
        {WindowState{QStringLiteral("handheld"), QStringLiteral("Handheld v1"), 10, 20, 398, 555}});
    EXPECT_FALSE(QFileInfo::exists(file() + QStringLiteral(".tmp")));
    const QByteArray text = read();
    const QStringList top{"cursorOverrides", "defaultShell",      "defaultSkin", "fontName",
                          "fontSize",        "hasLaunchedBefore", "lastWindows", "paletteOverrides",
                          "restoreWindows",  "skinEffects"};
    EXPECT_EQ(json().keys(), top);
    // The keys come out in sorted order at every level.
    auto inOrder = [&](const QStringList& keys) {
        qsizetype at = 0;
        for (const QString& key : keys) {
            qsizetype next = text.indexOf(('"' + key + '"').toUtf8(), at);
            if (next < 0) return false;
            at = next;
        }
        return true;
    };
    EXPECT_TRUE(inOrder(top));
    EXPECT_TRUE(inOrder({"colorGrade", "curvature", "curvatureAmount", "glow", "glowIntensity",
                         "scanlineIntensity", "scanlineStyle", "scanlines"}));
    EXPECT_TRUE(inOrder({"height", "id", "skinName", "width", "x", "y"}));
    EXPECT_TRUE(text.contains("\n    \"")); // pretty-printed
    EXPECT_TRUE(_recorder.take().isEmpty());
}

TEST_F(SettingsStoreTest, UndecodableFileIsCopiedAsideAndDefaultsUsed) {
    const QByteArray contents[] = {"[1,2]", "{\"fontSize\": 12", "", QByteArray("\xff\xfe{}", 4), "\"text\""};
    for (const QByteArray& bytes : contents) {
        SCOPED_TRACE(bytes.toStdString());
        QDir(folder()).removeRecursively();
        write(bytes);
        LogCapture log;
        auto store = open();
        EXPECT_EQ(log.lines(),
                  QStringList{QStringLiteral("[Quillaby] settings.json could not be decoded — backed up "
                                             "to settings.json.corrupt-1700000000; starting from defaults")});
        EXPECT_EQ(read(QStringLiteral("settings.json.corrupt-1700000000")), bytes);
        EXPECT_EQ(store->fontSize(), 9.0);
        EXPECT_EQ(read(), bytes); // untouched until the next save
        store->setFontSize(12);
        EXPECT_EQ(json().value(QStringLiteral("fontSize")).toDouble(), 12.0);
        EXPECT_EQ(read(QStringLiteral("settings.json.corrupt-1700000000")), bytes);
    }
}

TEST_F(SettingsStoreTest, FileThatCannotBeReadIsLoggedAndNeverOverwritten) {
    QDir().mkpath(file()); // a folder where the file should be
    LogCapture log;
    auto store = open();
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("[Quillaby] settings.json could not be read (Is a directory) — "
                                         "starting from defaults; it will not be overwritten")});
    store->setFontSize(14);
    EXPECT_EQ(store->fontSize(), 14.0); // kept for this run
    EXPECT_TRUE(QFileInfo(file()).isDir());
    EXPECT_FALSE(QFileInfo::exists(file() + QStringLiteral(".tmp")));
}

TEST_F(SettingsStoreTest, CorruptFileThatCannotBeCopiedIsNeverOverwritten) {
    write("[1,2]");
    QDir().mkpath(folder() + QStringLiteral("/settings.json.corrupt-1700000000/blocker"));
    LogCapture log;
    auto store = open();
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(
        QStringLiteral("[Quillaby] settings.json could not be decoded and could not "
                       "be backed up to settings.json.corrupt-1700000000")));
    store->setFontName(QStringLiteral("Menlo"));
    EXPECT_EQ(read(), "[1,2]");
}

TEST_F(SettingsStoreTest, EachKeyDecodesOnItsOwnAndUnknownKeysAreDropped) {
    write(R"({
        "fontName": "Menlo", "fontSize": "12", "defaultShell": 5, "defaultSkin": "Walkie MK-1",
        "restoreWindows": null, "hasLaunchedBefore": true, "someday": {"a": 1},
        "lastWindows": [{"id": "walkie", "skinName": "Walkie MK-1", "x": 1, "y": 2, "height": 3, "extra": 0}],
        "skinEffects": {
            "A": {"scanlines": true, "scanlineIntensity": 0.5, "scanlineStyle": "heavy", "glow": false,
                  "glowIntensity": 0.4, "curvature": false, "curvatureAmount": 0.15, "colorGrade": "amber"},
            "B": {"scanlines": true, "scanlineIntensity": 0.5, "scanlineStyle": "heavy", "glow": false,
                  "glowIntensity": 0.4, "curvature": false, "curvatureAmount": 0.15}},
        "cursorOverrides": {"A": "#FF0000", "B": 7},
        "paletteOverrides": {"A": "nord"}
    })");
    auto store = open();
    EXPECT_EQ(store->fontName(), QStringLiteral("Menlo"));
    EXPECT_EQ(store->fontSize(), 9.0);
    EXPECT_EQ(store->defaultShell(), SettingsStore::detectLoginShell()); // 5 is no text: empty
    EXPECT_EQ(store->defaultSkin(), QStringLiteral("Walkie MK-1"));
    EXPECT_TRUE(store->restoreWindows());
    EXPECT_TRUE(store->hasLaunchedBefore());
    EXPECT_EQ(store->lastWindows(), (QList<WindowState>{WindowState{"walkie", "Walkie MK-1", 1, 2, 0, 3}}));
    EXPECT_TRUE(store->skinEffects().isEmpty()); // entry B lacks colorGrade
    EXPECT_TRUE(store->cursorOverrides().isEmpty());
    EXPECT_EQ(store->paletteOverrides(), (QMap<QString, QString>{{"A", "nord"}}));

    store->setHasLaunchedBefore(true);
    QJsonObject saved = json();
    EXPECT_FALSE(saved.contains(QStringLiteral("someday")));
    EXPECT_EQ(saved.value(QStringLiteral("fontSize")).toDouble(), 9.0);
    EXPECT_EQ(saved.value(QStringLiteral("defaultShell")).toString(), QString());
    EXPECT_EQ(saved.value(QStringLiteral("lastWindows")).toArray().at(0).toObject().keys(),
              (QStringList{"height", "id", "skinName", "width", "x", "y"}));
}

TEST_F(SettingsStoreTest, ListsAndMapsAreTakenWholeOrNotAtAll) {
    struct Case {
        const char* name;
        QByteArray json;
        int windows, effects, cursors, palettes;
    };
    const QByteArray effect = R"({"scanlines": true, "scanlineIntensity": 0.5, "scanlineStyle": "heavy",
        "glow": true, "glowIntensity": 0.4, "curvature": false, "curvatureAmount": 0.15, "colorGrade": "none"})";
    const Case cases[] = {
        {"all good", R"({"lastWindows": [{}, {}], "skinEffects": {"A": )" + effect + R"(},
            "cursorOverrides": {"A": "#000000"}, "paletteOverrides": {"A": "nord", "B": "dracula"}})",
         2, 1, 1, 2},
        {"a window that is not an object", R"({"lastWindows": [{}, 3]})", 0, 0, 0, 0},
        {"windows not a list", R"({"lastWindows": {"a": {}}})", 0, 0, 0, 0},
        {"an effect of the wrong type",
         R"({"skinEffects": {"A": )" + effect + R"(, "B": {"scanlines": "yes"}}})", 0, 0, 0, 0},
        {"a palette override that is not text", R"({"paletteOverrides": {"A": "nord", "B": null}})", 0, 0, 0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.json);
        auto store = open();
        EXPECT_EQ(store->lastWindows().size(), c.windows);
        EXPECT_EQ(store->skinEffects().size(), c.effects);
        EXPECT_EQ(store->cursorOverrides().size(), c.cursors);
        EXPECT_EQ(store->paletteOverrides().size(), c.palettes);
    }
}

TEST_F(SettingsStoreTest, StartMigratesTheShellAndTheFontName) {
    const QString login = SettingsStore::detectLoginShell();
    struct Case {
        const char* name;
        QByteArray json;
        QString shell;
        QString font;
        bool saved;
    };
    const Case cases[] = {
        {"zsh follows the login shell", R"({"defaultShell": "/bin/zsh"})", login, "JetBrainsMono NF",
         login != QStringLiteral("/bin/zsh")},
        {"another shell stays", R"({"defaultShell": "/opt/homebrew/bin/fish"})", "/opt/homebrew/bin/fish",
         "JetBrainsMono NF", false},
        {"old font name", R"({"fontName": "JetBrains Mono"})", login, "JetBrainsMono NF", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.json);
        auto store = open();
        EXPECT_EQ(store->defaultShell(), c.shell);
        EXPECT_EQ(store->fontName(), c.font);
        EXPECT_EQ(read() != c.json, c.saved);
    }
}

TEST_F(SettingsStoreTest, FontSettersIgnoreUnchangedValuesAndKeepTheSizeUsable) {
    // Mend: the size is clamped to 6...24 and NaN or infinities never reach the store or the file.
    write(R"({"fontSize": 100})");
    auto store = open();
    EXPECT_EQ(store->fontSize(), 24.0);

    struct Step {
        double size;
        double stored;
        bool posts;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Step steps[] = {{24, 24, false}, {12, 12, true},  {12, 12, false}, {30, 24, true},
                          {2, 6, true},    {nan, 6, false}, {inf, 6, false}, {6.5, 6.5, true}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.size);
        store->setFontSize(step.size);
        EXPECT_EQ(store->fontSize(), step.stored);
        // Only a change is written; the file keeps its 100 until then.
        EXPECT_EQ(json().value(QStringLiteral("fontSize")).toDouble(),
                  step.posts || step.stored != 24 ? step.stored : 100);
        EXPECT_EQ(_recorder.take(), step.posts ? QStringList{"ZolvFontDidChange"} : QStringList());
    }
    store->setFontName(QStringLiteral("JetBrainsMono NF"));
    EXPECT_TRUE(_recorder.take().isEmpty());
    store->setFontName(QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(_recorder.take(), QStringList{"ZolvFontDidChange"});
}

TEST_F(SettingsStoreTest, NonFiniteNumbersAreNeverStored) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto store = open();
    SkinEffectsSettings effects;
    effects.glowIntensity = nan;
    effects.scanlineIntensity = std::numeric_limits<double>::infinity();
    store->setSkinEffects({{QStringLiteral("A"), effects}});
    store->setLastWindows({WindowState{"a", "A", nan, 1, 2, nan}});
    EXPECT_EQ(store->effects(QStringLiteral("A")), SkinEffectsSettings());
    EXPECT_EQ(store->lastWindows(), (QList<WindowState>{WindowState{"a", "A", 0, 1, 2, 0}}));
    EXPECT_EQ(open()->lastWindows(), store->lastWindows());
}

TEST_F(SettingsStoreTest, CursorOverrideTruncatesAndNamesTheSkin) {
    auto store = open();
    store->setCursorOverride(RgbColor::rgb(1.0, 0.5, 0.0), QStringLiteral("Handheld v1"));
    EXPECT_EQ(store->cursorOverrides(), (QMap<QString, QString>{{"Handheld v1", "#FF7F00"}}));
    EXPECT_EQ(json()
                  .value(QStringLiteral("cursorOverrides"))
                  .toObject()
                  .value(QStringLiteral("Handheld v1"))
                  .toString(),
              QStringLiteral("#FF7F00"));
    EXPECT_EQ(_recorder.take(), QStringList{"ZolvPaletteDidChange Handheld v1"});

    LogCapture log;
    store->setCursorOverride(RgbColor::rgb(std::nan(""), 0, 0), QStringLiteral("Handheld v1"));
    EXPECT_EQ(log.lines(), QStringList{"[Quillaby] Could not convert cursor color to sRGB — skipping save"});
    EXPECT_TRUE(_recorder.take().isEmpty());
    EXPECT_EQ(store->cursorOverrides().value(QStringLiteral("Handheld v1")), QStringLiteral("#FF7F00"));

    store->setCursorOverride(std::nullopt, QStringLiteral("Handheld v1"));
    EXPECT_TRUE(store->cursorOverrides().isEmpty());
    EXPECT_EQ(_recorder.take(), QStringList{"ZolvPaletteDidChange Handheld v1"});
}

TEST_F(SettingsStoreTest, ResetAllRestoresDefaultsThenPostsFourObjectlessNotifications) {
    auto store = open();
    store->setHasLaunchedBefore(true);
    store->setFontSize(14);
    store->setPaletteOverrides({{"A", "nord"}});
    _recorder.take();
    store->resetAll();
    EXPECT_EQ(_recorder.take(), (QStringList{"ZolvSettingsDidReset", "ZolvFontDidChange",
                                             "ZolvPaletteDidChange", "ZolvEffectsDidChange"}));
    EXPECT_FALSE(store->hasLaunchedBefore());
    EXPECT_EQ(json(), SettingsData().toJson());
}

TEST_F(SettingsStoreTest, PruneSavesOnlyWhenItRemovedSomething) {
    auto store = open();
    store->setPaletteOverrides({{"A", "nord"}, {"B", "tarnholm"}, {"C", "no-such-palette"}});
    QFile::remove(file());
    EXPECT_EQ(store->prunePaletteOverrides({"nord", "tarnholm", "no-such-palette"}), 0);
    EXPECT_FALSE(QFileInfo::exists(file()));
    EXPECT_EQ(store->prunePaletteOverrides({"nord", "tarnholm"}), 1);
    EXPECT_EQ(json().value(QStringLiteral("paletteOverrides")).toObject().keys(), (QStringList{"A", "B"}));
}

TEST_F(SettingsStoreTest, DefaultShellFallsBackToTheLoginShell) {
    auto store = open();
    const QString login = SettingsStore::detectLoginShell();
    EXPECT_EQ(store->defaultShell(), login);
    store->setDefaultShell(login); // what the getter already gives: nothing stored
    EXPECT_FALSE(QFileInfo::exists(file()));
    store->setDefaultShell(QStringLiteral("/bin/sh"));
    EXPECT_EQ(json().value(QStringLiteral("defaultShell")).toString(), QStringLiteral("/bin/sh"));
}

TEST_F(SettingsStoreTest, FailedSaveKeepsTheChangeForTheNextOne) {
    auto store = open();
    QDir().mkpath(file() + QStringLiteral(".tmp/blocker"));
    LogCapture log;
    store->setDefaultSkin(QStringLiteral("Walkie MK-1"));
    EXPECT_EQ(log.lines(), QStringList{"[Quillaby] Failed to save settings: Is a directory"});
    EXPECT_FALSE(QFileInfo::exists(file()));
    QDir(file() + QStringLiteral(".tmp")).removeRecursively();
    store->setRestoreWindows(false);
    EXPECT_EQ(json().value(QStringLiteral("defaultSkin")).toString(), QStringLiteral("Walkie MK-1"));
}

TEST(SettingsStoreShell, LoginShellComesFromThePasswordDatabaseThenTheEnvironment) {
    EXPECT_EQ(SettingsStore::loginShellFrom("/usr/bin/fish", "/bin/bash"), QStringLiteral("/usr/bin/fish"));
    EXPECT_EQ(SettingsStore::loginShellFrom("", "/bin/bash"), QStringLiteral("/bin/bash"));
    EXPECT_EQ(SettingsStore::loginShellFrom("", ""), QStringLiteral("/bin/zsh"));
    const passwd* entry = getpwuid(getuid());
    if (entry && entry->pw_shell && *entry->pw_shell) {
        EXPECT_EQ(SettingsStore::detectLoginShell(), QString::fromLocal8Bit(entry->pw_shell));
    }
}
