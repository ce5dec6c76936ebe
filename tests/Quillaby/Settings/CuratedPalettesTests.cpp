#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace Quillaby;

TEST(CuratedPalettes, CatalogueHoldsEightySixCompletePalettes) {
    const auto& all = CuratedPalettes::all();
    ASSERT_EQ(all.size(), 86);
    const QRegularExpression colour(QStringLiteral("^#[0-9a-f]{6}$"));
    const QRegularExpression idForm(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    QSet<QString> ids, names;
    int cursorIsForeground = 0;
    QList<int> light;
    for (int i = 0; i < all.size(); ++i) {
        const CuratedPalette& p = all[i];
        SCOPED_TRACE(p.id.toStdString());
        EXPECT_TRUE(idForm.match(p.id).hasMatch());
        ids.insert(p.id);
        names.insert(p.name);
        ASSERT_EQ(p.ansi.size(), 16);
        for (const QString& c : QStringList{p.foreground, p.background, p.cursor} + p.ansi) {
            EXPECT_TRUE(colour.match(c).hasMatch()) << c.toStdString();
        }
        if (p.cursor == p.foreground) ++cursorIsForeground;
        RgbColor bg = *hexColor(p.background);
        if (0.299 * bg.red + 0.587 * bg.green + 0.114 * bg.blue > 0.5) light.append(i + 1);
    }
    EXPECT_EQ(ids.size(), 86);
    EXPECT_EQ(names.size(), 86);
    EXPECT_EQ(cursorIsForeground, 12);
    EXPECT_EQ(light, (QList<int>{2, 6, 12, 16, 29, 31, 38, 59, 70, 71, 72, 73}));
}

TEST(CuratedPalettes, FixedRowsAndPositionsHold) {
    struct Row {
        int position;
        const char* id;
        const char* name;
        const char* foreground;
        const char* background;
        const char* cursor;
        QStringList ansi;
    };
    const Row rows[] = {
        {1,
         "solarized-dark",
         "Solarized Dark",
         "#93a1a1",
         "#002b36",
         "#93a1a1",
         {"#073642", "#dc322f", "#859900", "#b58900", "#268bd2", "#d33682", "#2aa198", "#eee8d5", "#586e75",
          "#cb4b16", "#586e75", "#657b83", "#839496", "#6c71c4", "#93a1a1", "#fdf6e3"}},
        {13,
         "rose-pine",
         "Rosé Pine",
         "#e0def4",
         "#191724",
         "#524f67",
         {"#26233a", "#eb6f92", "#31748f", "#f6c177", "#9ccfd8", "#c4a7e7", "#ebbcba", "#e0def4", "#6e6a86",
          "#eb6f92", "#31748f", "#f6c177", "#9ccfd8", "#c4a7e7", "#ebbcba", "#e0def4"}},
        {18,
         "phosphor-green",
         "Green Phosphor",
         "#00ff41",
         "#0a0f0a",
         "#00ff66",
         {"#0a0f0a", "#008f20", "#00ff41", "#b5ff55", "#229966", "#5be0a8", "#66ffaa", "#a0ffb0", "#1d331d",
          "#00ff66", "#00ffaa", "#eaffc0", "#33bb77", "#70ffcc", "#a5ffdd", "#e0ffe8"}},
        {22,
         "ibm-dos",
         "IBM DOS",
         "#aaaaaa",
         "#000000",
         "#ffffff",
         {"#000000", "#aa0000", "#00aa00", "#aa5500", "#0000aa", "#aa00aa", "#00aaaa", "#aaaaaa", "#555555",
          "#ff5555", "#55ff55", "#ffff55", "#5555ff", "#ff55ff", "#55ffff", "#ffffff"}},
        {31,
         "paperwhite",
         "Paper White",
         "#222222",
         "#fbf9f4",
         "#444444",
         {"#1d1d1d", "#a8354a", "#3d8040", "#a0771b", "#356fb8", "#964a88", "#2a8f8f", "#444444", "#666666",
          "#c44a64", "#4fa055", "#c08f30", "#467fc8", "#aa5d9c", "#3ca3a3", "#111111"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const CuratedPalette expected{
            QString::fromUtf8(r.id), QString::fromUtf8(r.name), r.foreground, r.background, r.cursor, r.ansi};
        EXPECT_EQ(CuratedPalettes::all().at(r.position - 1), expected);
    }
    // Ids and names at a few more positions, as the list names them.
    const std::pair<int, const char*> positions[] = {{4, "nord"},     {25, "synthwave"}, {49, "tarnholm"},
                                                     {56, "borland"}, {73, "ink-paper"}, {86, "starlight"}};
    for (auto [position, id] : positions)
        EXPECT_EQ(CuratedPalettes::all().at(position - 1).id, QLatin1String(id));
    EXPECT_EQ(CuratedPalettes::all().at(24).name, QStringLiteral("Synthwave '84"));
    EXPECT_EQ(CuratedPalettes::all().at(45).name, QStringLiteral("Dark+ (VS Code)"));
}

TEST(CuratedPalettes, ByIdIsExactAndCaseSensitive) {
    EXPECT_EQ(CuratedPalettes::byId(u"nord"), CuratedPalettes::all().at(3));
    EXPECT_FALSE(CuratedPalettes::byId(u"Nord").has_value());
    EXPECT_FALSE(CuratedPalettes::byId(u"").has_value());
    EXPECT_FALSE(CuratedPalettes::byId(u"nord ").has_value());
}

TEST(CuratedPalettes, RandomNeverPicksTheExcludedPalette) {
    QSet<QString> seen;
    for (int i = 0; i < 2000; ++i) {
        CuratedPalette p = CuratedPalettes::random(QStringLiteral("dracula"));
        ASSERT_NE(p.id, QStringLiteral("dracula"));
        seen.insert(p.id);
    }
    // 2000 uniform draws miss a given palette with odds of about e^-23.
    EXPECT_EQ(seen.size(), 85);
    QSet<QString> any;
    for (int i = 0; i < 2000; ++i)
        any.insert(CuratedPalettes::random(QStringLiteral("no-such-id")).id);
    EXPECT_EQ(any.size(), 86);
}
