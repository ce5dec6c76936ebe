#include "Settings/DirtyStartSweep.h"

#include "App/Log.h"
#include "Settings/CuratedPalettes.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>

#include <cmath>

namespace Quillaby {

namespace {

constexpr double onScreenInset = 20;
constexpr double aspectTolerance = 0.25;

void cleanStaleTempFiles(const SettingsStore& store) {
    // Left by a save that was interrupted; the settings file itself is whole.
    QFile::remove(store.settingsFile() + QStringLiteral(".tmp"));
}

const SkinManifest* findSkin(const QList<SkinManifest>& skins, const WindowState& state) {
    if (!state.id.isEmpty()) {
        for (const SkinManifest& skin : skins) {
            if (skin.id == state.id) return &skin;
        }
    }
    for (const SkinManifest& skin : skins) {
        if (skin.name == state.skinName) return &skin;
    }
    return nullptr;
}

void centre(WindowState& state, const QRectF& area) {
    state.x = area.center().x() - state.width / 2;
    state.y = area.center().y() - state.height / 2;
}

void repairWindowState(SettingsStore& store, const QList<SkinManifest>& skins,
                       const DirtyStartSweep::Screens& screens) {
    const QList<WindowState> saved = store.lastWindows();
    if (saved.isEmpty()) return;
    QList<WindowState> kept;
    bool changed = false;
    for (WindowState state : saved) {
        const SkinManifest* skin = findSkin(skins, state);
        if (!skin || !(state.width > 0) || !(state.height > 0)) {
            changed = true;
            continue;
        }
        const QSizeF frame = skin->frameSize;
        const double ratio = state.width / state.height;
        const double expected = frame.height() > 0 ? frame.width() / frame.height() : ratio;
        if (expected > 0 && std::abs(ratio - expected) / expected > aspectTolerance) {
            // The window no longer has its skin's shape (the skin changed): start again at frame size.
            state.width = frame.width();
            state.height = frame.height();
            centre(state, screens.mainVisibleFrame.value_or(QRectF(QPointF(0, 0), frame)));
            changed = true;
        } else if (!DirtyStartSweep::isOnScreen(state, screens) && screens.mainVisibleFrame) {
            centre(state, *screens.mainVisibleFrame);
            changed = true;
        }
        kept.append(state);
    }
    if (changed) store.setLastWindows(kept);
}

void prunePaletteOverrides(SettingsStore& store) {
    QSet<QString> ids;
    for (const CuratedPalette& palette : CuratedPalettes::all())
        ids.insert(palette.id);
    const int pruned = store.prunePaletteOverrides(ids);
    if (pruned > 0)
        Log::write(QStringLiteral("DirtyStartSweep: pruned %1 dangling palette override(s)").arg(pruned));
}

void repairDefaultSkin(SettingsStore& store, const QList<SkinManifest>& skins) {
    const QString stored = store.defaultSkin();
    for (const SkinManifest& skin : skins) {
        if (skin.name == stored) return;
    }
    const QString first = skins.first().name;
    Log::write(QStringLiteral("DirtyStartSweep: defaultSkin '") + stored +
               QStringLiteral("' missing — resetting to '") + first + QStringLiteral("'"));
    store.setDefaultSkin(first);
}

} // namespace

DirtyStartSweep::Screens DirtyStartSweep::Screens::current() {
    Screens screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.visibleFrames.append(QRectF(screen->availableGeometry()));
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens.mainVisibleFrame = QRectF(primary->availableGeometry());
    return screens;
}

bool DirtyStartSweep::isOnScreen(const WindowState& state, const Screens& screens) {
    const QRectF inset(state.x + onScreenInset, state.y + onScreenInset, state.width - 2 * onScreenInset,
                       state.height - 2 * onScreenInset);
    if (!(inset.width() > 0) || !(inset.height() > 0)) return false;
    for (const QRectF& frame : screens.visibleFrames) {
        if (inset.intersects(frame)) return true;
    }
    return false;
}

void DirtyStartSweep::run() {
    run(SettingsStore::shared(), SkinLoader::shared().skins(), Screens::current());
}

void DirtyStartSweep::run(SettingsStore& store, const QList<SkinManifest>& skins, const Screens& screens) {
    const QList<SkinManifest> list = skins.isEmpty() ? SkinManifest::fallbackSkins() : skins;
    cleanStaleTempFiles(store);
    repairWindowState(store, list, screens);
    prunePaletteOverrides(store);
    repairDefaultSkin(store, list);
}

} // namespace Quillaby
