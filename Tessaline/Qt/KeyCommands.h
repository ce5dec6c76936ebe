#pragma once

#include "KeyInput.h"

#include <optional>
#include <string_view>

namespace Tessaline {

// The editing commands of the keys that have one (Return is "insertNewline:", Escape "cancelOperation:",
// the arrows "moveUp:" and so on, with their Shift forms), by which the view handles keys that have no
// text of their own. The names are those the view's command handler knows; a name it does not know is
// logged there and sends nothing.
struct KeyCommands {
    // The command of the key, or nothing for a key that gives text or has no command. Control and Super
    // combinations have none; Alt is ignored.
    static std::optional<std::string_view> forKey(const KeyInput& input);
};

} // namespace Tessaline
