// Copy, paste and find: which commands are enabled, what a paste sends, searches that select and scroll,
// and the find bar's keys and options.
#include "ManualExecutor.h"
#include "TerminalFindBarView.h"
#include "ViewTestSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

using Log = std::vector<std::string>;
using Command = TerminalView::EditCommand;

struct EditFixture {
    ManualExecutor executor;
    TerminalView view;
    RecordingViewDelegate delegate;
    EditFixture()
        : view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor) {
        view.setTerminalDelegate(&delegate);
    }
    Log take() { return delegate.take(); }
    std::pair<Position, Position> selected() { return {view.selection().start(), view.selection().end()}; }
    void key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = {}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(target, &event);
    }
};

} // namespace

TEST(TerminalViewEdit, CopyAndUseSelectionNeedASelectionTheRestAreAlwaysOn) {
    EditFixture f;
    f.view.feed("hello world");
    for (Command always : {Command::paste, Command::selectAll, Command::showFind, Command::findNext,
                           Command::findPrevious, Command::hideFind})
        EXPECT_TRUE(f.view.isCommandEnabled(always));
    EXPECT_FALSE(f.view.isCommandEnabled(Command::copy));
    EXPECT_FALSE(f.view.isCommandEnabled(Command::useSelectionForFind));
    f.view.selection().setSelection(Position(6, 0), Position(11, 0));
    EXPECT_TRUE(f.view.isCommandEnabled(Command::copy));
    EXPECT_TRUE(f.view.isCommandEnabled(Command::useSelectionForFind));

    f.view.performCommand(Command::copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("world"));
    f.view.performCommand(Command::selectAll);
    EXPECT_TRUE(f.view.selectionActive());
    EXPECT_EQ(f.view.getSelection().value_or("").rfind("hello world", 0), 0u);
}

TEST(TerminalViewEdit, APasteIsBracketedWhenTheProgramAsksAndSentAsItIs) {
    struct Case {
        const char* name;
        const char* setup;
        QString clipboard;
        Log expected;
    };
    const std::vector<Case> cases = {
        {"plain", "", QStringLiteral("ls\n"), {"send ls\\x0A"}},
        {"bracketed",
         "\x1b[?2004h",
         QStringLiteral("ls\n"),
         {"send \\e[200~", "send ls\\x0A", "send \\e[201~"}},
        {"empty, bracketed: the markers alone",
         "\x1b[?2004h",
         QString(),
         {"send \\e[200~", "send ", "send \\e[201~"}},
        {"empty", "", QString(), {"send "}},
        // Control characters and ESC go as they are: bracketing is the program's guard.
        {"control characters",
         "\x1b[?2004h",
         QStringLiteral("a\x1b[201~b\x03"),
         {"send \\e[200~", "send a\\e[201~b\\x03", "send \\e[201~"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditFixture f;
        f.view.feed(c.setup);
        f.take();
        QGuiApplication::clipboard()->setText(c.clipboard);
        f.view.performCommand(Command::paste);
        EXPECT_EQ(f.take(), c.expected);
    }
}

TEST(TerminalViewEdit, FindSelectsTheNextAndPreviousMatchAndWrapsAround) {
    EditFixture f;
    f.view.feed("one cat\r\ntwo cat\r\nthree");
    const SearchOptions options;
    ASSERT_TRUE(f.view.findNext("cat", options));
    EXPECT_EQ(f.selected(), std::pair(Position(4, 0), Position(7, 0)));
    ASSERT_TRUE(f.view.findNext("cat", options));
    EXPECT_EQ(f.selected(), std::pair(Position(4, 1), Position(7, 1)));
    ASSERT_TRUE(f.view.findNext("cat", options));
    EXPECT_EQ(f.selected(), std::pair(Position(4, 0), Position(7, 0)));
    ASSERT_TRUE(f.view.findPrevious("cat", options));
    EXPECT_EQ(f.selected(), std::pair(Position(4, 1), Position(7, 1)));
    EXPECT_EQ(f.view.getSelection(), "cat");

    // No match ends the selection.
    EXPECT_FALSE(f.view.findNext("dog", options));
    EXPECT_FALSE(f.view.selectionActive());
    EXPECT_EQ(f.take(), Log{});
}

TEST(TerminalViewEdit, AMatchAtTheRowsEndEndsTheSelectionOnTheNextRow) {
    EditFixture f;
    const int cols = f.view.terminal().cols();
    f.view.feed(std::string(size_t(cols - 3), '.') + "end");
    ASSERT_TRUE(f.view.findNext("end", SearchOptions()));
    EXPECT_EQ(f.selected(), std::pair(Position(cols - 3, 0), Position(0, 1)));
}

TEST(TerminalViewEdit, AMatchOffScreenIsScrolledToTheMiddleButNeverOnTheAlternateScreen) {
    EditFixture f;
    f.view.feed("needle\r\n");
    for (int i = 0; i < 100; ++i)
        f.view.feed("hay\r\n");
    const int live = f.view.terminal().displayBuffer().yDisp();
    ASSERT_TRUE(f.view.findNext("needle", SearchOptions()));
    // Clamped at the top of the history.
    EXPECT_EQ(f.view.terminal().displayBuffer().yDisp(), 0);
    f.view.scrollTo(live);

    f.view.feed("\x1b[?1049h\x1b[Hneedle");
    f.view.selectNone();
    ASSERT_TRUE(f.view.findNext("needle", SearchOptions()));
    EXPECT_TRUE(f.view.selectionActive());
    EXPECT_EQ(f.view.terminal().displayBuffer().yDisp(), f.view.terminal().displayBuffer().yBase());
}

TEST(TerminalViewEdit, AMatchInTheMiddleOfTheHistoryIsCentred) {
    EditFixture f;
    for (int i = 0; i < 50; ++i)
        f.view.feed("hay\r\n");
    f.view.feed("needle\r\n");
    for (int i = 0; i < 50; ++i)
        f.view.feed("hay\r\n");
    ASSERT_TRUE(f.view.findNext("needle", SearchOptions()));
    const int rows = f.view.terminal().rows();
    EXPECT_EQ(f.view.terminal().displayBuffer().yDisp(), 50 - rows / 2);
}

TEST(TerminalViewEdit, TheFindBarSearchesAsYouTypeAndItsKeysStepAndClose) {
    EditFixture f;
    f.view.show();
    f.view.feed("one cat\r\ntwo cat\r\nthree Cat");
    f.view.selection().setSelection(Position(4, 0), Position(7, 0));
    f.view.performCommand(Command::showFind);
    TerminalFindBarView* bar = f.view.findBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isVisible());
    // Prefilled from the selection; a new term is searched from the top.
    EXPECT_EQ(bar->searchField()->text(), QStringLiteral("cat"));
    EXPECT_EQ(f.selected(), std::pair(Position(4, 0), Position(7, 0)));
    EXPECT_EQ(TerminalView::findPasteboard(), "cat");

    // Placed 8 in from the top right corner, at most 520 wide.
    EXPECT_EQ(bar->geometry().top(), 8);
    EXPECT_EQ(bar->geometry().right(), f.view.width() - 8 - 1);
    EXPECT_LE(bar->width(), 520);
    EXPECT_EQ(bar->searchField()->placeholderText(), QStringLiteral("Find"));
    EXPECT_EQ(bar->caseSensitiveButton()->text(), QStringLiteral("Aa"));
    EXPECT_EQ(bar->regexButton()->toolTip(), QStringLiteral("Regex"));
    EXPECT_EQ(bar->wholeWordButton()->text(), QStringLiteral("Word"));
    EXPECT_EQ(bar->previousButton()->toolTip(), QStringLiteral("Previous"));

    f.key(bar->searchField(), Qt::Key_Return);
    EXPECT_EQ(f.selected(), std::pair(Position(4, 1), Position(7, 1)));
    f.key(bar->searchField(), Qt::Key_Return);
    EXPECT_EQ(f.selected(), std::pair(Position(6, 2), Position(9, 2)));
    f.key(bar->searchField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(f.selected(), std::pair(Position(4, 1), Position(7, 1)));

    // An option re-searches at once; it still counts with the bar hidden.
    bar->caseSensitiveButton()->setChecked(true);
    EXPECT_EQ(f.selected(), std::pair(Position(4, 0), Position(7, 0)));
    f.key(bar->searchField(), Qt::Key_Escape);
    EXPECT_TRUE(bar->isHidden());
    f.view.performCommand(Command::findNext);
    EXPECT_EQ(f.selected(), std::pair(Position(4, 1), Position(7, 1)));
    f.view.performCommand(Command::findNext);
    EXPECT_EQ(f.selected(), std::pair(Position(4, 0), Position(7, 0)));

    // Typing searches as the text changes; clearing the field removes the selection.
    f.view.performCommand(Command::showFind);
    bar->searchField()->setText(QStringLiteral("two"));
    EXPECT_EQ(f.selected(), std::pair(Position(0, 1), Position(3, 1)));
    bar->searchField()->clear();
    EXPECT_FALSE(f.view.selectionActive());
    // Keys the field does not use stay in the bar.
    f.key(bar->searchField(), Qt::Key_Up);
    EXPECT_EQ(f.take(), Log{});
}

TEST(TerminalViewEdit, FindNextWithoutABarUsesTheSharedStringWithNoOptions) {
    TerminalView::setFindPasteboard("CAT");
    EditFixture f;
    f.view.feed("a cat");
    f.view.performCommand(Command::findNext);
    EXPECT_EQ(f.view.getSelection(), "cat");
    EXPECT_EQ(f.view.findBar(), nullptr);

    // Use Selection for Find puts the selection on the shared string.
    f.view.selection().setSelection(Position(0, 0), Position(1, 0));
    f.view.performCommand(Command::useSelectionForFind);
    EXPECT_EQ(TerminalView::findPasteboard(), "a");
}

TEST(TerminalViewEdit, ShowingTheBarAfterAFailedSearchOffersTheLastTermNotTheOldMatch) {
    EditFixture f;
    f.view.feed("one cat");
    f.view.performCommand(Command::showFind);
    TerminalFindBarView* bar = f.view.findBar();
    bar->searchField()->setText(QStringLiteral("c"));
    ASSERT_TRUE(f.view.selectionActive());
    bar->searchField()->setText(QStringLiteral("cow"));
    EXPECT_FALSE(f.view.selectionActive());
    f.view.hideFindBar();
    f.view.performCommand(Command::showFind);
    EXPECT_EQ(bar->searchField()->text(), QStringLiteral("cow"));
}
