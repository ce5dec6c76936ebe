// A real child on a pseudo-terminal under the view, on the GUI thread's event loop.
#include "LocalProcessTerminalView.h"
#include "QtExecutor.h"
#include "ViewTestSupport.h"
#include "WindowReports.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <string>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

using Log = std::vector<std::string>;

bool screenContains(TerminalView& view, const std::string& text) {
    return screenText(view).find(text) != std::string::npos;
}

size_t occurrences(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

} // namespace

TEST(LocalProcessTerminalView, TheChildSeesEveryResizeAndTheDelegateHearsOfItAfterwards) {
    LocalProcessTerminalView view(QRect(0, 0, 400, 240));
    view.setFont(testFont());
    RecordingProcessDelegate delegate;
    view.setProcessDelegate(&delegate);
    view.show();
    const QSizeF cell = view.cellDimension();
    auto frameFor = [&](int cols, int rows) {
        return QSize(int(std::ceil(cell.width() * cols)) + view.scrollerWidth(),
                     int(std::ceil(cell.height() * rows)));
    };
    // Before the start nobody is told.
    view.resize(frameFor(40, 10));
    ASSERT_EQ(view.terminal().cols(), 40);
    EXPECT_TRUE(delegate.log.empty());

    view.startProcess("/bin/sh", {"-c", "stty size; read x; stty size; read y"});
    ASSERT_TRUE(spinUntil([&] { return screenContains(view, "10 40"); })) << screenText(view);
    view.resize(frameFor(60, 20));
    EXPECT_EQ(delegate.log, (Log{"sizeChanged 60x20"}));
    view.send(std::string_view("\r"));
    ASSERT_TRUE(spinUntil([&] { return screenContains(view, "20 60"); })) << screenText(view);

    // The pixel size the child is given is the text area in device pixels.
    const winsize size = view.getWindowSize();
    const winsize expected = WindowReports::ptyWindowSize(cell, view.backingScale(), 60, 20);
    EXPECT_EQ(size.ws_xpixel, expected.ws_xpixel);
    EXPECT_EQ(size.ws_ypixel, expected.ws_ypixel);
    view.send(std::string_view("\r"));
    ASSERT_TRUE(spinUntil([&] { return delegate.exit.has_value(); }));
}

TEST(LocalProcessTerminalView, AProgramStartedBeforeTheViewGetsTheViewsSizeAndItsOutputArrives) {
    // Started at 24x80 by a stand-in: the program waits for a line, so it asks for the size only after
    // the view took it over.
    struct Starting final : LocalProcessDelegate {
        void processTerminated(LocalProcess&, std::optional<int32_t>) override {}
        void dataReceived(std::span<const uint8_t>) override {}
        winsize getWindowSize() override { return winsize{24, 80, 0, 0}; }
    } starting;
    auto process = std::make_unique<LocalProcess>(&starting, QtExecutor::main());
    process->startProcess("/bin/sh", {"-c", "echo early; read x; stty size; read y"});
    ASSERT_TRUE(process->running());

    LocalProcessTerminalView view(std::move(process), QRect(0, 0, 400, 240));
    EXPECT_EQ(view.process().delegate(), &view);
    RecordingProcessDelegate delegate;
    view.setProcessDelegate(&delegate);
    const std::string size = std::to_string(view.terminal().rows()) + " " + std::to_string(view.terminal().cols());
    ASSERT_NE(size, "24 80");
    ASSERT_TRUE(spinUntil([&] { return screenContains(view, "early"); })) << screenText(view);
    view.send(std::string_view("\r"));
    ASSERT_TRUE(spinUntil([&] { return screenContains(view, size); })) << screenText(view);
    view.send(std::string_view("\r"));
    ASSERT_TRUE(spinUntil([&] { return delegate.exit.has_value(); }));
    EXPECT_EQ(delegate.log.back(), "exit 0");
}

TEST(LocalProcessTerminalView, ASecondStartWhileTheChildRunsStartsNothing) {
    LocalProcessTerminalView view(QRect(0, 0, 400, 240));
    view.startProcess("/bin/sh", {"-c", "echo started; exec sleep 30"});
    const int32_t pid = view.process().shellPid();
    ASSERT_TRUE(view.process().running());
    view.startProcess("/bin/sh", {"-c", "echo started; exec sleep 30"});
    EXPECT_EQ(view.process().shellPid(), pid);
    ASSERT_TRUE(spinUntil([&] { return screenContains(view, "started"); }));
    EXPECT_EQ(occurrences(screenText(view), "started"), 1u);
    view.terminate();
    EXPECT_FALSE(view.process().running());
}

TEST(LocalProcessTerminalView, TheEndOfTheChildIsReportedWithItsStatus) {
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        int32_t status;
    };
    const std::vector<Case> cases = {
        {"exit status", "/bin/sh", {"-c", "echo bye; exit 3"}, 3},
        {"a program that cannot run", "/nonexistent/program", {}, 127},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalProcessTerminalView view(QRect(0, 0, 400, 240));
        RecordingProcessDelegate delegate;
        view.setProcessDelegate(&delegate);
        view.startProcess(c.executable, c.args);
        ASSERT_TRUE(spinUntil([&] { return delegate.exit.has_value(); }));
        EXPECT_EQ(delegate.log.back(), "exit " + std::to_string(c.status));
        EXPECT_FALSE(view.process().running());
    }

    // Without a delegate the end is dropped quietly.
    LocalProcessTerminalView view(QRect(0, 0, 400, 240));
    view.startProcess("/bin/sh", {"-c", "exit 0"});
    EXPECT_TRUE(spinUntil([&] { return !view.process().running(); }));
}

TEST(LocalProcessTerminalView, ClipboardWritesTakeValidTextOnly) {
    LocalProcessTerminalView view(QRect(0, 0, 400, 240));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    view.clipboardCopy(static_cast<TerminalView&>(view), std::vector<uint8_t>{0xFF, 0xFE});
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
    view.clipboardCopy(static_cast<TerminalView&>(view),
                       std::vector<uint8_t>{'h', 0xC3, 0xA9, 'l', 'l', 'o'});
    EXPECT_EQ(clipboard->text(), QStringLiteral("h\u00e9llo"));
    // The program's own clipboard writes (OSC 52) are not carried out by the view.
    view.feed("\x1b]52;c;aGk=\x07");
    EXPECT_EQ(clipboard->text(), QStringLiteral("h\u00e9llo"));
}
