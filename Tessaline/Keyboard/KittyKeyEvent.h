#pragma once

#include "KittyFunctionalKey.h"
#include "OptionSet.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

namespace Tessaline {

// The modifiers held with a key. On the wire a modifier field is the raw value plus 1.
class KittyKeyboardModifiers : public OptionSet<KittyKeyboardModifiers, uint8_t> {
public:
    using OptionSet::OptionSet;

    static const KittyKeyboardModifiers shift;
    static const KittyKeyboardModifiers alt;
    static const KittyKeyboardModifiers ctrl;
    static const KittyKeyboardModifiers super;
    static const KittyKeyboardModifiers hyper;
    static const KittyKeyboardModifiers meta;
    static const KittyKeyboardModifiers capsLock;
    static const KittyKeyboardModifiers numLock;
};

inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::shift(1);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::alt(2);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::ctrl(4);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::super(8);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::hyper(16);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::meta(32);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::capsLock(64);
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::numLock(128);

// The raw values are the wire values of the event-type field.
enum class KittyKeyboardEventType : uint8_t {
    press = 1,
    repeatPress = 2,
    release = 3,
};

// Accepts the wire values 1 to 3 only.
constexpr std::optional<KittyKeyboardEventType> kittyKeyboardEventType(int rawValue) {
    if (rawValue < 1 || rawValue > 3) return std::nullopt;
    return KittyKeyboardEventType(rawValue);
}

// What was pressed: a text key by its Unicode scalar, a functional key, or no key at all (text that
// arrives without one, such as a committed input-method composition).
class KittyKey {
public:
    enum class Kind : uint8_t {
        unicode,
        functional,
        none,
    };

    constexpr KittyKey() = default;
    static constexpr KittyKey unicode(uint32_t scalar) { return KittyKey(Kind::unicode, scalar, {}); }
    static constexpr KittyKey functional(KittyFunctionalKey key) {
        return KittyKey(Kind::functional, 0, key);
    }
    static constexpr KittyKey none() { return KittyKey(); }

    constexpr Kind kind() const { return _kind; }
    constexpr bool isUnicode() const { return _kind == Kind::unicode; }
    constexpr bool isFunctional() const { return _kind == Kind::functional; }
    constexpr bool isNone() const { return _kind == Kind::none; }
    // The scalar of a text key; 0 for the other kinds.
    constexpr uint32_t scalar() const { return _scalar; }
    // The functional key, when this is one.
    constexpr std::optional<KittyFunctionalKey> functionalKey() const {
        if (_kind != Kind::functional) return std::nullopt;
        return _functional;
    }
    constexpr bool is(KittyFunctionalKey key) const {
        return _kind == Kind::functional && _functional == key;
    }

    constexpr bool operator==(const KittyKey&) const = default;

private:
    constexpr KittyKey(Kind kind, uint32_t scalar, KittyFunctionalKey functional)
        : _kind(kind)
        , _scalar(scalar)
        , _functional(functional) {}

    Kind _kind = Kind::none;
    uint32_t _scalar = 0;
    KittyFunctionalKey _functional = KittyFunctionalKey::escape;
};

// One key event as the view hands it to the encoder.
struct KittyKeyEvent {
    KittyKey key{};
    KittyKeyboardModifiers modifiers{};
    KittyKeyboardEventType eventType = KittyKeyboardEventType::press;
    // The text the key produces, in UTF-8.
    std::optional<std::string> text{};
    std::optional<uint32_t> shiftedKey{};
    std::optional<uint32_t> baseLayoutKey{};
    // An input-method composition is in progress.
    bool composing = false;

    bool operator==(const KittyKeyEvent&) const = default;
};

} // namespace Tessaline
