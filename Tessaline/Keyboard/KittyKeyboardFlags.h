#pragma once

#include <initializer_list>

namespace Tessaline {

// The keyboard enhancements a host program has asked for (CSI > u / CSI = u). Each screen keeps its own
// flags and the key encoder reads those of the active screen for every key.
class KittyKeyboardFlags {
public:
    int rawValue = 0;

    static const KittyKeyboardFlags disambiguate;
    static const KittyKeyboardFlags reportEvents;
    static const KittyKeyboardFlags reportAlternates;
    static const KittyKeyboardFlags reportAllKeys;
    static const KittyKeyboardFlags reportText;
    // Every bit above; values from the host are cut to these.
    static const KittyKeyboardFlags knownMask;

    constexpr KittyKeyboardFlags() = default;
    constexpr explicit KittyKeyboardFlags(int raw)
        : rawValue(raw) {}
    constexpr KittyKeyboardFlags(std::initializer_list<KittyKeyboardFlags> members) {
        for (auto m : members)
            rawValue |= m.rawValue;
    }

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(KittyKeyboardFlags m) const { return (rawValue & m.rawValue) == m.rawValue; }
    constexpr KittyKeyboardFlags unionWith(KittyKeyboardFlags o) const {
        return KittyKeyboardFlags(rawValue | o.rawValue);
    }
    constexpr KittyKeyboardFlags intersection(KittyKeyboardFlags o) const {
        return KittyKeyboardFlags(rawValue & o.rawValue);
    }
    constexpr KittyKeyboardFlags subtracting(KittyKeyboardFlags o) const {
        return KittyKeyboardFlags(rawValue & ~o.rawValue);
    }
    constexpr void insert(KittyKeyboardFlags m) { rawValue |= m.rawValue; }
    constexpr void remove(KittyKeyboardFlags m) { rawValue &= ~m.rawValue; }
    constexpr KittyKeyboardFlags operator|(KittyKeyboardFlags o) const { return unionWith(o); }
    constexpr KittyKeyboardFlags operator&(KittyKeyboardFlags o) const { return intersection(o); }
    constexpr KittyKeyboardFlags& operator|=(KittyKeyboardFlags o) {
        rawValue |= o.rawValue;
        return *this;
    }
    constexpr bool operator==(const KittyKeyboardFlags&) const = default;
};

inline constexpr KittyKeyboardFlags KittyKeyboardFlags::disambiguate(1);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportEvents(2);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAlternates(4);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAllKeys(8);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportText(16);
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::knownMask(31);

} // namespace Tessaline
