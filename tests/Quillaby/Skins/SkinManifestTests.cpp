#include "App/AppPaths.h"
#include "Skins/SkinManifest.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Quillaby;

TEST(SkinManifest, BuiltInSkinsHoldTheirValues) {
    struct Expected {
        const SkinManifest& skin;
        const char* id;
        const char* name;
        QSizeF frame;
        QRectF viewport;
        double radius;
        const char* image;
        RgbColor foreground, background;
        QList<QRectF> buttons;
        QStringList labels;
    };
    const Expected cases[] = {
        {SkinManifest::handheld(),
         "handheld",
         "Handheld v1",
         {398, 555},
         {58, 82, 282, 172},
         8.0,
         "handheld/frame@2x.png",
         RgbColor::rgb(0, 1, 0.25),
         RgbColor::rgb(0.02, 0.02, 0.02),
         {{72, 340, 65, 65}, {148, 340, 65, 65}, {222, 340, 60, 60}, {305, 335, 70, 70}},
         {"", "", "", ""}},
        {SkinManifest::walkie(),
         "walkie",
         "Walkie MK-1",
         {421, 661},
         {68, 213, 285, 147},
         6.0,
         "walkie/Walkie_alpha.png",
         RgbColor::rgb(1, 0.55, 0),
         RgbColor::rgb(0.05, 0.03, 0),
         {{52, 375, 72, 48}, {132, 375, 80, 48}, {214, 375, 70, 48}, {293, 375, 72, 48}},
         {"MENU", "SCAN", "MON", "ENT"}},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.id);
        const SkinManifest& s = c.skin;
        EXPECT_EQ(s.id, QString::fromLatin1(c.id));
        EXPECT_EQ(s.name, QString::fromLatin1(c.name));
        EXPECT_EQ(s.frameSize, c.frame);
        EXPECT_EQ(s.viewportRect, c.viewport);
        EXPECT_EQ(s.viewportCornerRadius, c.radius);
        EXPECT_EQ(s.frameImageName, QString::fromLatin1(c.image));
        EXPECT_EQ(s.palette.foreground, c.foreground);
        EXPECT_EQ(s.palette.background, c.background);
        EXPECT_EQ(s.palette.foreground.alpha, 1.0);
        EXPECT_FALSE(s.palette.cursor.has_value());
        EXPECT_FALSE(s.palette.ansi.has_value());
        ASSERT_EQ(s.buttons.size(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(s.buttons[i].rect, c.buttons[i]);
            EXPECT_EQ(s.buttons[i].label, c.labels[i]);
            EXPECT_FALSE(s.buttons[i].key.has_value());
        }
        EXPECT_TRUE(s.keys.isEmpty());
        EXPECT_TRUE(s.isBundled);
        EXPECT_TRUE(s.viewportCornerOffsets.isEmpty());
        EXPECT_TRUE(s.viewportCornerRadii.isEmpty());
        EXPECT_EQ(s.launchScale, 1.0);
        EXPECT_FALSE(s.screenInFront);
    }
    EXPECT_EQ(&SkinManifest::handheld(), &SkinManifest::handheld()); // built once
}

TEST(SkinManifest, TheLoaderAddsOnlyTheHandheldWhileConsumersFallBackToBoth) {
    EXPECT_EQ(SkinManifest::programmaticSkins(), QList<SkinManifest>{SkinManifest::handheld()});
    EXPECT_EQ(SkinManifest::fallbackSkins(),
              (QList<SkinManifest>{SkinManifest::handheld(), SkinManifest::walkie()}));
}

TEST(SkinManifest, UserFolderIsOnlyAnInstalledUserSkinsFolder) {
    const QString skins = AppPaths::skinsDir();
    for (const char* id : {"handheld", "retro", "bare"})
        QDir().mkpath(skins + QLatin1Char('/') + QLatin1String(id));
    for (const char* id : {"handheld", "retro"}) {
        QFile file(skins + QLatin1Char('/') + QLatin1String(id) + QStringLiteral("/skin.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    auto userSkin = [](const char* id) {
        SkinManifest skin;
        skin.id = QString::fromLatin1(id);
        return skin;
    };
    struct Case {
        const char* name;
        SkinManifest skin;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"built-in with a same-named user folder", SkinManifest::handheld(), std::nullopt},
        {"user skin with skin.json", userSkin("retro"), skins + QStringLiteral("/retro")},
        {"user skin whose folder lost skin.json", userSkin("bare"), std::nullopt},
        {"no folder at all", userSkin("gone"), std::nullopt},
        {"a name that climbs out", userSkin(".."), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.skin.userFolderURL(), c.expected);
    }
    QDir(AppPaths::appSupport()).removeRecursively();
}
