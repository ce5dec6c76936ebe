#include "Windows/PillButton.h"
#include "Windows/SessionTabsView.h"

#include "ViewTestSupport.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMenu>
#include <QPainter>

#include <gtest/gtest.h>

using namespace Quillaby;
using QuillabyTest::spinUntil;

namespace {

const SkinManifest::TerminalPalette light{RgbColor::rgb(0.9, 0.9, 0.9), RgbColor::rgb(0.04, 0.04, 0.06),
                                          std::nullopt, std::nullopt};

QStringList labels(const SessionTabsView& strip) {
    QStringList list;
    for (const PillButton* pill : strip.pillViews())
        list << pill->label();
    return list;
}

// The pill drawn over a dark background.
QImage render(PillButton& pill) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(10, 10, 15));
    pill.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

TEST(SessionTabsView, UpdatesAddAndRemovePillsAtTheEnd) {
    SessionTabsView strip(light);
    std::vector<std::string> heard;
    strip.onPick = [&](int i) { heard.push_back("pick " + std::to_string(i)); };
    strip.onClose = [&](int i) { heard.push_back("close " + std::to_string(i)); };
    strip.onAdd = [&] { heard.push_back("add"); };

    strip.update(3, 1, light);
    EXPECT_EQ(labels(strip), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(strip.pillViews()[i]->isActive(), i == 1);
        EXPECT_EQ(strip.pillViews()[i]->geometry(), QRect(19 * i, 0, 16, 16));
    }
    EXPECT_EQ(strip.addButton()->geometry(), QRect(57, 0, 16, 16));
    EXPECT_EQ(SessionTabsView::stripWidth(3), 73);

    PillButton* first = strip.pillViews()[0];
    PillButton* second = strip.pillViews()[1];
    strip.update(2, 0, light);
    EXPECT_EQ(strip.pillViews(), (QList<PillButton*>{first, second}));
    EXPECT_EQ(strip.addButton()->geometry(), QRect(38, 0, 16, 16));
    EXPECT_TRUE(first->isActive());
    EXPECT_FALSE(second->isActive());

    // The kept pills keep their callbacks: a click picks, the menu item closes, "+" adds.
    second->onClick();
    std::unique_ptr<QMenu> menu = second->makeContextMenu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Close Tab 2"));
    EXPECT_TRUE(menu->actions()[0]->shortcut().isEmpty());
    menu->actions()[0]->trigger();
    ASSERT_TRUE(spinUntil([&] { return heard.size() == 2; }));
    strip.addButton()->onClick();
    EXPECT_EQ(heard, (std::vector<std::string>{"pick 1", "close 1", "add"}));

    // The "+" pill's item exists and does nothing.
    std::unique_ptr<QMenu> plusMenu = strip.addButton()->makeContextMenu();
    EXPECT_EQ(plusMenu->actions()[0]->text(), QStringLiteral("Close Tab +"));
    plusMenu->actions()[0]->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(heard.size(), 3u);
}

TEST(SessionTabsView, PillsTakeThePalettesForegroundAtEveryUpdate) {
    SessionTabsView strip(light);
    EXPECT_EQ(strip.addButton()->paletteForeground(), light.foreground.toQColor());
    strip.update(2, 0, light);
    SkinManifest::TerminalPalette green = light;
    green.foreground = RgbColor::rgb(0.2, 1.0, 0.3);
    strip.update(2, 1, green);
    for (const PillButton* pill : strip.pillViews())
        EXPECT_EQ(pill->paletteForeground(), green.foreground.toQColor());
    EXPECT_EQ(strip.addButton()->paletteForeground(), green.foreground.toQColor());
    EXPECT_EQ(strip.palette(), green);
}

TEST(PillButton, StatesHaveTheirAlphasAndLabelColours) {
    struct Case {
        const char* name;
        bool active;
        bool hovered;
        PillButton::Appearance expected;
    };
    const Case cases[] = {
        {"active", true, false, {0.85, 0, true}},
        {"active and hovered", true, true, {0.85, 0, true}},
        {"hovered", false, true, {0.35, 0.9, false}},
        {"idle", false, false, {0.12, 0.6, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PillButton::appearance(c.active, c.hovered), c.expected);
    }
}

TEST(PillButton, AnActivePillIsANearlyOpaqueLightPillAndAnIdleOneIsFaint) {
    PillButton active(QStringLiteral("1"));
    PillButton idle(QStringLiteral("2"));
    for (PillButton* pill : {&active, &idle}) {
        pill->resize(16, 16);
        pill->setPaletteForeground(QColor::fromRgbF(0.9f, 0.9f, 0.9f));
    }
    active.setActive(true);
    const QImage lit = render(active);
    const QImage faint = render(idle);

    // Just inside the rounded corner, away from the label.
    EXPECT_GT(qGray(lit.pixel(3, 8)), 190);
    EXPECT_LT(qGray(faint.pixel(3, 8)), 50);
    // The outline shows on the idle pill only.
    EXPECT_GT(qGray(faint.pixel(0, 8)), qGray(faint.pixel(3, 8)) + 40);
    // The label: black on the lit pill, light on the faint one, somewhere in the middle.
    int darkest = 255;
    int lightest = 0;
    for (int y = 4; y < 12; ++y)
        for (int x = 5; x < 11; ++x) {
            darkest = std::min(darkest, qGray(lit.pixel(x, y)));
            lightest = std::max(lightest, qGray(faint.pixel(x, y)));
        }
    EXPECT_LT(darkest, 90);
    EXPECT_GT(lightest, 150);
}

TEST(PillButton, HoverShowsOnlyInTheActiveWindow) {
    QWidget activeWindow;
    QWidget otherWindow;
    auto* inActive = new PillButton(QStringLiteral("1"), &activeWindow);
    auto* inOther = new PillButton(QStringLiteral("2"), &otherWindow);
    otherWindow.show();
    activeWindow.show();
    activeWindow.activateWindow();
    ASSERT_TRUE(spinUntil([&] { return activeWindow.isActiveWindow(); }));
    ASSERT_FALSE(otherWindow.isActiveWindow());

    QEvent leave(QEvent::Leave);
    for (PillButton* pill : {inActive, inOther}) {
        // The pointer may have entered one while its window was active; it leaves first.
        QCoreApplication::sendEvent(pill, &leave);
        QEnterEvent enter(QPointF(8, 8), QPointF(8, 8), QPointF(8, 8));
        QCoreApplication::sendEvent(pill, &enter);
    }
    EXPECT_TRUE(inActive->isHovered());
    EXPECT_FALSE(inOther->isHovered());
    QCoreApplication::sendEvent(inActive, &leave);
    EXPECT_FALSE(inActive->isHovered());
}
