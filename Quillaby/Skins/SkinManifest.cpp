#include "Skins/SkinManifest.h"

#include "App/AppPaths.h"

#include <QFileInfo>

namespace Quillaby {

namespace {

SkinManifest::ButtonRect button(double x, double y, double width, double height, const char* label) {
    return SkinManifest::ButtonRect{QRectF(x, y, width, height), QString::fromUtf8(label), std::nullopt};
}

SkinManifest makeHandheld() {
    SkinManifest skin;
    skin.id = QStringLiteral("handheld");
    skin.name = QStringLiteral("Handheld v1");
    skin.frameSize = QSizeF(398, 555);
    skin.viewportRect = QRectF(58, 82, 282, 172);
    skin.buttons = {
        button(72, 340, 65, 65, ""),
        button(148, 340, 65, 65, ""),
        button(222, 340, 60, 60, ""),
        button(305, 335, 70, 70, ""),
    };
    skin.palette.foreground = RgbColor::rgb(0, 1, 0.25);
    skin.palette.background = RgbColor::rgb(0.02, 0.02, 0.02);
    skin.frameImageName = QStringLiteral("handheld/frame@2x.png");
    skin.viewportCornerRadius = 8.0;
    skin.isBundled = true;
    return skin;
}

SkinManifest makeWalkie() {
    SkinManifest skin;
    skin.id = QStringLiteral("walkie");
    skin.name = QStringLiteral("Walkie MK-1");
    skin.frameSize = QSizeF(421, 661);
    skin.viewportRect = QRectF(68, 213, 285, 147);
    skin.buttons = {
        button(52, 375, 72, 48, "MENU"),
        button(132, 375, 80, 48, "SCAN"),
        button(214, 375, 70, 48, "MON"),
        button(293, 375, 72, 48, "ENT"),
    };
    skin.palette.foreground = RgbColor::rgb(1, 0.55, 0);
    skin.palette.background = RgbColor::rgb(0.05, 0.03, 0);
    skin.frameImageName = QStringLiteral("walkie/Walkie_alpha.png");
    skin.viewportCornerRadius = 6.0;
    skin.isBundled = true;
    return skin;
}

} // namespace

const SkinManifest& SkinManifest::handheld() {
    static const SkinManifest skin = makeHandheld();
    return skin;
}

const SkinManifest& SkinManifest::walkie() {
    static const SkinManifest skin = makeWalkie();
    return skin;
}

const QList<SkinManifest>& SkinManifest::programmaticSkins() {
    static const QList<SkinManifest> skins{handheld()};
    return skins;
}

const QList<SkinManifest>& SkinManifest::fallbackSkins() {
    static const QList<SkinManifest> skins{handheld(), walkie()};
    return skins;
}

std::optional<QString> SkinManifest::userFolderURL() const {
    if (isBundled) return std::nullopt;
    // A folder name, never a path that climbs out of the skins folder.
    if (id.isEmpty() || id == QStringLiteral(".") || id == QStringLiteral("..") ||
        id.contains(QLatin1Char('/')))
        return std::nullopt;
    QString folder = AppPaths::skinsDir() + QLatin1Char('/') + id;
    // Any entry named skin.json counts, as the loader counts it.
    if (!QFileInfo(folder + QStringLiteral("/skin.json")).exists()) return std::nullopt;
    return folder;
}

} // namespace Quillaby
