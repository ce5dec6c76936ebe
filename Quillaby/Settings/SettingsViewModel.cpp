#include "Settings/SettingsViewModel.h"

#include "App/NotificationCenter.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"

namespace Quillaby {

SettingsViewModel::SettingsViewModel(QObject* parent)
    : QObject(parent) {
    readStore();
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(QString(SettingsStore::fontDidChange), this,
                       [this](const Notification&) { handleFontChange(); });
    center.addObserver(QString(SkinLoader::skinsDidReload), this,
                       [this](const Notification&) { handleSkinsReload(); });
    center.addObserver(QString(SettingsStore::didReset), this,
                       [this](const Notification&) { handleResetAll(); });
}

void SettingsViewModel::readStore() {
    const SettingsStore& store = SettingsStore::shared();
    setFontName(store.fontName());
    setFontSize(store.fontSize());
    // The effective shell: the stored one, else the login shell.
    setShell(store.defaultShell());
    setDefaultSkin(store.defaultSkin());
    setRestoreWindows(store.restoreWindows());
}

void SettingsViewModel::setFontName(const QString& name) {
    if (name == _fontName) return;
    _fontName = name;
    emit fontNameChanged();
}

void SettingsViewModel::setFontSize(double size) {
    if (size == _fontSize) return;
    _fontSize = size;
    emit fontSizeChanged();
}

void SettingsViewModel::setShell(const QString& shell) {
    if (shell == _shell) return;
    _shell = shell;
    emit shellChanged();
}

void SettingsViewModel::setDefaultSkin(const QString& name) {
    if (name == _defaultSkin) return;
    _defaultSkin = name;
    emit defaultSkinChanged();
}

void SettingsViewModel::setRestoreWindows(bool restore) {
    if (restore == _restoreWindows) return;
    _restoreWindows = restore;
    emit restoreWindowsChanged();
}

void SettingsViewModel::incrementSkinsTick() {
    ++_skinsTick;
    emit skinsTickChanged();
}

void SettingsViewModel::handleFontChange() {
    const SettingsStore& store = SettingsStore::shared();
    setFontName(store.fontName());
    setFontSize(store.fontSize());
}

void SettingsViewModel::handleSkinsReload() {
    incrementSkinsTick();
}

void SettingsViewModel::handleResetAll() {
    readStore();
    incrementSkinsTick();
}

} // namespace Quillaby
