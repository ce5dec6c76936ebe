#pragma once

#include "Settings/WindowState.h"
#include "Skins/SkinManifest.h"

#include <QList>
#include <QRectF>

#include <optional>

namespace Quillaby {

class SettingsStore;

// Repairs what an earlier run, a crash, a removed skin or a changed display arrangement may have left
// inconsistent, once at start-up before any window opens, always in this order: a stale settings.json.tmp
// is deleted; saved windows whose skin is gone or whose height or width is not positive are dropped, a
// window whose shape no longer fits its skin takes the skin's frame size, and one that is off every screen
// is centred on the main one; palette overrides naming no curated palette are pruned; a default skin that
// no skin has is replaced by the first skin. Nothing is reported to the user.
class DirtyStartSweep {
public:
    // The screens' usable areas (without panels and docks) in the coordinates saved windows use.
    struct Screens {
        QList<QRectF> visibleFrames;
        std::optional<QRectF> mainVisibleFrame;

        // The desktop's screens as Qt reports them; the primary screen is the main one.
        static Screens current();
    };

    // The shared settings store, the shared loader's skins and the current screens.
    static void run();
    // An empty skin list stands for the two built-in skins, as it does for every consumer.
    static void run(SettingsStore& store, const QList<SkinManifest>& skins, const Screens& screens);

    // Whether the frame, shrunk by 20 points on every side, overlaps some screen's usable area; a window
    // narrower or lower than 40 points never does.
    static bool isOnScreen(const WindowState& state, const Screens& screens);
};

} // namespace Quillaby
