#pragma once

#include <QString>

#include <optional>

namespace Quillaby {

// Which skin the Settings window edits (its palette and effects).
class ActiveSkin {
public:
    ActiveSkin() = delete;

    // The skin of the active device window, else of the first one opened; with no device window the
    // stored default skin when a loaded skin (the built-in ones while none is loaded) has that name,
    // else the first of those skins.
    static QString name();

    // The skin of the active device window, else of the first one opened; nothing without one.
    static std::optional<QString> deviceWindowSkinName();
};

} // namespace Quillaby
