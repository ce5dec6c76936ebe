// OSC 8 hyperlinks: which cells a closed link marks, the handle's value, and the release of handles no
// cell carries any more.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

std::string openLink(const std::string& payload) {
    return "\x1b]8;" + payload + "\x1b\\";
}
const std::string closeLink = "\x1b]8;;\x1b\\";

// The screen's handles, one character per cell: "-" for none, then "a", "b", ... for each distinct
// handle in order of appearance. Every row is shown at full width.
std::string handles(const Buffer& buffer) {
    std::map<uint16_t, char> names;
    std::string out;
    for (int r = buffer.yBase(); r < buffer.yBase() + buffer.rows(); ++r) {
        if (r > buffer.yBase()) out += '\n';
        const BufferLinePtr& line = buffer.lines().peek(r);
        for (int c = 0; line && c < line->count(); ++c) {
            const uint16_t code = (*line)[c].payload().code;
            if (code == 0) {
                out += '-';
                continue;
            }
            auto it = names.try_emplace(code, char('a' + names.size())).first;
            out += it->second;
        }
    }
    return out;
}

std::string payloadValue(const Terminal& terminal, const CharData& cell) {
    const std::any* value = terminal.payload(cell);
    if (value == nullptr) return "<none>";
    const std::string* text = std::any_cast<std::string>(value);
    return text ? *text : "<not text>";
}

class TerminalHyperlinks : public testing::Test {};

size_t handleCount(TerminalHarness& h) {
    return h.terminal().payloadRegistry().size();
}

} // namespace

TEST_F(TerminalHyperlinks, ClosingMarksFromTheStartToTheCursor) {
    struct Case {
        const char* name;
        int startCol;
        std::string input;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"the cell after the text is marked too", 5, openLink(";http://x") + "abcd" + closeLink,
         "-----aaaaa\n----------\n----------"},
        {"text ending in the last column stops there", 6, openLink(";u") + "abcd" + closeLink,
         "------aaaa\n----------\n----------"},
        {"one character in the last column marks nothing", 9, openLink(";u") + "a" + closeLink,
         "----------\n----------\n----------"},
        {"over three rows", 5, openLink(";u") + "abcdeFGHIJKLMNOxyz" + closeLink,
         "-----aaaaa\naaaaaaaaaa\naaaa------"},
        {"closing with no link open", 0, "abc" + closeLink, "----------\n----------\n----------"},
        {"a second opening replaces the first", 0,
         openLink(";one") + "ab" + openLink(";two") + "cd" + closeLink, "--aaa-----\n----------\n----------"},
        {"parameters and an empty URI open a link", 0, openLink("id=1;") + "ab" + closeLink,
         "aaa-------\n----------\n----------"},
        {"an empty payload opens a link", 0, "\x1b]8\x1b\\ab" + closeLink,
         "aaa-------\n----------\n----------"},
        {"printing over a marked cell clears it", 0,
         openLink(";1") + "ab" + closeLink + "c" + openLink(";2") + "de" + closeLink,
         "aa-bbb----\n----------\n----------"},
        {"an over-long payload drops the link in progress", 0,
         openLink(";u") + "ab" + openLink(";" + std::string(3000, 'x')) + "cd" + closeLink,
         "----------\n----------\n----------"},
        {"a full reset drops the link in progress", 0, openLink(";u") + "ab\033c" + closeLink,
         "----------\n----------\n----------"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.buffer().setX(c.startCol);
        h.feed(c.input);
        EXPECT_EQ(handles(h.buffer()), c.expected);
    }
}

TEST_F(TerminalHyperlinks, RowsInMarginModeEndAtTheRightMargin) {
    TerminalHarness h(10, 4);
    h.buffer().setX(5);
    h.feed(openLink(";u"));
    h.terminal().marginMode = true;
    h.buffer().setMarginRight(7);
    h.buffer().setY(2);
    h.buffer().setX(3);
    h.feed(closeLink);
    EXPECT_EQ(handles(h.buffer()), "-----aaa--\naaaaaaaa--\naaaa------\n----------");
}

TEST_F(TerminalHyperlinks, ACursorAboveTheStartDropsTheLink) {
    TerminalHarness h(10, 3);
    h.buffer().setY(2);
    h.feed(openLink(";u") + "ab");
    h.buffer().setY(0);
    h.feed(closeLink);
    EXPECT_EQ(handles(h.buffer()), "----------\n----------\n----------");
    EXPECT_EQ(h.terminal().hyperLinkTracking, std::nullopt);
}

TEST_F(TerminalHyperlinks, TheHandleHoldsTheWholePayload) {
    struct Case {
        const char* name;
        std::string payload;
        std::string value;
        std::optional<std::string> uri;
    };
    const std::vector<Case> cases = {
        {"parameters kept, ';' in the URI", "id=7;http://h/a;b?c=d;e", "id=7;http://h/a;b?c=d;e",
         "http://h/a;b?c=d;e"},
        {"no parameters", ";file:///tmp/x", ";file:///tmp/x", "file:///tmp/x"},
        {"empty URI", "id=1;", "id=1;", ""},
        {"no ';'", "http://x", "http://x", std::nullopt},
        {"non-ASCII gives the empty payload", ";http://h/\xc3\xa9", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.feed(openLink(c.payload) + "ab" + closeLink);
        const CharData& cell = (*h.buffer().lines()[0])[1];
        EXPECT_EQ(payloadValue(h.terminal(), cell), c.value);
        EXPECT_EQ(Terminal::parseHyperlinkPayload(payloadValue(h.terminal(), cell)), c.uri);
    }
}

TEST_F(TerminalHyperlinks, CollectionStopsAtTheFirstLinkStillShown) {
    TerminalHarness h(10, 3);
    h.feed(openLink(";A") + "aa" + closeLink + "\r\n" + openLink(";B") + "bb" + closeLink + " " +
           openLink(";C") + "cc" + closeLink);
    EXPECT_EQ(handleCount(h), 3u);
    // B and C are overwritten, A stays: nothing may go, since A was handed out first.
    h.feed("\rxxxxxxxx");
    h.terminal().garbageCollectPayload();
    EXPECT_EQ(handleCount(h), 3u);
    // With A gone too, one run releases all three.
    h.buffer().setY(0);
    h.feed("\rxxxx");
    h.terminal().garbageCollectPayload();
    EXPECT_EQ(handleCount(h), 0u);
}

TEST_F(TerminalHyperlinks, CollectionKeepsLinksStillOnScreen) {
    TerminalHarness h(10, 3, 5);
    h.feed(openLink(";A") + "aa" + closeLink + "\r\n" + openLink(";B") + "bb" + closeLink + "\r\n" +
           openLink(";C") + "cc" + closeLink);
    h.terminal().activateAltBuffer(std::nullopt);
    h.buffer().setX(0);
    h.buffer().setY(0);
    h.feed(openLink(";D") + "dd" + closeLink);
    h.terminal().activateNormalBuffer(false);
    // A and C are overwritten; B stays on the normal screen, D on the alternate one.
    h.buffer().setY(0);
    h.feed("\rxxx");
    h.buffer().setY(2);
    h.feed("\rxxx");
    h.terminal().garbageCollectPayload();
    EXPECT_EQ(handleCount(h), 3u) << "A goes; B holds back C";
    EXPECT_EQ(payloadValue(h.terminal(), (*h.buffer().lines()[1])[0]), ";B");
    EXPECT_EQ(payloadValue(h.terminal(), (*h.terminal().altBuffer().lines()[0])[0]), ";D");

    // In the scroll-back B still counts.
    h.feed("\n\n");
    ASSERT_EQ(h.buffer().yBase(), 2);
    h.terminal().garbageCollectPayload();
    EXPECT_EQ(handleCount(h), 3u);
    EXPECT_EQ(payloadValue(h.terminal(), (*h.buffer().lines()[1])[0]), ";B");
}

TEST_F(TerminalHyperlinks, RunningOutOfHandlesTheOldestScrollBackLinksGiveWay) {
    // More links kept in the scroll-back than there are handles: one per row, every row its own.
    const int links = TinyAtom::lastCode + 5'000;
    TerminalHarness h(10, 3, links + 10);
    const Terminal& t = h.terminal();
    std::string rows;
    for (int i = 0; i < links; ++i)
        rows += openLink(";r" + std::to_string(i)) + "r" + closeLink + "\r\n";
    h.feed(rows);
    h.feed(openLink(";last") + "ll" + closeLink);
    CircularBufferLineList& lines = h.buffer().lines();
    ASSERT_EQ(h.buffer().linesTop, 0);
    int kept = 0;
    int firstKept = -1;
    for (int i = 0; i < links; ++i) {
        const std::string value = payloadValue(t, (*lines[i])[0]);
        if (value == "<none>") {
            EXPECT_EQ(firstKept, -1) << "row " << i << " lost its link after a younger row kept one";
            continue;
        }
        // Never the value of another link.
        ASSERT_EQ(value, ";r" + std::to_string(i)) << "row " << i;
        if (firstKept < 0) firstKept = i;
        ++kept;
    }
    EXPECT_EQ(payloadValue(t, (*lines[0])[0]), "<none>") << "the oldest link gives way";
    EXPECT_GT(kept, 20'000) << "the newest links stay";
    EXPECT_EQ(payloadValue(t, (*lines[h.buffer().yBase() + h.buffer().y()])[0]), ";last");
    EXPECT_LE(handleCount(h), size_t(TinyAtom::lastCode));
}

TEST_F(TerminalHyperlinks, EachTerminalHasItsOwnHandles) {
    auto first = std::make_unique<TerminalHarness>(10, 3);
    TerminalHarness second(10, 3);
    first->feed(openLink(";first") + "aa" + closeLink);
    second.feed(openLink(";second") + "bb" + closeLink);
    const CharData firstCell = (*first->buffer().lines()[0])[0];
    const CharData secondCell = (*second.buffer().lines()[0])[0];
    EXPECT_EQ(firstCell.payload(), secondCell.payload()) << "both hand out their first code";
    EXPECT_EQ(payloadValue(first->terminal(), firstCell), ";first");
    EXPECT_EQ(payloadValue(second.terminal(), secondCell), ";second");
    first.reset();
    EXPECT_EQ(payloadValue(second.terminal(), secondCell), ";second");
    EXPECT_EQ(handleCount(second), 1u);
}

TEST_F(TerminalHyperlinks, ManyLinksAreCollectedAsTheyComeWithoutLosingLiveOnes) {
    TerminalHarness h(10, 3, 20);
    // Links that each overwrite the last, scrolling every so many.
    size_t most = 0;
    auto overwrite = [&](int from, int to, int scrollEvery) {
        for (int i = from; i < to; ++i) {
            h.feed("\r" + openLink(";n" + std::to_string(i)) + "nn" + closeLink);
            if (i % scrollEvery == 0) h.feed("\n");
            most = std::max(most, handleCount(h));
        }
    };
    // The ring fills and the oldest rows leave it with their links.
    overwrite(0, 60'000, 200);
    EXPECT_LT(most, 2u * 40960u) << "handles pile up";

    // Then one link in the scroll-back, one on the alternate screen, one on the screen, and more links
    // while the screen's goes into the scroll-back and the older handles are released.
    h.feed("\r\n" + openLink(";back") + "bb" + closeLink + "\r\n\n\n");
    h.terminal().activateAltBuffer(std::nullopt);
    h.feed("\x1b[H" + openLink(";alt") + "aa" + closeLink);
    h.terminal().activateNormalBuffer(false);
    h.feed("\x1b[H" + openLink(";top") + "tt" + closeLink + "\x1b[3H");
    const int back = h.buffer().linesTop + h.buffer().yBase() - 1;
    const int top = h.buffer().linesTop + h.buffer().yBase();
    overwrite(60'000, 100'000, 2500);
    CircularBufferLineList& lines = h.buffer().lines();
    const int linesTop = h.buffer().linesTop;
    ASSERT_LT(top - linesTop, h.buffer().yBase());
    EXPECT_EQ(payloadValue(h.terminal(), (*lines[back - linesTop])[0]), ";back");
    EXPECT_EQ(payloadValue(h.terminal(), (*lines[top - linesTop])[0]), ";top");
    EXPECT_EQ(payloadValue(h.terminal(), (*h.terminal().altBuffer().lines()[0])[0]), ";alt");
    EXPECT_EQ(payloadValue(h.terminal(), (*lines[h.buffer().yBase() + 2])[0]), ";n99999");
}

TEST_F(TerminalHyperlinks, UnderSynchronizedOutputTheShownCopyKeepsItsLinksWhileCollectionGoesOn) {
    TerminalHarness h(10, 3, 20);
    h.feed("\x1b[H" + openLink(";shown") + "ss" + closeLink);
    // A batch that never ends: the copy on display keeps the link after the buffer loses it.
    h.feed("\x1b[?2026h\x1b[H\x1b[2J");
    ASSERT_TRUE(h.terminal().synchronizedOutputBuffer);
    size_t most = 0;
    for (int i = 0; i < 100'000; ++i) {
        h.feed("\r" + openLink(";n" + std::to_string(i)) + "nn" + closeLink);
        if (i % 200 == 0) h.feed("\n");
        most = std::max(most, handleCount(h));
    }
    EXPECT_LT(most, size_t(TinyAtom::lastCode)) << "handles piled up until the registry was full";
    EXPECT_EQ(payloadValue(h.terminal(), (*h.terminal().synchronizedOutputBuffer->lines()[0])[0]), ";shown");
    EXPECT_EQ(payloadValue(h.terminal(), (*h.buffer().lines()[h.buffer().yBase() + h.buffer().y()])[0]),
              ";n99999");
}

TEST_F(TerminalHyperlinks, ALinkCopiedAboutTheScreenWhileHandlesAreCollectedKeepsItsValue) {
    TerminalHarness h(10, 5, 50);
    // A scroll-back full of old links, so that each collection pass takes many steps.
    for (int i = 0; i < 60; ++i)
        h.feed(openLink(";old" + std::to_string(i)) + "oo" + closeLink + "\r\n");
    h.feed("\x1b[H\x1b[2J" + openLink(";kept") + "kk" + closeLink + "\x1b[3;5r");
    for (int i = 0; i < 100'000; ++i) {
        // The link moves between the top two rows by rectangle copies, the old place erased each time.
        const int from = i % 2 + 1;
        const int to = 3 - from;
        h.feed("\x1b[" + std::to_string(from) + ";1;" + std::to_string(from) + ";2;1;" + std::to_string(to) +
               ";1;1$v\x1b[" + std::to_string(from) + "H\x1b[2K");
        h.feed("\x1b[5H" + openLink(";n" + std::to_string(i)) + "nn" + closeLink);
        if (i % 50 == 0) h.feed("\n");
    }
    EXPECT_LT(handleCount(h), size_t(TinyAtom::lastCode));
    EXPECT_EQ(payloadValue(h.terminal(), (*h.buffer().lines()[h.buffer().yBase()])[0]), ";kept");
    EXPECT_EQ(payloadValue(h.terminal(), (*h.buffer().lines()[h.buffer().yBase()])[1]), ";kept");
}

namespace {

// Lines of links as a listing with links writes them, every link its own URI and showing it: six digits
// and a space, `perLine` to a line. Answers the most handles in use after a line.
size_t feedLinkLines(TerminalHarness& h, int perLine, int lines, int& number) {
    size_t most = 0;
    for (int i = 0; i < lines; ++i) {
        std::string line = "\r\n";
        for (int k = 0; k < perLine; ++k, ++number) {
            const std::string name = std::to_string(1'000'000 + number).substr(1);
            line += openLink(";" + name) + name + closeLink + " ";
        }
        h.feed(line);
        most = std::max(most, handleCount(h));
    }
    return most;
}

// Checks that each link feedLinkLines wrote has its own value or none, the newest its own; answers how
// many kept theirs.
int linksKept(TerminalHarness& h, int perLine, int number) {
    Buffer& buffer = h.buffer();
    const int cursorRow = buffer.yBase() + buffer.y();
    int kept = 0;
    for (int row = 0; row <= cursorRow; ++row) {
        const BufferLine& line = *buffer.lines()[row];
        for (int k = 0; k < perLine && line[k * 7].code != 0; ++k) {
            const std::string value = payloadValue(h.terminal(), line[k * 7]);
            if (value == "<none>") continue;
            const std::string own = ";" + line.translateToString(false, k * 7, k * 7 + 6);
            EXPECT_EQ(value, own) << "row " << row;
            if (value != own) return kept;
            ++kept;
        }
    }
    EXPECT_EQ(payloadValue(h.terminal(), (*buffer.lines()[cursorRow])[(perLine - 1) * 7]),
              ";" + std::to_string(1'000'000 + number - 1).substr(1));
    return kept;
}

} // namespace

TEST_F(TerminalHyperlinks, LinesOfLinksWithoutEndNeverFillTheRegistry) {
    // The registry fills several times over, yet the collection in steps keeps up: the new links never
    // wait for a walk of every row.
    for (const int perLine : {1, 4, 16}) {
        SCOPED_TRACE(perLine);
        TerminalHarness h(132, 24, 20'000);
        int number = 0;
        EXPECT_LT(feedLinkLines(h, perLine, 3 * TinyAtom::lastCode / perLine, number),
                  size_t(TinyAtom::lastCode));
        EXPECT_GT(linksKept(h, perLine, number), 20'000) << "more links gave way than had to";
        if (perLine > 1) {
            EXPECT_EQ(payloadValue(h.terminal(), (*h.buffer().lines()[0])[0]), "<none>")
                << "the oldest rows keep their links";
        }
    }
}

TEST_F(TerminalHyperlinks, RowsMovedAboutInTheScrollBackAreMarkedAgain) {
    // Once the oldest rows gave way, a pass leaves them out; after the scroll-back is cut, resized or
    // reset, its rows are other rows, and the links of every one of them count.
    struct Case {
        const char* name;
        std::function<void(TerminalHarness&)> move;
    };
    const std::vector<Case> cases = {
        {"erased", [](TerminalHarness& h) { h.feed("\x1b[3J"); }},
        {"narrower", [](TerminalHarness& h) { h.terminal().resize(120, 24); }},
        {"reset",
         [](TerminalHarness& h) {
             h.feed("\x1b"
                    "c");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(132, 24, 20'000);
        int number = 0;
        feedLinkLines(h, 4, TinyAtom::lastCode / 2, number);
        c.move(h);
        EXPECT_LT(feedLinkLines(h, 4, TinyAtom::lastCode / 2, number), size_t(TinyAtom::lastCode));
        EXPECT_GT(linksKept(h, 4, number), 20'000) << "more links gave way than had to";
    }
}
