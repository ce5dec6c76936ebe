#pragma once

#include "OptionSet.h"

namespace Tessaline {

// The keyboard enhancements a host program has asked for (CSI > u / CSI = u). Each screen keeps its own
// flags and the key encoder reads those of the active screen for every key.
class KittyKeyboardFlags : public OptionSet<KittyKeyboardFlags, int> {
public:
    using OptionSet::OptionSet;

    static const KittyKeyboardFlags disambiguate;
    static const KittyKeyboardFlags reportEvents;
    static const KittyKeyboardFlags reportAlternates;
    static const KittyKeyboardFlags reportAllKeys;
    static const KittyKeyboardFlags reportText;
    // Every bit above; values from the host are cut to these.
    static const KittyKeyboardFlags knownMask;
};

inline constexpr KittyKeyboardFlags KittyKeyboardFlags::disambiguate(1);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportEvents(2);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAlternates(4);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAllKeys(8);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportText(16);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::knownMask(31);

} // namespace Tessaline
