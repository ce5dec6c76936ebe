#pragma once

#include "KittyKeyEvent.h"
#include "KittyKeyboardFlags.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// Turns one key event into the bytes of the progressive keyboard protocol, as the host's enhancement
// flags ask. A pure value: the view makes one per event from the active screen's flags, the terminal's
// cursor-key mode and its own Backspace option.
struct KittyKeyboardEncoder {
    KittyKeyboardFlags flags;
    // The terminal's application cursor-key mode (DECCKM).
    bool applicationCursor = false;
    bool backspaceSendsControlH = false;

    // The bytes to send, or nothing when the flags do not ask for this event to be reported; the caller
    // then hands the key on to its other input roads. An empty list is a result too, not a refusal.
    std::optional<std::vector<uint8_t>> encode(const KittyKeyEvent& event) const;

private:
    using Bytes = std::vector<uint8_t>;

    // How a functional key is sent as an escape sequence: CSI letter (with "1;m" before the letter when
    // modified), CSI number ~, or CSI number u.
    enum class Form : uint8_t {
        letter = 0,
        tilde = 1,
        u = 2,
    };
    struct FunctionalEncoding {
        // The final byte for the letter form, else the key number. 0 for Escape, Enter, Tab and Backspace,
        // whose numbers come from their legacy bytes.
        uint64_t number;
        Form form;
    };

    static FunctionalEncoding functionalEncoding(KittyFunctionalKey key);
    // The byte Control plus a text key sends outside the enhanced forms, if it has one.
    static std::optional<uint8_t> legacyControlMapping(uint32_t scalar);

    // The event-type field is written only when the host asked for event types and this is no press.
    bool wantsEventType(const KittyKeyEvent& event) const;

    std::optional<Bytes> encodeAllKeys(const KittyKeyEvent& event, bool includeText) const;
    std::optional<Bytes> encodeNonText(const KittyKeyEvent& event, bool disambiguate) const;
    // CSI code [: shifted [: base]] [; m [: e]] [; text] u.
    Bytes encodeCsiU(const KittyKeyEvent& event, uint32_t keyCode, bool includeText) const;
    // CSI number [; m [: e]] terminator.
    static Bytes buildCsiWithModifier(uint64_t number, KittyKeyboardModifiers modifiers,
                                      std::optional<KittyKeyboardEventType> eventType,
                                      std::string_view terminator);
    // As above with a one-byte terminator; omitDefaultNumber drops the number when nothing follows it.
    static Bytes buildCsiWithModifier(uint64_t number, KittyKeyboardModifiers modifiers,
                                      std::optional<KittyKeyboardEventType> eventType, char terminator,
                                      bool omitDefaultNumber);
    std::optional<Bytes> legacySpecialKeySequence(KittyFunctionalKey key, KittyKeyboardModifiers modifiers,
                                                  KittyKeyboardEventType eventType) const;
    static std::optional<Bytes> legacyTextKeySequence(const KittyKeyEvent& event);
    // The text's scalars without C0 and C1 controls and DEL; nothing when none remain.
    static std::optional<std::vector<uint32_t>> textCodepoints(const std::optional<std::string>& text);
    static bool containsControlScalars(const std::string& text);
};

} // namespace Tessaline
