#pragma once

#include "Skins/SkinManifest.h"
#include "Windows/GitStatus.h"

#include "Color.h"
#include "LocalProcessTerminalView.h"
#include "LocalProcessTerminalViewDelegate.h"

#include <QFont>
#include <QLatin1String>
#include <QMargins>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

namespace Quillaby {

// One shell session: a plain widget holding a process-bound terminal view that runs the user's login
// shell with the window's colours and the configured font. It follows the folder the shell reports and
// that folder's git branch and state, and prints a closing line when the shell ends on its own.
//
// The session itself never takes keyboard focus: its terminal view does. Main thread only.
class ShellView : public QWidget, public Tessaline::LocalProcessTerminalViewDelegate {
    Q_OBJECT
public:
    // Posted with the session as object (a QObject*) when its folder or git state was (re)stored.
    static constexpr QLatin1String shellStateDidChange{"QuillabyShellStateDidChange"};
    // The shell a session falls back to when the configured one cannot be run.
    static constexpr QLatin1String fallbackShell{"/bin/sh"};

    // Reads the font name and size from the settings once and follows later font changes. No terminal
    // view yet.
    explicit ShellView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~ShellView() override;

    // Once, right after construction: creates the terminal view and starts the shell (the given one, else
    // the configured one) as a login shell in the home folder.
    void startSession(const std::optional<QString>& shell,
                      const std::optional<SkinManifest::TerminalPalette>& palette);

    Tessaline::LocalProcessTerminalView* terminal() const { return _terminal; }
    double fontSize() const { return _fontSize; }
    QString fontName() const { return _fontName; }
    QString currentDirectory() const { return _currentDirectory; }
    QString gitBranch() const { return _gitBranch; }
    bool gitDirty() const { return _gitDirty; }

    // The size plus delta, held to 6...24 points, stored in the settings when it differs from theirs
    // (which saves and announces it); the font is set on the terminal view again in any case.
    void changeFontSize(double delta);

    // The font called `name` at `size` points (logical pixels): a family, or a full or PostScript-style
    // face name; else the installed family standing in for it; else the desktop's fixed-pitch font.
    static QFont resolveFont(const QString& name, double size);
    // The family among `installed` that serves `name`: the name itself, else its stand-in (the Nerd Font
    // build of JetBrains Mono named by the settings is the plain family on most Linux desktops).
    static std::optional<QString> familyFor(const QString& name, const QStringList& installed);
    // Components times 65535, truncated toward zero and held to 0...65535; alpha is dropped.
    static Tessaline::Color toTessalineColor(const RgbColor& color);
    // Foreground, background, caret and caret text, then the 16 ANSI colours when the palette has exactly
    // 16; without a palette the session's own light-on-dark pair and the engine's ANSI colours.
    static void applyColors(Tessaline::TerminalView& view,
                            const std::optional<SkinManifest::TerminalPalette>& palette);
    // The path of a directory report: a file URL's decoded path, else the text without "file://".
    static QString directoryFromReport(const QString& report);
    // The shell to run: the given one; else the configured one, or /bin/sh when that is no executable
    // file (a stored or detected /bin/zsh is often missing on Linux).
    static QString shellToStart(const std::optional<QString>& given, const QString& configured);
    // Argument zero of a login shell: "-" and the shell's file name.
    static QString loginName(const QString& shellPath);

    // Gives the widget the frame and, when it is hidden, its resize at once.
    static void fitHidden(QWidget& widget, const QRect& frame);
    // The margin between the session's edges and its terminal, in the terminal's background colour: a
    // device's screen has soft, rounded edges and a bezel that would cut into glyphs at the very edge.
    static constexpr QMargins terminalMargins{4, 2, 4, 2};
    // The margins for a screen whose corners are rounded with `cornerRadius`: the terminal's corner
    // cells stay inside the rounding, so the first letter of a prompt is never cut.
    static QMargins terminalMarginsFor(double cornerRadius);
    // The largest corner radius of the screen the session is shown in; it sets the terminal's margins.
    void setScreenCornerRadius(double radius);
    QMargins margins() const { return _margins; }

    // LocalProcessTerminalViewDelegate
    void sizeChanged(Tessaline::LocalProcessTerminalView& source, int newCols, int newRows) override;
    void setTerminalTitle(Tessaline::LocalProcessTerminalView& source, const std::string& title) override;
    void hostCurrentDirectoryUpdate(Tessaline::TerminalView& source,
                                    const std::optional<std::string>& directory) override;
    void processTerminated(Tessaline::TerminalView& source, std::optional<int32_t> exitCode) override;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyFontFromSettings();
    void fontSettingsChanged();
    void storeDirectory(const QString& path);
    void refreshGitStatus();
    void takeGitState(const GitState& state);
    void postStateChange();

    QPointer<Tessaline::LocalProcessTerminalView> _terminal;
    QMargins _margins = terminalMargins;
    double _fontSize = 0;
    QString _fontName;
    QString _currentDirectory;
    QString _gitBranch;
    bool _gitDirty = false;
    bool _forwardingWheel = false;
};

} // namespace Quillaby
