#pragma once

#include "App/RgbColor.h"
#include "Settings/SettingsData.h"

#include <QLatin1String>
#include <QSet>
#include <QString>

#include <optional>

namespace Quillaby {

// The application's single settings object: every user setting in one record, read once from
// settings.json and written back whole, synchronously, after every change. Main thread only.
//
// Saving writes settings.json.tmp beside the file, flushes it to disk and renames it over
// settings.json, so a crash leaves the old file or the new one. A file that is not a JSON object is
// first copied aside byte for byte to "settings.json.corrupt-<seconds>"; a file that exists but
// cannot be read (or a corrupt one that could not be copied) is never overwritten during the run.
//
// Changes are announced on NotificationCenter::defaultCenter() after the save: the font setters post
// fontDidChange; palette and effect changes name the skin; resetAll posts all four without an object.
class SettingsStore {
public:
    static constexpr QLatin1String fontDidChange{"ZolvFontDidChange"};
    static constexpr QLatin1String paletteDidChange{"ZolvPaletteDidChange"};
    static constexpr QLatin1String effectsDidChange{"ZolvEffectsDidChange"};
    static constexpr QLatin1String didReset{"ZolvSettingsDidReset"};

    // The font size is held within these bounds wherever it enters the store.
    static constexpr double minimumFontSize = 6;
    static constexpr double maximumFontSize = 24;
    static double clampedFontSize(double size);

    // The store of AppPaths::settingsFile(), made on first use.
    static SettingsStore& shared();

    // A store of its own on the given file (tests, tools): creates the folder, loads, migrates.
    explicit SettingsStore(QString settingsFile);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString settingsFile() const { return _settingsFile; }

    // These five ignore a value equal to the stored one.
    QString fontName() const { return _data.fontName; }
    void setFontName(const QString& name);
    double fontSize() const { return _data.fontSize; }
    // NaN and infinities are ignored; other sizes are clamped to 6...24 first.
    void setFontSize(double size);
    // The stored shell, or the detected login shell when none is stored.
    QString defaultShell() const;
    void setDefaultShell(const QString& shell);
    QString defaultSkin() const { return _data.defaultSkin; }
    void setDefaultSkin(const QString& name);
    bool restoreWindows() const { return _data.restoreWindows; }
    void setRestoreWindows(bool restore);

    // These store and save on every call, and post nothing.
    bool hasLaunchedBefore() const { return _data.hasLaunchedBefore; }
    void setHasLaunchedBefore(bool launched);
    QList<WindowState> lastWindows() const { return _data.lastWindows; }
    void setLastWindows(const QList<WindowState>& windows);
    QMap<QString, SkinEffectsSettings> skinEffects() const { return _data.skinEffects; }
    void setSkinEffects(const QMap<QString, SkinEffectsSettings>& effects);
    QMap<QString, QString> cursorOverrides() const { return _data.cursorOverrides; }
    void setCursorOverrides(const QMap<QString, QString>& overrides);
    QMap<QString, QString> paletteOverrides() const { return _data.paletteOverrides; }
    void setPaletteOverrides(const QMap<QString, QString>& overrides);

    // The skin's stored effects, or all defaults.
    SkinEffectsSettings effects(const QString& skinName) const;

    // None removes the skin's caret colour; a colour is stored as "#RRGGBB" (components times 255,
    // truncated). Saves and posts paletteDidChange with the skin name. A colour with a non-finite
    // component is refused with a log line: nothing changes and nothing is posted.
    void setCursorOverride(const std::optional<RgbColor>& color, const QString& skinName);

    // Removes the palette overrides naming an id outside the set; saves only when one went. Returns
    // how many went.
    int prunePaletteOverrides(const QSet<QString>& validPaletteIds);

    // Every setting back to its default, saved, then didReset, fontDidChange, paletteDidChange and
    // effectsDidChange, each without an object.
    void resetAll();

    // The user's shell from the password database, else $SHELL, else /bin/zsh.
    static QString detectLoginShell();
    // The same choice from given values (empty: not set).
    static QString loginShellFrom(const QString& passwordShell, const QString& environmentShell);

private:
    void load();
    void save();
    void migrate();

    QString _settingsFile;
    SettingsData _data;
    // False while the file on disk holds something we could not read or keep a copy of.
    bool _mayOverwrite = true;
};

} // namespace Quillaby
