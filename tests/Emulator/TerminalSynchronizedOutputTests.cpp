// Synchronized output: the batch, its time-out on the executor, and what readers see meanwhile.
#include "ManualExecutor.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace Tessaline;
using namespace Tessaline::Testing;
using namespace std::chrono_literals;

namespace {

// A harness whose terminal has a manual clock. The clock comes first, so that it outlives the terminal.
struct ManualClock {
    ManualExecutor executor;
};
struct SyncHarness : ManualClock, TerminalHarness {
    explicit SyncHarness(int cols = 10, int rows = 4, int scrollback = 20)
        : TerminalHarness(cols, rows, scrollback) {
        terminal().executor = &executor;
    }
    std::string display() { return dumpScreen(terminal().displayBuffer()); }
};

// Every line of a buffer's ring, oldest first.
std::string allLines(TerminalHarness& h, const Buffer& buffer) {
    std::string out;
    for (int i = 0; i < buffer.lines().count(); ++i)
        out += h.row(*buffer.lines().peek(i)) + "|";
    return out;
}

} // namespace

TEST(TerminalSynchronizedOutput, BeginAndEnd) {
    SyncHarness h;
    Terminal& t = h.terminal();
    t.endSynchronizedOutput();
    EXPECT_TRUE(h.log().empty()) << "ending without a batch does nothing";

    t.beginSynchronizedOutput();
    EXPECT_TRUE(t.synchronizedOutputActive);
    EXPECT_NE(&t.displayBuffer(), &t.buffer());
    t.beginSynchronizedOutput();
    EXPECT_EQ(h.log(), std::vector<std::string>{"synchronizedOutputChanged true"}) << "one notice for two";
    EXPECT_EQ(h.executor.timerCount(), 1u) << "the renewal replaced the time-out";

    t.clearUpdateRange();
    t.endSynchronizedOutput();
    EXPECT_FALSE(t.synchronizedOutputActive);
    EXPECT_FALSE(t.synchronizedOutputBuffer);
    EXPECT_EQ(&t.displayBuffer(), &t.buffer());
    EXPECT_EQ(h.log(), std::vector<std::string>{"synchronizedOutputChanged false"});
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 3})) << "the whole screen is redrawn";
    EXPECT_EQ(t.synchronizedOutputTimeoutItem, 0u);
    t.endSynchronizedOutput();
    EXPECT_TRUE(h.log().empty());
}

TEST(TerminalSynchronizedOutput, ThroughMode2026) {
    SyncHarness h;
    Terminal& t = h.terminal();
    h.feed("\x1b[?2026l");
    EXPECT_TRUE(h.log().empty()) << "no batch to end";
    h.feed("\x1b[?2026h\x1b[?2026h\x1b[?2026$p");
    EXPECT_EQ(h.log(), (std::vector<std::string>{"synchronizedOutputChanged true", "send \\e[?2026;1$y"}));
    h.feed("text");
    EXPECT_EQ(h.display(), "");
    EXPECT_EQ(h.dump(), "text");
    h.feed("\x1b[?2026l\x1b[?2026$p");
    EXPECT_EQ(h.log(), (std::vector<std::string>{"synchronizedOutputChanged false", "send \\e[?2026;2$y"}));
    EXPECT_EQ(h.display(), "text");
    EXPECT_EQ(t.synchronizedOutputTimeoutItem, 0u);
}

TEST(TerminalSynchronizedOutput, ReadersSeeTheCopyUntilTheEnd) {
    SyncHarness h(10, 3, 5);
    Terminal& t = h.terminal();
    h.feed("one\r\ntwo\r\nthree\r\nfour\r\nfive");
    const std::string before = allLines(h, t.buffer());
    t.beginSynchronizedOutput();

    // Writing into rows and recycling the rows of the full ring both happen on the live buffer only.
    h.feed("!\r\nsix\r\nseven\r\neight\r\nnine\r\nten\r\neleven\r\ntwelve");
    EXPECT_EQ(h.dump(), "ten\neleven\ntwelve");
    EXPECT_EQ(h.display(), "three\nfour\nfive");
    EXPECT_EQ(allLines(h, t.displayBuffer()), before);
    EXPECT_EQ(t.displayBuffer().x(), 4);
    EXPECT_EQ(t.displayBuffer().y(), 2);
    EXPECT_EQ(t.displayBuffer().yDisp(), t.displayBuffer().yBase());

    t.endSynchronizedOutput();
    EXPECT_EQ(h.display(), "ten\neleven\ntwelve");
}

TEST(TerminalSynchronizedOutput, TheCopyTakesTheBufferState) {
    SyncHarness h(20, 6);
    Terminal& t = h.terminal();
    Buffer& b = h.buffer();
    h.feed("\r\n\r\n\r\n\r\n\r\n\r\nab"); // one row into the scroll-back
    b.setScrollTop(1);
    b.setScrollBottom(4);
    b.setMarginLeft(2);
    b.setMarginRight(15);
    b.tabClear(8);
    b.savedX = 5;
    b.savedY = 2;
    b.savedOriginMode = true;
    b.savedWraparound = true;
    b.savedAttr =
        Attribute(Attribute::Color::ansi256(4), Attribute::Color::defaultColor(), CharacterStyle::bold);
    t.beginSynchronizedOutput();
    const Buffer& c = t.displayBuffer();
    EXPECT_EQ(c.cols(), 20);
    EXPECT_EQ(c.rows(), 6);
    EXPECT_EQ(c.scrollback, b.scrollback);
    EXPECT_EQ(c.lines().count(), b.lines().count());
    EXPECT_EQ(c.lines().maxLength(), b.lines().maxLength());
    EXPECT_EQ(c.yBase(), 1);
    EXPECT_EQ(c.yDisp(), 1);
    EXPECT_EQ(c.linesTop, b.linesTop);
    EXPECT_EQ(c.x(), 2);
    EXPECT_EQ(c.y(), 5);
    EXPECT_EQ(c.scrollTop(), 1);
    EXPECT_EQ(c.scrollBottom(), 4);
    EXPECT_EQ(c.marginLeft(), 2);
    EXPECT_EQ(c.marginRight(), 15);
    EXPECT_EQ(c.tabStops, b.tabStops);
    EXPECT_EQ(c.savedX, 5);
    EXPECT_EQ(c.savedY, 2);
    EXPECT_TRUE(c.savedOriginMode);
    EXPECT_TRUE(c.savedWraparound);
    EXPECT_EQ(c.savedAttr, b.savedAttr);
    EXPECT_EQ(c.lines().peek(6)->get(0).code, 'a');
    EXPECT_NE(c.lines().peek(6), b.lines().peek(6)) << "rows of its own";
}

TEST(TerminalSynchronizedOutput, DisplayBufferAlternate) {
    SyncHarness h;
    Terminal& t = h.terminal();
    h.feed("normal");
    t.beginSynchronizedOutput();
    t.activateAltBuffer(std::nullopt);
    h.feed("alt");
    EXPECT_FALSE(t.isDisplayBufferAlternate()) << "the copy is of the normal buffer";
    EXPECT_EQ(h.display(), "normal");
    t.endSynchronizedOutput();
    EXPECT_TRUE(t.isDisplayBufferAlternate());
    EXPECT_EQ(h.display(), "......alt");

    t.beginSynchronizedOutput();
    EXPECT_TRUE(t.synchronizedOutputBufferIsAlternate);
    t.activateNormalBuffer(false);
    EXPECT_TRUE(t.isDisplayBufferAlternate());
    t.endSynchronizedOutput();
    EXPECT_FALSE(t.synchronizedOutputBufferIsAlternate);
    EXPECT_FALSE(t.isDisplayBufferAlternate());
}

TEST(TerminalSynchronizedOutput, AMissingCopyIsTakenOnRenewal) {
    SyncHarness h;
    Terminal& t = h.terminal();
    t.beginSynchronizedOutput();
    t.synchronizedOutputBuffer.reset();
    h.feed("new");
    h.log();
    t.beginSynchronizedOutput();
    EXPECT_EQ(h.display(), "new");
    EXPECT_TRUE(h.log().empty());
}

TEST(TerminalSynchronizedOutput, TimeOut) {
    SyncHarness h;
    Terminal& t = h.terminal();
    t.beginSynchronizedOutput();
    h.log();
    h.executor.advance(999ms);
    EXPECT_TRUE(t.synchronizedOutputActive);
    t.clearUpdateRange();
    h.executor.advance(1ms);
    EXPECT_FALSE(t.synchronizedOutputActive);
    EXPECT_FALSE(t.synchronizedOutputBuffer);
    EXPECT_EQ(t.synchronizedOutputTimeoutItem, 0u);
    EXPECT_EQ(h.log(), std::vector<std::string>{"synchronizedOutputChanged false"});
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 3}));
}

TEST(TerminalSynchronizedOutput, RenewalRestartsTheTimeOut) {
    SyncHarness h;
    Terminal& t = h.terminal();
    t.beginSynchronizedOutput();
    h.executor.advance(600ms);
    t.beginSynchronizedOutput();
    h.executor.advance(600ms);
    EXPECT_TRUE(t.synchronizedOutputActive) << "counted from the renewal";
    EXPECT_EQ(h.executor.timerCount(), 1u);
    h.executor.advance(400ms);
    EXPECT_FALSE(t.synchronizedOutputActive);
    EXPECT_EQ(h.log(), (std::vector<std::string>{"synchronizedOutputChanged true",
                                                 "synchronizedOutputChanged false"}));

    // A batch ended by the program leaves no time-out behind.
    t.beginSynchronizedOutput();
    t.endSynchronizedOutput();
    EXPECT_EQ(t.synchronizedOutputTimeoutItem, 0u);
    h.executor.advance(2s);
    EXPECT_FALSE(t.synchronizedOutputActive);
    EXPECT_EQ(h.log(), (std::vector<std::string>{"synchronizedOutputChanged true",
                                                 "synchronizedOutputChanged false"}));
}

TEST(TerminalSynchronizedOutput, EndingEvents) {
    struct Case {
        const char* name;
        std::function<void(Terminal&)> event;
    };
    const Case cases[] = {
        {"resize", [](Terminal& t) { t.resize(12, 4); }},
        {"full reset",
         [](Terminal& t) {
             t.feed("\x1b"
                    "c");
         }},
        {"reset to the initial state", [](Terminal& t) { t.resetToInitialState(); }},
        {"column switch", [](Terminal& t) { t.feed("\x1b[?3h"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyncHarness h;
        Terminal& t = h.terminal();
        t.beginSynchronizedOutput();
        h.log();
        c.event(t);
        EXPECT_FALSE(t.synchronizedOutputActive);
        EXPECT_EQ(&t.displayBuffer(), &t.buffer());
        EXPECT_EQ(t.synchronizedOutputTimeoutItem, 0u);
        EXPECT_EQ(h.log().front(), "synchronizedOutputChanged false");
    }

    SyncHarness h;
    h.terminal().beginSynchronizedOutput();
    h.terminal().resize(10, 4);
    EXPECT_TRUE(h.terminal().synchronizedOutputActive) << "the same size is no resize";
}

TEST(TerminalSynchronizedOutput, WithoutAnExecutorThereIsNoTimeOut) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    t.beginSynchronizedOutput();
    EXPECT_EQ(t.synchronizedOutputTimeoutItem, 0u);
    t.endSynchronizedOutput();
    EXPECT_EQ(h.log(), (std::vector<std::string>{"synchronizedOutputChanged true",
                                                 "synchronizedOutputChanged false"}));
}

TEST(TerminalSynchronizedOutput, ATerminalGoneGetsNoCallback) {
    ManualExecutor executor;
    FakeDelegate delegate;
    auto t = std::make_unique<Terminal>(&delegate, TerminalOptions());
    t->executor = &executor;
    t->beginSynchronizedOutput();
    t.reset();
    EXPECT_EQ(executor.timerCount(), 0u) << "the time-out was cancelled";
    executor.advance(2s);

    // An executor that runs cancelled tasks anyway still never reaches the terminal.
    struct StubbornExecutor final : Executor {
        std::vector<Task> tasks;
        void post(Task task) override { tasks.push_back(std::move(task)); }
        TaskId postAfter(std::chrono::nanoseconds, Task task) override {
            tasks.push_back(std::move(task));
            return tasks.size();
        }
        void cancel(TaskId) override {}
        Clock::time_point now() const override { return {}; }
    };
    StubbornExecutor stubborn;
    t = std::make_unique<Terminal>(&delegate, TerminalOptions());
    t->executor = &stubborn;
    t->beginSynchronizedOutput();
    t.reset();
    delegate.log.clear();
    ASSERT_EQ(stubborn.tasks.size(), 1u);
    stubborn.tasks[0]();
    EXPECT_TRUE(delegate.log.empty());
}

TEST(TerminalSynchronizedOutput, RefreshMarksTheRows) {
    SyncHarness h;
    Terminal& t = h.terminal();
    t.clearUpdateRange();
    t.refresh(1, 2);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{1, 2}));
}

// Batches every frame renew the last copy in place; what readers see is the same as with a new copy.
TEST(TerminalSynchronizedOutput, RenewedCopiesShowTheNewContent) {
    SyncHarness h(10, 3, 5);
    Terminal& t = h.terminal();
    h.feed("a\r\nb");
    t.beginSynchronizedOutput();
    const BufferLine* first = t.displayBuffer().lines().peek(0).get();
    h.feed("\r\nc");
    t.endSynchronizedOutput();
    h.feed("\r\nd\r\ne");
    const std::string live = allLines(h, t.buffer());

    t.beginSynchronizedOutput();
    EXPECT_EQ(t.displayBuffer().lines().peek(0).get(), first) << "the row object is reused";
    EXPECT_EQ(allLines(h, t.displayBuffer()), live);
    EXPECT_EQ(t.displayBuffer().yBase(), t.buffer().yBase());
    h.feed("x\r\nf");
    EXPECT_EQ(allLines(h, t.displayBuffer()), live);
    // A reader that still holds a row of the copy keeps it: the next copy takes a new row.
    const BufferLinePtr held = t.displayBuffer().lines().peek(1);
    const std::string heldText = h.row(*held);
    t.endSynchronizedOutput();
    t.beginSynchronizedOutput();
    EXPECT_NE(t.displayBuffer().lines().peek(1), held);
    EXPECT_EQ(h.row(*held), heldText);
    EXPECT_EQ(allLines(h, t.displayBuffer()), allLines(h, t.buffer()));
    t.endSynchronizedOutput();

    // A second after the last batch the spare copy is let go.
    EXPECT_EQ(h.executor.timerCount(), 1u);
    h.executor.advance(1s);
    EXPECT_EQ(h.executor.timerCount(), 0u);
    t.beginSynchronizedOutput();
    EXPECT_EQ(allLines(h, t.displayBuffer()), allLines(h, t.buffer()));

    // A resized buffer gets a new copy.
    t.endSynchronizedOutput();
    t.resize(12, 4);
    t.beginSynchronizedOutput();
    EXPECT_EQ(t.displayBuffer().cols(), 12);
    EXPECT_EQ(t.displayBuffer().rows(), 4);
    EXPECT_EQ(allLines(h, t.displayBuffer()), allLines(h, t.buffer()));
}
