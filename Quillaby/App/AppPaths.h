#pragma once

#include <QString>

namespace Quillaby {

// Where the application keeps its files. The data folder is $XDG_DATA_HOME/Quillaby (by default
// ~/.local/share/Quillaby); the product's earlier name used $XDG_DATA_HOME/Zolvane.
//
// Every location is an absolute path worked out once, on the first use of any of them, from HOME and
// XDG_DATA_HOME, and kept for the life of the process; reading one creates nothing.
class AppPaths {
public:
    static QString appSupport();
    static QString legacyAppSupport();
    static QString settingsFile();
    static QString skinsDir();
    static QString crashesDir();
    static QString crashesPendingDir();
    static QString claudeSettings();
    static QString claudeStatuslineScript();
    static QString legacyClaudeStatuslineScript();

    // Moves the earlier product's folder to appSupport() once: nothing happens when anything (even a
    // file) already exists at appSupport() or when there is no earlier folder. Logs the outcome of a
    // move; never fails outward. The very first step of start-up.
    static void migrateLegacyAppSupportIfNeeded();

    // Tests: forget the computed locations, so the next use reads HOME and XDG_DATA_HOME again.
    static void resetForTesting();
};

} // namespace Quillaby
