#pragma once

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/NotificationCenter.h"
#include "Builder/SkinBuilderModel.h"
#include "BuilderTestSupport.h"
#include "Skins/SkinLoader.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace QuillabyTest {

// A builder model with answered dialogs and alerts, a fixed clock, a private temporary folder and a
// count of skin-list announcements. The user's skins folder is emptied before each test.
class BuilderFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(Quillaby::AppPaths::skinsDir()).removeRecursively();
        _savedTmp = qgetenv("TMPDIR");
        QDir().mkpath(tempFolder());
        qputenv("TMPDIR", tempFolder().toLocal8Bit());
        hooks->now = [this] { return now; };
        hooks->runAlert = [this](const Quillaby::AlertRequest& alert) {
            alerts.append(alert);
            return alertAnswer;
        };
        hooks->runFileDialog = [this](const Quillaby::FileDialogRequest& request) {
            dialogs.append(request);
            return dialogAnswer;
        };
        Quillaby::NotificationCenter::defaultCenter().addObserver(
            QString(Quillaby::SkinLoader::skinsDidReload), &_owner,
            [this](const Quillaby::Notification&) { ++reloads; });
    }
    void TearDown() override {
        if (_savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", _savedTmp);
    }

    QString tempFolder() const { return dir.filePath("tmp"); }
    QString skinsDir() const { return Quillaby::AppPaths::skinsDir(); }

    // The model holding an image of that many pixels (one point per pixel unless dpi says otherwise).
    void loadImage(QSize pixels, double dpi = 72) {
        const QString path = dir.filePath(QStringLiteral("source-%1.png").arg(++_images));
        writeImage(path, pixels, dpi);
        model.loadImage(path);
        ASSERT_TRUE(model.skinImage());
    }

    // The ready-to-write document of the example.
    void prepareCoolSkin() {
        loadImage(QSize(1000, 1600));
        model.setViewport(QRectF(101, 200, 300, 401));
        model.setSkinName(QStringLiteral("My Cool Skin"));
    }

    QJsonObject manifestJson() const {
        std::optional<Quillaby::SkinManifestExport> manifest = model.buildManifest();
        if (!manifest) return QJsonObject();
        return manifest->encode().value_or(QJsonObject());
    }

    QTemporaryDir dir;
    Quillaby::ScopedAppHooks hooks;
    Quillaby::SkinBuilderModel model;
    QDateTime now = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC);
    QList<Quillaby::AlertRequest> alerts;
    int alertAnswer = 0;
    QList<Quillaby::FileDialogRequest> dialogs;
    QString dialogAnswer;
    int reloads = 0;

private:
    QObject _owner;
    QByteArray _savedTmp;
    int _images = 0;
};

} // namespace QuillabyTest
