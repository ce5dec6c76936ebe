#pragma once

#include <QObject>
#include <QString>

namespace Quillaby {

// The Settings window's mirror of the settings its General and Skins tabs show, shared by those tabs
// and the palette browser. The tabs set the values; the General tab writes them to the store. The
// mirror follows font changes made elsewhere (a device window's font size keys), reloads of the skins
// folder and a full reset. Main thread only.
class SettingsViewModel : public QObject {
    Q_OBJECT

public:
    explicit SettingsViewModel(QObject* parent = nullptr);

    // Each setter signals only when the value changes.
    QString fontName() const { return _fontName; }
    void setFontName(const QString& name);
    double fontSize() const { return _fontSize; }
    void setFontSize(double size);
    // The stored default shell, or the detected login shell when none is stored (shown, not stored).
    QString shell() const { return _shell; }
    void setShell(const QString& shell);
    // A skin's display name.
    QString defaultSkin() const { return _defaultSkin; }
    void setDefaultSkin(const QString& name);
    bool restoreWindows() const { return _restoreWindows; }
    void setRestoreWindows(bool restore);

    // Grows by one whenever the list of loaded skins may have changed, so views reading it rebuild.
    int skinsTick() const { return _skinsTick; }
    void incrementSkinsTick();

signals:
    void fontNameChanged();
    void fontSizeChanged();
    void shellChanged();
    void defaultSkinChanged();
    void restoreWindowsChanged();
    void skinsTickChanged();

private:
    void handleFontChange();
    void handleSkinsReload();
    void handleResetAll();
    void readStore();

    QString _fontName;
    double _fontSize = 0;
    QString _shell;
    QString _defaultSkin;
    bool _restoreWindows = false;
    int _skinsTick = 0;
};

} // namespace Quillaby
