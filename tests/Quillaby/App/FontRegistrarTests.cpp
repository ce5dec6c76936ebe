#include "App/AppResources.h"
#include "App/FontRegistrar.h"
#include "App/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Quillaby;

namespace {

const QString dejaVu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");

} // namespace

TEST(FontRegistrar, RegistersTtfFilesInAnyCaseOnceAndLogsOnlyRealFailures) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::exists(dejaVu));
    for (const char* name : {"Upper.TTF", "lower.ttf", "open.otf", "collection.ttc"})
        ASSERT_TRUE(QFile::copy(dejaVu, dir.filePath(QString::fromLatin1(name))));
    {
        QFile garbage(dir.filePath(QStringLiteral("garbage.ttf")));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write("not a font");
    }
    QDir(dir.path()).mkdir(QStringLiteral("nested"));
    ASSERT_TRUE(QFile::copy(dejaVu, dir.filePath(QStringLiteral("nested/deep.ttf"))));

    LogCapture log;
    QStringList registered = FontRegistrar::registerFonts(dir.path());
    registered.sort();
    EXPECT_EQ(registered, (QStringList{"Upper.TTF", "lower.ttf"}));
    EXPECT_EQ(log.lines(), QStringList{"[Quillaby] FontRegistrar: garbage.ttf register failed (103)"});

    // Registered before in this process: nothing new, and nothing logged for it.
    log.clear();
    EXPECT_TRUE(FontRegistrar::registerFonts(dir.path()).isEmpty());
    EXPECT_EQ(log.lines(), QStringList{"[Quillaby] FontRegistrar: garbage.ttf register failed (103)"});
}

TEST(FontRegistrar, ABundleWithoutFontsIsQuietAndNoBundleIsLogged) {
    QTemporaryDir bundle;
    LogCapture log;
    AppResources::setBundleForTesting(bundle.path());
    FontRegistrar::registerBundledFonts();
    EXPECT_TRUE(log.lines().isEmpty());
    AppResources::setBundleForTesting(QString());
    FontRegistrar::registerBundledFonts();
    EXPECT_EQ(log.lines(), QStringList{"[Quillaby] FontRegistrar: no bundled Fonts directory"});
    AppResources::setBundleForTesting(std::nullopt);
}
