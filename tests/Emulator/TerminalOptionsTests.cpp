#include "TerminalOptions.h"

#include <gtest/gtest.h>

#include <map>

using namespace Tessaline;

TEST(TerminalOptions, Defaults) {
    const TerminalOptions& o = TerminalOptions::defaultOptions();
    EXPECT_EQ(o.cols, 80);
    EXPECT_EQ(o.rows, 25);
    EXPECT_FALSE(o.convertEol);
    EXPECT_EQ(o.termName, "xterm-256color");
    EXPECT_EQ(o.cursorStyle, CursorStyle::blinkBlock);
    EXPECT_FALSE(o.screenReaderMode);
    EXPECT_EQ(o.scrollback, 500);
    EXPECT_EQ(o.tabStopWidth, 8);
    EXPECT_TRUE(o.enableSixelReported);
    EXPECT_EQ(o.kittyImageCacheLimitBytes, 335544320);
    EXPECT_EQ(o.ansi256PaletteStrategy, Ansi256PaletteStrategy::base16Lab);
    EXPECT_EQ(o, TerminalOptions{});
}

TEST(TerminalOptions, MemberwiseValuesAreStoredUnchecked) {
    const TerminalOptions o{1,  0, true,  "vt100", CursorStyle::steadyBar,       true,
                            -5, 4, false, -1,      Ansi256PaletteStrategy::xterm};
    EXPECT_EQ(o.cols, 1);
    EXPECT_EQ(o.rows, 0);
    EXPECT_TRUE(o.convertEol);
    EXPECT_EQ(o.termName, "vt100");
    EXPECT_EQ(o.cursorStyle, CursorStyle::steadyBar);
    EXPECT_TRUE(o.screenReaderMode);
    EXPECT_EQ(o.scrollback, -5);
    EXPECT_EQ(o.tabStopWidth, 4);
    EXPECT_FALSE(o.enableSixelReported);
    EXPECT_EQ(o.kittyImageCacheLimitBytes, -1);
    EXPECT_EQ(o.ansi256PaletteStrategy, Ansi256PaletteStrategy::xterm);
}

TEST(CursorStyle, FromString) {
    const std::vector<std::pair<std::string, std::optional<CursorStyle>>> cases = {
        {"blinkBlock", CursorStyle::blinkBlock},
        {"steadyBlock", CursorStyle::steadyBlock},
        {"blinkUnderline", CursorStyle::blinkUnderline},
        {"steadyUnderline", CursorStyle::steadyUnderline},
        {"blinkBar", CursorStyle::blinkBar},
        {"steadyBar", CursorStyle::steadyBar},
        {"SteadyBar", std::nullopt},
        {" steadyBar", std::nullopt},
        {"bar", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(cursorStyleFrom(text), expected);
        if (expected) {
            EXPECT_EQ(name(*expected), text);
        }
    }
}

TEST(ChildEnvironment, ListAndOrder) {
    struct Case {
        const char* name;
        std::optional<std::string_view> termName;
        bool trueColor;
        std::map<std::string, std::string> process;
        bool usLocale;
        std::vector<std::string> expected;
    };
    const std::map<std::string, std::string> desktop = {
        {"HOME", "/home/u"},
        {"USER", "u"},
        {"LOGNAME", "u"},
        {"DISPLAY", ":0"},
        {"LC_CTYPE", "x"},
        {"LC_TYPE", "no C library reads this"},
        {"PATH", "/bin"},
        {"SHELL", "/bin/sh"},
        {"LANG", "de_DE.UTF-8"},
        {"XAUTHORITY", "/x"},
        {"WAYLAND_DISPLAY", "wayland-0"},
        {"XDG_RUNTIME_DIR", "/run/user/1"},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:a"},
    };
    const Case cases[] = {
        {"only USER and HOME",
         std::nullopt,
         false,
         {{"USER", "u"}, {"HOME", "/home/u"}},
         true,
         {"TERM=xterm-256color", "LANG=en_US.UTF-8", "USER=u", "HOME=/home/u"}},
        {"name and true colour",
         "vt100",
         true,
         {},
         true,
         {"TERM=vt100", "COLORTERM=truecolor", "LANG=en_US.UTF-8"}},
        {"without en_US.UTF-8", std::nullopt, false, {}, false, {"TERM=xterm-256color", "LANG=C.UTF-8"}},
        {"a desktop session",
         "xterm-256color",
         true,
         desktop,
         true,
         {"TERM=xterm-256color", "COLORTERM=truecolor", "LANG=en_US.UTF-8", "LOGNAME=u", "USER=u",
          "DISPLAY=:0", "LC_CTYPE=x", "HOME=/home/u", "WAYLAND_DISPLAY=wayland-0",
          "XDG_RUNTIME_DIR=/run/user/1", "DBUS_SESSION_BUS_ADDRESS=unix:a", "XAUTHORITY=/x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto lookup = [&](const char* name) -> const char* {
            auto it = c.process.find(name);
            return it == c.process.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(getEnvironmentVariables(c.termName, c.trueColor, lookup, c.usLocale), c.expected);
    }
}

TEST(ChildEnvironment, ProcessEnvironment) {
    const auto env = getEnvironmentVariables(std::nullopt, true);
    ASSERT_GE(env.size(), 3u);
    EXPECT_EQ(env[0], "TERM=xterm-256color");
    EXPECT_EQ(env[1], "COLORTERM=truecolor");
    EXPECT_EQ(env[2], isUsUtf8LocaleInstalled() ? "LANG=en_US.UTF-8" : "LANG=C.UTF-8");
    for (const auto& entry : env)
        EXPECT_FALSE(entry.starts_with("PATH=")) << entry;
}
