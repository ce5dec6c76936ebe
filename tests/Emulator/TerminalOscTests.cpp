// Host notices (titles, document, directory, progress, notifications, clipboard) and OSC 1337 images,
// fed as bytes and compared as the delegate's log.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Log = std::vector<std::string>;

std::string osc(const std::string& code, const std::string& payload) {
    return "\x1b]" + code + ";" + payload + "\x1b\\";
}

std::span<const uint8_t> bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

TEST(TerminalOsc, Titles) {
    struct Case {
        const char* name;
        std::string input;
        Log log;
        std::string title;
        std::string icon;
    };
    const std::vector<Case> cases = {
        {"OSC 0 sets the window title only", osc("0", "hello"), {"setTitle hello"}, "hello", ""},
        {"OSC 2 ended by BEL", "\x1b]2;h\xc3\xa9llo\x07", {"setTitle h\xc3\xa9llo"}, "h\xc3\xa9llo", ""},
        {"OSC 1 sets the icon title only", osc("1", "icon"), {"setIconTitle icon"}, "", "icon"},
        {"invalid UTF-8 gives the empty title", osc("2", "ab\xff"), {"setTitle "}, "", ""},
        {"invalid UTF-8 icon title", osc("1", "\xc3("), {"setIconTitle "}, "", ""},
        {"an unchanged title is told again",
         osc("2", "same") + osc("2", "same"),
         {"setTitle same", "setTitle same"},
         "same",
         ""},
        {"a title may hold ';'", osc("2", "a;b"), {"setTitle a;b"}, "a;b", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(c.input);
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.terminal().terminalTitle, c.title);
        EXPECT_EQ(h.terminal().iconTitle, c.icon);
    }
}

TEST(TerminalOsc, TitlesAreStoredWithoutADelegate) {
    TerminalHarness h;
    h.terminal().tdel = nullptr;
    h.feed(osc("0", "t") + osc("1", "i"));
    EXPECT_EQ(h.terminal().terminalTitle, "t");
    EXPECT_EQ(h.terminal().iconTitle, "i");
}

TEST(TerminalOsc, DocumentAndDirectoryNeedTrust) {
    struct Case {
        const char* name;
        bool trusted;
        std::string input;
        Log log;
        std::optional<std::string> directory;
        std::optional<std::string> document;
    };
    const std::vector<Case> cases = {
        {"trusted OSC 7 stores the URL as sent",
         true,
         osc("7", "file://host/tmp/a%20b"),
         {"isProcessTrusted", "hostCurrentDirectoryUpdated"},
         "file://host/tmp/a%20b",
         std::nullopt},
        {"a plain path is stored too",
         true,
         osc("7", "/tmp"),
         {"isProcessTrusted", "hostCurrentDirectoryUpdated"},
         "/tmp",
         std::nullopt},
        {"an empty payload stores the empty text",
         true,
         osc("7", ""),
         {"isProcessTrusted", "hostCurrentDirectoryUpdated"},
         "",
         std::nullopt},
        {"untrusted OSC 7 is ignored",
         false,
         osc("7", "/tmp"),
         {"isProcessTrusted"},
         std::nullopt,
         std::nullopt},
        {"OSC 7 that is not UTF-8 is ignored",
         true,
         osc("7", "/tmp/\xff"),
         {"isProcessTrusted"},
         std::nullopt,
         std::nullopt},
        {"trusted OSC 6",
         true,
         osc("6", "file:///doc.txt"),
         {"isProcessTrusted", "hostCurrentDocumentUpdated"},
         std::nullopt,
         "file:///doc.txt"},
        {"untrusted OSC 6 is ignored",
         false,
         osc("6", "x"),
         {"isProcessTrusted"},
         std::nullopt,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.delegate().trusted = c.trusted;
        h.feed(c.input);
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.terminal().hostCurrentDirectory(), c.directory);
        EXPECT_EQ(h.terminal().hostCurrentDocument(), c.document);
    }
}

TEST(TerminalOsc, DocumentAndDirectoryWithoutADelegateAreIgnored) {
    TerminalHarness h;
    h.terminal().tdel = nullptr;
    h.feed(osc("7", "/tmp") + osc("6", "/doc"));
    EXPECT_EQ(h.terminal().hostCurrentDirectory(), std::nullopt);
    EXPECT_EQ(h.terminal().hostCurrentDocument(), std::nullopt);
}

TEST(TerminalOsc, FullResetForgetsOnlyTheDirectory) {
    TerminalHarness h;
    h.feed(osc("7", "/tmp") + osc("6", "/doc") + osc("2", "t") + osc("1", "i") + "\033c");
    EXPECT_EQ(h.terminal().hostCurrentDirectory(), std::nullopt);
    EXPECT_EQ(h.terminal().hostCurrentDocument(), "/doc");
    EXPECT_EQ(h.terminal().terminalTitle, "t");
    EXPECT_EQ(h.terminal().iconTitle, "i");
}

TEST(TerminalOsc, ProgressReports) {
    const std::vector<DiagnosticKind> unknown = {DiagnosticKind::unhandledSequence};
    struct Case {
        const char* name;
        std::string payload;
        Log log;
        std::vector<DiagnosticKind> diagnostics;
    };
    const std::vector<Case> cases = {
        {"set without progress is 0", "4;1", {"progressReport set 0"}, {}},
        {"set with an empty progress is 0", "4;1;", {"progressReport set 0"}, {}},
        {"set 50", "4;1;50", {"progressReport set 50"}, {}},
        {"clamped to 100", "4;1;150", {"progressReport set 100"}, {}},
        {"negative clamped to 0", "4;1;-5", {"progressReport set 0"}, {}},
        {"leading plus", "4;4;+7", {"progressReport pause 7"}, {}},
        {"remove never has progress", "4;0;50", {"progressReport remove none"}, {}},
        {"error with progress", "4;2;40", {"progressReport error 40"}, {}},
        {"indeterminate", "4;3", {"progressReport indeterminate none"}, {}},
        {"indeterminate with empty progress", "4;3;", {"progressReport indeterminate none"}, {}},
        {"later pieces ignored", "4;1;20;x;y", {"progressReport set 20"}, {}},
        {"state above 4", "4;5", {}, unknown},
        {"two-digit state", "4;01", {}, unknown},
        {"empty state", "4;", {}, unknown},
        {"no state", "4", {}, unknown},
        {"progress not a number", "4;1;abc", {}, unknown},
        {"progress with a fraction", "4;1;1.5", {}, unknown},
        {"progress too large for a number", "4;1;99999999999999999999999", {}, unknown},
        {"non-ASCII byte", "4;1;5\xc3\xa9", {}, unknown},
        {"a plain text notification", "hello;world", {}, unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(osc("9", c.payload)); }), c.diagnostics);
        EXPECT_EQ(h.log(), c.log);
    }
}

TEST(TerminalOsc, Notifications) {
    struct Case {
        const char* name;
        std::string payload;
        Log log;
    };
    const std::vector<Case> cases = {
        {"title and body", "notify;Build;done", {"notify Build|done"}},
        {"a body with ';' arrives whole", "notify;T;a;b;;c", {"notify T|a;b;;c"}},
        {"empty title and body", "notify;;", {"notify |"}},
        {"title only raises nothing", "notify;T", {}},
        {"another command raises nothing", "notice;T;B", {}},
        {"not UTF-8", "notify;T;\xff", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(osc("777", c.payload)); }),
                  std::vector<DiagnosticKind>{});
        EXPECT_EQ(h.log(), c.log);
    }
}

TEST(TerminalOsc, ClipboardWrites) {
    struct Case {
        const char* name;
        std::string payload;
        Log log;
    };
    const std::vector<Case> cases = {
        {"clipboard", "c;aGVsbG8=", {"clipboardCopy hello"}},
        {"binary data", "c;AP8K", {"clipboardCopy \\x00\\xFF\\x0A"}},
        {"empty data", "c;", {"clipboardCopy "}},
        {"primary selection", "p;aGVsbG8=", {}},
        {"cut buffer", "0;aGVsbG8=", {}},
        {"several selections", "pc;aGVsbG8=", {}},
        {"empty selection", ";aGVsbG8=", {}},
        {"the query form", "c;?", {}},
        {"no separator", "c", {}},
        {"a length not a multiple of 4", "c;aGVsbG8", {}},
        {"a character outside the alphabet", "c;aGVs-G8=", {}},
        {"a space", "c;aGVs bG8=", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(osc("52", c.payload));
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.replies(), "") << "the clipboard is never read back";
    }
}

// The parser drops C0 bytes inside an OSC string, so a line break can only reach the command directly.
TEST(TerminalOsc, LineBreaksInBase64AreRefused) {
    TerminalHarness h;
    h.terminal().oscClipboardCopy(bytes("c;aGVs\nbG8="));
    h.terminal().osciTerm2(bytes("File=inline=1:aGVs\r\nbG8="));
    EXPECT_EQ(h.log(), Log{});
}

TEST(TerminalOsc, InlineImageDimensions) {
    struct Case {
        const char* name;
        std::string width;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"cells", "40", "cells:40"},
        {"leading plus", "+7", "cells:7"},
        {"largest cell count", "199", "cells:199"},
        {"cells past 199", "200", "auto"},
        {"zero", "0", "auto"},
        {"negative", "-5", "auto"},
        {"trailing space", "7 ", "auto"},
        {"auto", "auto", "auto"},
        {"not a number", "abc", "auto"},
        {"too large for a number", "99999999999999999999999", "auto"},
        {"percent", "50%", "percent:50"},
        {"smallest percent", "1%", "percent:1"},
        {"whole width", "100%", "percent:100"},
        {"percent past 100", "101%", "auto"},
        {"empty percent", "%", "auto"},
        {"pixels", "320px", "pixels:320"},
        {"largest pixel count", "4095px", "pixels:4095"},
        {"pixels past 4095", "4096px", "auto"},
        {"zero pixels", "0px", "auto"},
        {"empty pixels", "px", "auto"},
        {"upper-case unit", "320PX", "auto"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(osc("1337", "File=inline=1;width=" + c.width + ";height=" + c.width + ":aGk="));
        EXPECT_EQ(h.log(), Log{"createImage 2 bytes " + c.expected + " " + c.expected + " aspect"});
    }
}

TEST(TerminalOsc, InlineImages) {
    struct Case {
        const char* name;
        std::string payload;
        Log log;
    };
    const std::string content = "iTermContent ";
    const std::vector<Case> cases = {
        {"inline transfer",
         "File=name=eC5wbmc=;size=5;inline=1;width=40;height=auto:aGVsbG8=",
         {"createImage 5 bytes cells:40 auto aspect"}},
        {"no size arguments", "File=inline=1:aGVsbG8=", {"createImage 5 bytes auto auto aspect"}},
        {"preserveAspectRatio 1",
         "File=inline=1;preserveAspectRatio=1:aGk=",
         {"createImage 2 bytes auto auto aspect"}},
        {"preserveAspectRatio 0",
         "File=inline=1;preserveAspectRatio=0:aGk=",
         {"createImage 2 bytes auto auto stretch"}},
        {"preserveAspectRatio false",
         "File=inline=1;preserveAspectRatio=false:aGk=",
         {"createImage 2 bytes auto auto stretch"}},
        {"empty data", "File=inline=1:", {"createImage 0 bytes auto auto aspect"}},
        {"a key seen twice keeps its last value",
         "File=inline=0;inline=1:aGk=",
         {"createImage 2 bytes auto auto aspect"}},
        {"a final ';' ends the list", "File=inline=1;:aGk=", {"createImage 2 bytes auto auto aspect"}},
        {"no inline argument goes to the host", "File=name=eA==:aGk=", {content + "File=name=eA==:aGk="}},
        {"inline=0 goes to the host", "File=inline=0:aGk=", {content + "File=inline=0:aGk="}},
        {"no arguments go to the host", "File=:aGk=", {content + "File=:aGk="}},
        {"an empty segment stops the list",
         "File=name=eA==;;inline=1:aGk=",
         {content + "File=name=eA==;;inline=1:aGk="}},
        {"a segment without '=' stops the list",
         "File=name;inline=1:aGk=",
         {content + "File=name;inline=1:aGk="}},
        {"a value with ':' ends the arguments",
         "File=name=a:b;inline=1:aGk=",
         {content + "File=name=a:b;inline=1:aGk="}},
        {"an argument that is not UTF-8 stops the list",
         "File=n=\xff;inline=1:aGk=",
         {content + "File=n=\\xFF;inline=1:aGk="}},
        {"bad Base64 is dropped", "File=inline=1:aGk", {}},
        {"no ':' is dropped", "File=inline=1", {}},
        {"the key is case-sensitive", "file=inline=1:aGk=", {content + "file=inline=1:aGk="}},
        {"another key goes to the host whole", "SetUserVar=foo=YmFy", {content + "SetUserVar=foo=YmFy"}},
        {"no '=' reaches nobody", "StealFocus", {}},
        {"a key that is not UTF-8 reaches nobody", "\xff=1", {}},
        {"empty payload", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(osc("1337", c.payload)); }),
                  std::vector<DiagnosticKind>{});
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.replies(), "");
    }
}
