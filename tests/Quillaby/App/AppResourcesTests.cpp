#include "App/AppInfo.h"
#include "App/AppResources.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Quillaby;

TEST(AppResources, BundleIsFoundInstalledThenBesideTheExecutableThenInTheSources) {
    QTemporaryDir root;
    const QString bin = root.path() + QStringLiteral("/prefix/bin");
    const QString installed = root.path() + QStringLiteral("/prefix/share/quillaby/Quillaby_Quillaby.bundle");
    const QString beside = bin + QStringLiteral("/Quillaby_Quillaby.bundle");
    const QString source = root.path() + QStringLiteral("/src/Quillaby/Resources");
    for (const QString& path : {installed, beside, source})
        QDir().mkpath(path);
    const QStringList candidates = AppResources::candidatePaths(bin, source);
    EXPECT_EQ(candidates, (QStringList{installed, beside, source}));

    // Each place wins while it exists; none left gives no bundle.
    for (const QString& expected : {installed, beside, source}) {
        SCOPED_TRACE(expected.toStdString());
        ResourceBundle bundle = AppResources::locate(candidates);
        EXPECT_EQ(bundle.path(), expected);
        EXPECT_EQ(bundle.resourcePath(), expected);
        QDir(expected).removeRecursively();
    }
    ResourceBundle none = AppResources::locate(candidates);
    EXPECT_FALSE(none.isValid());
    EXPECT_FALSE(none.resourcePath().has_value());
}

TEST(AppResources, AFileIsNoBundle) {
    QTemporaryDir root;
    QFile file(root.path() + QStringLiteral("/Quillaby_Quillaby.bundle"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(AppResources::locate({file.fileName()}).isValid());
}

TEST(AppResources, TestsCanPointTheBundleElsewhere) {
    AppResources::setBundleForTesting(QStringLiteral("/tmp/fixture-bundle"));
    EXPECT_EQ(AppResources::bundle().path(), QStringLiteral("/tmp/fixture-bundle"));
    AppResources::setBundleForTesting(QString());
    EXPECT_FALSE(AppResources::bundle().isValid());
    AppResources::setBundleForTesting(std::nullopt);
    // The build's source folder is the last resort, so a test binary always finds one.
    EXPECT_TRUE(AppResources::bundle().isValid() ||
                !QFileInfo::exists(QStringLiteral(QUILLABY_SOURCE_RESOURCES)));
}

TEST(AppInfo, VersionIsCompiledInWithFallbacks) {
    EXPECT_EQ(AppInfo::shortVersion(), QStringLiteral(QUILLABY_VERSION));
    EXPECT_FALSE(AppInfo::build().isEmpty());
    EXPECT_EQ(AppInfo::valueOr("", "dev"), QStringLiteral("dev"));
    EXPECT_EQ(AppInfo::valueOr(nullptr, "0.0.0"), QStringLiteral("0.0.0"));
    EXPECT_EQ(AppInfo::valueOr("1.2.3", "0.0.0"), QStringLiteral("1.2.3"));
}
