// `cmake --install` lays out a tree a Linux desktop understands, and the installed executable finds its
// resources in it.
#include "App/AppResources.h"

#include "ViewTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Quillaby;

TEST(Install, TheInstalledTreeHoldsTheAppItsResourcesADesktopEntryAndIconsAndTheAppFindsThem) {
    QTemporaryDir prefix;
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral("cmake"), {"--install", QStringLiteral(QUILLABY_BUILD_DIR), "--prefix", prefix.path()});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString bundle = prefix.filePath(QStringLiteral("share/quillaby/Quillaby_Quillaby.bundle"));
    const QString desktop = prefix.filePath(QStringLiteral("share/applications/quillaby.desktop"));
    EXPECT_TRUE(QFileInfo(bin + QStringLiteral("/Quillaby")).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(bundle + QStringLiteral("/Skins/desk-crt/skin.json")));
    EXPECT_TRUE(QFileInfo::exists(bundle + QStringLiteral("/Resources/CHANGELOG.md")));
    for (int size : {16, 32, 48, 64, 128, 256})
        EXPECT_TRUE(QFileInfo::exists(prefix.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/quillaby.png").arg(size))))
            << size;
    ASSERT_TRUE(QFileInfo::exists(desktop));
    if (const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        !validate.isEmpty()) {
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(validate, {desktop});
        ASSERT_TRUE(check.waitForFinished(10000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
        EXPECT_TRUE(check.readAll().trimmed().isEmpty());
    }

    // The lookup from the installed executable's folder lands on the installed bundle first ...
    EXPECT_EQ(AppResources::locate(AppResources::candidatePaths(bin, QStringLiteral("/nonexistent"))).path(), bundle);

    // ... and the installed executable reads it: a skin put into the installed bundle only is loaded (a
    // first launch of its own, offscreen).
    const QString marker = bundle + QStringLiteral("/Skins/install-marker");
    ASSERT_TRUE(QDir().mkpath(marker));
    ASSERT_TRUE(QFile::copy(bundle + QStringLiteral("/Skins/desk-crt/frame@2x.png"), marker + QStringLiteral("/frame@2x.png")));
    {
        QFile source(bundle + QStringLiteral("/Skins/desk-crt/skin.json"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QFile copy(marker + QStringLiteral("/skin.json"));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(source.readAll().replace("\"Desk CRT 80\"", "\"Install Marker\""));
    }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath(".local/share"));
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // Its own single-instance name: it must not find a running copy.
    env.insert("DISPLAY", QStringLiteral(":install-test-%1").arg(QCoreApplication::applicationPid()));
    QProcess app;
    app.setProcessEnvironment(env);
    QByteArray errors;
    QObject::connect(&app, &QProcess::readyReadStandardError, [&] { errors += app.readAllStandardError(); });
    app.start(bin + QStringLiteral("/Quillaby"), {});
    ASSERT_TRUE(app.waitForStarted());
    const QByteArray loaded = "[Quillaby] Loaded skin: Install Marker from install-marker";
    EXPECT_TRUE(QuillabyTest::spinUntil([&] { return errors.contains(loaded); }, 20000)) << errors.toStdString();
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
}
