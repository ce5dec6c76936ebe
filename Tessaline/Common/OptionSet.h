#pragma once

#include <initializer_list>

namespace Tessaline {

// A set of bit flags held in one integer of type Raw: the cell styles, the keyboard enhancement flags,
// the key modifiers. Self is the set's own type (it names its flags as static constants); every operation
// answers a Self.
template<class Self, class Raw>
class OptionSet {
public:
    Raw rawValue = 0;

    constexpr OptionSet() = default;
    constexpr explicit OptionSet(Raw raw)
        : rawValue(raw) {}
    constexpr OptionSet(std::initializer_list<Self> members) {
        for (const Self& m : members)
            rawValue = Raw(rawValue | m.rawValue);
    }

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(Self m) const { return (rawValue & m.rawValue) == m.rawValue; }
    // Any of the given flags.
    constexpr bool intersects(Self m) const { return (rawValue & m.rawValue) != 0; }
    constexpr bool isSubset(Self of) const { return (rawValue & ~of.rawValue) == 0; }
    constexpr bool isSuperset(Self of) const { return (of.rawValue & ~rawValue) == 0; }

    constexpr Self unionWith(Self o) const { return Self(Raw(rawValue | o.rawValue)); }
    constexpr Self intersection(Self o) const { return Self(Raw(rawValue & o.rawValue)); }
    constexpr Self subtracting(Self o) const { return Self(Raw(rawValue & ~o.rawValue)); }
    constexpr Self symmetricDifference(Self o) const { return Self(Raw(rawValue ^ o.rawValue)); }

    constexpr void insert(Self m) { rawValue = Raw(rawValue | m.rawValue); }
    constexpr void remove(Self m) { rawValue = Raw(rawValue & ~m.rawValue); }
    constexpr void update(Self m) { insert(m); }

    constexpr Self operator|(Self o) const { return unionWith(o); }
    constexpr Self operator&(Self o) const { return intersection(o); }
    constexpr Self operator^(Self o) const { return symmetricDifference(o); }
    constexpr Self& operator|=(Self o) {
        insert(o);
        return static_cast<Self&>(*this);
    }

    constexpr bool operator==(const OptionSet&) const = default;
};

} // namespace Tessaline
