#pragma once

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>

// Readable failures for text and JSON comparisons.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QJsonObject& object, std::ostream* out) {
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

namespace QuillabyTest {

// Every notification of the given names, as "name" or "name object", in order.
class NotificationRecorder {
public:
    explicit NotificationRecorder(const QStringList& names) {
        for (const QString& name : names) {
            Quillaby::NotificationCenter::defaultCenter().addObserver(
                name, &_owner, [this](const Quillaby::Notification& n) {
                    _heard << (n.hasObject() ? n.name + QLatin1Char(' ') + n.object.toString() : n.name);
                });
        }
    }
    QStringList take() { return std::exchange(_heard, {}); }

private:
    QObject _owner;
    QStringList _heard;
};

inline QStringList settingsNotifications() {
    using Quillaby::SettingsStore;
    return {QString(SettingsStore::fontDidChange), QString(SettingsStore::paletteDidChange),
            QString(SettingsStore::effectsDidChange), QString(SettingsStore::didReset),
            QString(Quillaby::SkinLoader::skinsDidReload)};
}

inline QJsonObject minimalSkin(const QString& name) {
    return QJsonObject{
        {"name", name},
        {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 400}, {"height", 600}}},
        {"viewport", QJsonObject{{"x", 40}, {"y", 50}, {"width", 320}, {"height", 200}}},
        {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}}},
        {"buttons", QJsonArray{}},
    };
}

// The shared store back at its defaults, an empty user skins folder and a fresh skin list, with
// the hooks answered and the log kept off standard error. The test main gives every binary a
// private HOME.
class SettingsWindowTest : public testing::Test {
protected:
    void SetUp() override {
        _hooks->now = [] { return QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC); };
        _hooks->openUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        _hooks->revealFile = [this](const QString& path) { revealed.append(path); };
        _hooks->runAlert = [](const Quillaby::AlertRequest&) {
            ADD_FAILURE() << "unexpected alert";
            return -1;
        };
        _hooks->runColorDialog = [](const Quillaby::ColorDialogRequest&) {
            ADD_FAILURE() << "unexpected colour chooser";
            return std::optional<QColor>();
        };
        Quillaby::SettingsStore::shared().resetAll();
        QDir(skinsDir()).removeRecursively();
        Quillaby::SkinLoader::shared().loadAll();
        _log.clear();
    }

    static QString skinsDir() { return Quillaby::AppPaths::skinsDir(); }
    static Quillaby::SettingsStore& store() { return Quillaby::SettingsStore::shared(); }

    // A user skin folder holding the skin.json; the list is reloaded when asked.
    static QString writeUserSkin(const QString& folder, const QJsonObject& skin, bool reload = true) {
        return writeUserSkinBytes(folder, QJsonDocument(skin).toJson(), reload);
    }
    static QString writeUserSkinBytes(const QString& folder, const QByteArray& bytes, bool reload = true) {
        const QString path = skinsDir() + QLatin1Char('/') + folder;
        QDir().mkpath(path);
        QFile file(path + QStringLiteral("/skin.json"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        if (reload) Quillaby::SkinLoader::shared().loadAll();
        return path + QStringLiteral("/skin.json");
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QJsonObject readObject(const QString& path) {
        return QJsonDocument::fromJson(readFile(path)).object();
    }
    static QJsonObject settingsJson() { return readObject(Quillaby::AppPaths::settingsFile()); }

    Quillaby::ScopedAppHooks _hooks;
    QList<QUrl> opened;
    QStringList revealed;
    Quillaby::LogCapture _log;
};

} // namespace QuillabyTest
