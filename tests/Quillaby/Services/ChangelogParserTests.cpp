#include "App/AppResources.h"
#include "Services/ChangelogParser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Quillaby;

TEST(ChangelogParser, ReadsTheBulletsOfTheNewestReleasedSection) {
    struct Case {
        const char* name;
        QString text;
        QStringList expected;
    };
    const Case cases[] = {
        {"unreleased skipped, later sections never read",
         "# Changelog\n- before any heading\n## [Unreleased]\n- soon\n## [1.2.0]\n- One\n- Two\n## "
         "[1.1.0]\n- Old\n",
         {"One", "Two"}},
        {"every spelling of unreleased",
         "## Unreleased changes\n- a\n## UNRELEASED\n- b\n## 1.0\n- c\n",
         {"c"}},
        {"released section without bullets", "## 2.0\nJust words.\n## 1.0\n- Old\n", {}},
        {"bold stripped", "## 1.0\n- **Fast** scrolling\n- ****\n", {"Fast scrolling"}},
        {"blank items dropped", "## 1.0\n- \n-    \n-\t\n- kept\n", {"kept"}},
        {"hyphen needs a blank", "## 1.0\n-word\n--\n", {}},
        {"indented bullets count", "## 1.0\n  - indented\n\t- tabbed\n", {"indented", "tabbed"}},
        {"other markers and levels ignored", "## 1.0\n* star\n+ plus\n### Added\n- yes\n# Top\n", {"yes"}},
        {"no heading", "- a\n- b\n", {}},
        {"heading needs its blank", "##1.0\n- a\n", {}},
        {"empty", "", {}},
        {"CRLF like LF",
         "## [Unreleased]\r\n- soon\r\n## 1.0\r\n- One\r\n-  Two  \r\n## 0.9\r\n- Old\r\n",
         {"One", "Two"}},
        {"non-breaking spaces trimmed", "## 1.0\n\u00a0- note\u3000\n", {"note"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChangelogParser::parse(c.text), c.expected);
    }
}

TEST(ChangelogParser, BundledNotesAreReadAnewAndEmptyWhenUnreadable) {
    QTemporaryDir bundle;
    QDir().mkpath(bundle.path() + "/Resources");
    AppResources::setBundleForTesting(bundle.path());
    QFile file(bundle.path() + "/Resources/CHANGELOG.md");
    auto write = [&](const QByteArray& bytes) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
    };

    EXPECT_TRUE(ChangelogParser::bundledNotes().isEmpty());
    write("## 1.0\n- Caf\xc3\xa9\n");
    EXPECT_EQ(ChangelogParser::bundledNotes(), QStringList{"Café"});
    write("## 1.1\n- Newer\n");
    EXPECT_EQ(ChangelogParser::bundledNotes(), QStringList{"Newer"});
    write("## 1.0\n- Caf\xe9\n");
    EXPECT_TRUE(ChangelogParser::bundledNotes().isEmpty());

    AppResources::setBundleForTesting(QString());
    EXPECT_TRUE(ChangelogParser::bundledNotes().isEmpty());
    AppResources::setBundleForTesting(std::nullopt);
}

TEST(ChangelogParser, TheShippedChangeLogHasNotes) {
    AppResources::setBundleForTesting(QStringLiteral(QUILLABY_SOURCE_DIR "/Quillaby/Resources"));
    EXPECT_FALSE(ChangelogParser::bundledNotes().isEmpty());
    AppResources::setBundleForTesting(std::nullopt);
}
