#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace Tessaline {

// What a terminal sends to its program for the keys that have no printable text. Which cursor-key form
// goes out is the caller's choice: the App forms (ESC O) while the terminal's application-cursor mode is
// on, the Normal forms (ESC [) otherwise.
struct EscapeSequences {
    using Bytes = std::vector<uint8_t>;

    static inline const Bytes cmdNewLine{0x0A};
    static inline const Bytes cmdRet{0x0D};
    static inline const Bytes cmdEsc{0x1B};
    static inline const Bytes cmdDel{0x7F};
    static inline const Bytes cmdDelKey{0x1B, '[', '3', '~'};
    static inline const Bytes moveUpNormal{0x1B, '[', 'A'};
    static inline const Bytes moveDownNormal{0x1B, '[', 'B'};
    static inline const Bytes moveRightNormal{0x1B, '[', 'C'};
    static inline const Bytes moveLeftNormal{0x1B, '[', 'D'};
    static inline const Bytes moveHomeNormal{0x1B, '[', 'H'};
    static inline const Bytes moveEndNormal{0x1B, '[', 'F'};
    static inline const Bytes moveUpApp{0x1B, 'O', 'A'};
    static inline const Bytes moveDownApp{0x1B, 'O', 'B'};
    static inline const Bytes moveRightApp{0x1B, 'O', 'C'};
    static inline const Bytes moveLeftApp{0x1B, 'O', 'D'};
    static inline const Bytes moveHomeApp{0x1B, 'O', 'H'};
    static inline const Bytes moveEndApp{0x1B, 'O', 'F'};
    static inline const Bytes cmdTab{0x09};
    static inline const Bytes cmdBackTab{0x1B, '[', 'Z'};
    static inline const Bytes cmdPageUp{0x1B, '[', '5', '~'};
    static inline const Bytes cmdPageDown{0x1B, '[', '6', '~'};
    static inline const Bytes cmdInsert{0x1B, '[', '2', '~'};
    static inline const Bytes emacsBack{0x1B, 'b'};
    static inline const Bytes emacsForward{0x1B, 'f'};
    static inline const Bytes controlLeft{0x1B, '[', '1', ';', '5', 'D'};
    static inline const Bytes controlRight{0x1B, '[', '1', ';', '5', 'C'};
    // Sent around pasted text while bracketed paste is on; a host may change them.
    static inline Bytes bracketedPasteStart{0x1B, '[', '2', '0', '0', '~'};
    static inline Bytes bracketedPasteEnd{0x1B, '[', '2', '0', '1', '~'};
    // F1 to F12 (index 0 is F1). The numbers skip 16 and 22; F1 to F4 use the ESC O forms.
    static inline const std::array<Bytes, 12> cmdF{{
        {0x1B, 'O', 'P'},
        {0x1B, 'O', 'Q'},
        {0x1B, 'O', 'R'},
        {0x1B, 'O', 'S'},
        {0x1B, '[', '1', '5', '~'},
        {0x1B, '[', '1', '7', '~'},
        {0x1B, '[', '1', '8', '~'},
        {0x1B, '[', '1', '9', '~'},
        {0x1B, '[', '2', '0', '~'},
        {0x1B, '[', '2', '1', '~'},
        {0x1B, '[', '2', '3', '~'},
        {0x1B, '[', '2', '4', '~'},
    }};
};

// The control introducers of the terminal's replies: 7-bit (ESC [, ESC P, ESC ], ending with ESC \) unless
// the program chose 8-bit controls (S8C1T, DECSCL), then the single bytes 0x9B, 0x90, 0x9D and 0x9C.
struct CC {
    bool send8bit = false;

    std::string_view csi() const { return send8bit ? "\x9b" : "\x1b["; }
    std::string_view dcs() const { return send8bit ? "\x90" : "\x1bP"; }
    std::string_view osc() const { return send8bit ? "\x9d" : "\x1b]"; }
    std::string_view st() const { return send8bit ? "\x9c" : "\x1b\\"; }

    bool operator==(const CC&) const = default;
};

// The key under which the views that draw the terminal put the selection background of attributed rows.
inline constexpr std::string_view selectionBackgroundColorKey = "Tessaline_selectionBackgroundColor";

} // namespace Tessaline
