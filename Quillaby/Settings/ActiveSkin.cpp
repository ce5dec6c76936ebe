#include "Settings/ActiveSkin.h"

#include "App/AppDelegate.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"

namespace Quillaby {

std::optional<QString> ActiveSkin::deviceWindowSkinName() {
    const AppDelegate* delegate = AppDelegate::instance();
    if (!delegate) return std::nullopt;
    const DeviceWindowController* controller = delegate->activeController();
    // While the Settings window is active this is the oldest device window still open.
    if (!controller && !delegate->windowControllers.isEmpty())
        controller = delegate->windowControllers.first();
    if (!controller) return std::nullopt;
    return AppDelegate::skinNameOf(*controller);
}

QString ActiveSkin::name() {
    if (std::optional<QString> shown = deviceWindowSkinName()) return *shown;
    const QString defaultSkin = SettingsStore::shared().defaultSkin();
    const QList<SkinManifest> skins = SkinLoader::shared().skinsOrFallback();
    for (const SkinManifest& skin : skins) {
        if (skin.name == defaultSkin) return defaultSkin;
    }
    return skins.first().name;
}

} // namespace Quillaby
