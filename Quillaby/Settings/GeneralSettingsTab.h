#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace Quillaby {

class FontSizeStepper;
class PaletteBrowserView;
class SettingsViewModel;

// The Settings window's General tab: terminal font and size, the login shell for new sessions, the
// palette browser, the default skin and window restoration, and two actions (reveal settings.json,
// reset everything). Its controls show the window's model and every change is written to the store
// at once; showing the tab writes nothing.
class GeneralSettingsTab : public QWidget {
    Q_OBJECT

public:
    // Families offered first when installed; the menu itself is sorted.
    static const QStringList& preferredFontFamilies();
    // Installed preferred families and every fixed-pitch family, plus `current` (so the choice stays
    // listed even when it is not installed), once each, in code-point order.
    static QStringList monospacedFonts(const QString& current);

    // The shells looked for, in order, and the other paths the same shells have on Linux.
    static const QStringList& shellCandidates();
    static const QStringList& linuxShellPaths();
    // The candidates the user may execute, in order, then the Linux paths that are executable and
    // not the same file reached through a folder already listed (a /bin linked to /usr/bin).
    static QStringList detectedShells();
    static QStringList detectedShells(const QStringList& candidates, const QStringList& alternatePaths);
    // The shell menu: the detected shells, then `shell` when it is none of them.
    static QStringList shellMenuEntries(const QString& shell);

    // The stepper's label: the whole number of points and "pt".
    static QString fontSizeLabel(double size);

    explicit GeneralSettingsTab(SettingsViewModel& model, QWidget* parent = nullptr);

    PaletteBrowserView* paletteBrowser() const { return _paletteBrowser; }

    // "Reset All Settings…": asks, then resets the store.
    void resetAllSettings();
    // "Reveal Settings File": settings.json selected in the file manager.
    void revealSettingsFile();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFonts();
    void showFontSize();
    void showShell();
    void showSkins();
    void writeShell();

    SettingsViewModel& _model;
    QComboBox* _fontMenu = nullptr;
    FontSizeStepper* _fontSize = nullptr;
    QComboBox* _shellMenu = nullptr;
    QLineEdit* _shellField = nullptr;
    PaletteBrowserView* _paletteBrowser = nullptr;
    QComboBox* _skinMenu = nullptr;
    QCheckBox* _restore = nullptr;
};

} // namespace Quillaby
