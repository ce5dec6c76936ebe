#pragma once

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

namespace Quillaby {

// A modal alert: the message, the informative text under it, and the buttons left to right as the
// platform lays them out; the first button is the default one (for destructive actions: proceed).
struct AlertRequest {
    enum class Style {
        Informational,
        Warning,
        Critical
    };
    Style style = Style::Warning;
    QString message;
    QString informativeText;
    QStringList buttons;
    QWidget* parent = nullptr;
};

// An open or save panel.
struct FileDialogRequest {
    enum class Kind {
        OpenFile,
        OpenFolder,
        SaveFile
    };
    Kind kind = Kind::OpenFile;
    QString title;
    // Accepted file-name suffixes without the dot ("zip", "png"); empty: any file.
    QStringList suffixes;
    // Save panels: the proposed file name.
    QString suggestedName;
    QString startFolder;
    QWidget* parent = nullptr;
};

// A colour chooser opened from a colour well.
struct ColorDialogRequest {
    QString title;
    QColor initial;
    QWidget* parent = nullptr;
};

// The visible frames (work areas) of the screens in global coordinates: the main one (the active
// window's screen, else the primary) and all of them in the system's order. main is empty without a
// screen.
struct ScreenFrames {
    QRect main;
    QList<QRect> all;
};

// The platform facilities that tests must answer instead of a person or the wall clock: the current
// time, alerts, file panels, the colour chooser and opening URLs (web pages, and folders to reveal in
// the file manager) and the screens windows are placed on.
// Code calls AppHooks::current(); tests replace members inside a ScopedAppHooks and never see a real
// dialog. Main thread only, except now().
struct AppHooks {
    std::function<QDateTime()> now;
    // The index of the button chosen, -1 when the alert was dismissed otherwise.
    std::function<int(const AlertRequest&)> runAlert;
    // The chosen path, or an empty text when the panel was cancelled.
    std::function<QString(const FileDialogRequest&)> runFileDialog;
    // The chosen colour, or nothing when the chooser was cancelled.
    std::function<std::optional<QColor>(const ColorDialogRequest&)> runColorDialog;
    // False when no application took the URL.
    std::function<bool(const QUrl&)> openUrl;
    // Shows the file selected in a file manager window; opens its folder where no file manager offers
    // that. Returns at once.
    std::function<void(const QString& path)> revealFile;
    std::function<ScreenFrames()> screens;

    static AppHooks& current();
    // The real clock, QMessageBox, QFileDialog, QColorDialog, QDesktopServices and the desktop's file
    // manager over D-Bus, and QGuiApplication's screens.
    static AppHooks platform();
};

// Replaces the hooks for its lifetime and restores the previous ones afterwards.
class ScopedAppHooks {
public:
    ScopedAppHooks()
        : _saved(AppHooks::current()) {}
    ~ScopedAppHooks() { AppHooks::current() = _saved; }
    ScopedAppHooks(const ScopedAppHooks&) = delete;
    ScopedAppHooks& operator=(const ScopedAppHooks&) = delete;

    AppHooks* operator->() { return &AppHooks::current(); }

private:
    AppHooks _saved;
};

} // namespace Quillaby
