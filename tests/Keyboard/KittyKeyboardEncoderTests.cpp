#include "KittyKeyboardEncoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace Tessaline;

namespace {

using Key = KittyFunctionalKey;
using Mods = KittyKeyboardModifiers;
using Type = KittyKeyboardEventType;
using Flags = KittyKeyboardFlags;

constexpr Flags none{};
constexpr Flags D = Flags::disambiguate;
constexpr Flags E = Flags::reportEvents;
constexpr Flags A = Flags::reportAlternates;
constexpr Flags K = Flags::reportAllKeys;
constexpr Flags T = Flags::reportText;

constexpr Mods shift = Mods::shift;
constexpr Mods alt = Mods::alt;
constexpr Mods ctrl = Mods::ctrl;

constexpr Type press = Type::press;
constexpr Type repeat = Type::repeatPress;
constexpr Type release = Type::release;

// The terminal's cursor-key mode and the view's Backspace option.
struct Modes {
    bool applicationCursor = false;
    bool backspaceSendsControlH = false;
};
constexpr Modes normal{};
constexpr Modes appCursor{true, false};
constexpr Modes controlH{false, true};

KittyKeyEvent text(uint32_t scalar, Mods modifiers = {}, Type type = press,
                   std::optional<std::string> text = std::nullopt) {
    return {
        .key = KittyKey::unicode(scalar), .modifiers = modifiers, .eventType = type, .text = std::move(text)};
}

KittyKeyEvent fn(Key key, Mods modifiers = {}, Type type = press,
                 std::optional<std::string> text = std::nullopt) {
    return {
        .key = KittyKey::functional(key), .modifiers = modifiers, .eventType = type, .text = std::move(text)};
}

KittyKeyEvent noKey(std::string text, Type type = press) {
    return {.key = KittyKey::none(), .eventType = type, .text = std::move(text)};
}

// ESC is written "ESC", other controls as <hh>; no result as "(none)".
std::string show(const std::optional<std::vector<uint8_t>>& bytes) {
    if (!bytes) return "(none)";
    std::string out;
    for (uint8_t b : *bytes) {
        if (b == 0x1B) {
            out += "ESC";
        } else if (b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02x>", b);
            out += hex;
        } else {
            out += char(b);
        }
    }
    return out;
}

struct Case {
    const char* name;
    KittyKeyEvent event;
    Flags flags;
    Modes modes;
    const char* expected;
};

void run(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KittyKeyboardEncoder encoder{c.flags, c.modes.applicationCursor, c.modes.backspaceSendsControlH};
        EXPECT_EQ(show(encoder.encode(c.event)), c.expected);
    }
}

} // namespace

TEST(KittyKeyboardEncoder, Letters) {
    run({
        {"plain a, no flags", text('a', {}, press, "a"), none, normal, "a"},
        {"plain a, disambiguate", text('a', {}, press, "a"), D, normal, "a"},
        {"shift+a types its text", text('a', shift, press, "A"), D, normal, "A"},
        {"caps lock a types its text", text('a', Mods::capsLock, press, "A"), D, normal, "A"},
        {"ctrl+a, disambiguate", text('a', ctrl), D, normal, "ESC[97;5u"},
        {"ctrl+a with its control text, disambiguate", text('a', ctrl, press, "\x01"), D, normal,
         "ESC[97;5u"},
        {"alt+a, disambiguate", text('a', alt), D, normal, "ESC[97;3u"},
        {"ctrl+shift+a, disambiguate", text('a', shift | ctrl), D, normal, "ESC[97;6u"},
        {"ctrl+a, legacy", text('a', ctrl), E, normal, "<01>"},
        {"ctrl+a with control text, legacy", text('a', ctrl, press, "\x01"), E, normal, "<01>"},
        {"alt+a, legacy", text('a', alt), E, normal, "ESCa"},
        {"ctrl+alt+a, legacy", text('a', alt | ctrl), E, normal, "ESC<01>"},
        {"alt+shift+a sends the shifted key, legacy",
         {.key = KittyKey::unicode('a'), .modifiers = alt | shift, .shiftedKey = 'A'},
         E,
         normal,
         "ESCA"},
        {"ctrl+shift+a has no legacy form", text('a', shift | ctrl), E, normal, "ESC[97;6u"},
        {"super+a has no legacy form", text('a', Mods::super), E, normal, "ESC[97;9u"},
        {"ctrl with an unmapped letter sends the letter", text(U'é', ctrl), E, normal, "\xc3\xa9"},
        {"a, all keys", text('a', {}, press, "a"), K, normal, "ESC[97u"},
        {"a with no text, all keys", text('a'), K, normal, "ESC[97u"},
        {"caps lock a, all keys", text('a', Mods::capsLock, press, "A"), K, normal, "ESC[97;65u"},
        {"ctrl+alt+super+hyper+meta+a, all keys", text('a', Mods(62)), K, normal, "ESC[97;63u"},
    });
}

TEST(KittyKeyboardEncoder, EscapeEnterTabBackspace) {
    run({
        {"escape, disambiguate", fn(Key::escape), D, normal, "ESC[27u"},
        {"shift+escape, disambiguate", fn(Key::escape, shift), D, normal, "ESC[27;2u"},
        {"escape, legacy", fn(Key::escape), E, normal, "ESC"},
        {"alt+escape, legacy", fn(Key::escape, alt), E, normal, "ESCESC"},
        {"escape with its text, all keys and text", fn(Key::escape, {}, press, "\x1b"), K | T, normal,
         "ESC[27u"},

        {"enter, disambiguate", fn(Key::enter), D, normal, "<0d>"},
        {"enter with its CR text, disambiguate", fn(Key::enter, {}, press, "\r"), D, normal, "<0d>"},
        {"shift+enter, disambiguate", fn(Key::enter, shift), D, normal, "ESC[13;2u"},
        {"alt+enter, disambiguate", fn(Key::enter, alt), D, normal, "ESC[13;3u"},
        {"alt+enter, legacy", fn(Key::enter, alt), E, normal, "ESC<0d>"},
        {"enter, all keys", fn(Key::enter), K, normal, "ESC[13u"},
        {"enter's CR is no associated text", fn(Key::enter, {}, press, "\r"), K | T, normal, "ESC[13u"},
        {"enter with printable text sends the text", fn(Key::enter, {}, press, "x"), K, normal, "x"},

        {"tab, disambiguate", fn(Key::tab), D, normal, "<09>"},
        {"shift+tab, disambiguate", fn(Key::tab, shift), D, normal, "ESC[9;2u"},
        {"shift+tab, legacy", fn(Key::tab, shift), E, normal, "ESC[Z"},
        {"tab, all keys", fn(Key::tab), K, normal, "ESC[9u"},

        {"backspace, disambiguate", fn(Key::backspace), D, normal, "<7f>"},
        {"backspace sending ^H, disambiguate", fn(Key::backspace), D, controlH, "<08>"},
        {"backspace, legacy", fn(Key::backspace), E, normal, "<7f>"},
        {"backspace sending ^H, legacy", fn(Key::backspace), E, controlH, "<08>"},
        {"ctrl+backspace, legacy", fn(Key::backspace, ctrl), E, normal, "<08>"},
        {"alt+backspace, legacy", fn(Key::backspace, alt), E, normal, "ESC<7f>"},
        {"ctrl+backspace, disambiguate", fn(Key::backspace, ctrl), D, normal, "ESC[127;5u"},
        {"backspace, all keys", fn(Key::backspace), K, normal, "ESC[127u"},
        {"backspace sending ^H, all keys", fn(Key::backspace), K, controlH, "ESC[127u"},
        {"backspace with DEL text", fn(Key::backspace, {}, press, "\x7f"), D, normal, "<7f>"},
        {"backspace with printable text is dropped", fn(Key::backspace, {}, press, "x"), D, normal, "(none)"},
    });
}

TEST(KittyKeyboardEncoder, CursorKeys) {
    run({
        {"up, disambiguate", fn(Key::up), D, normal, "ESC[A"},
        {"up, disambiguate, application cursor", fn(Key::up), D, appCursor, "ESC[A"},
        {"ctrl+up, disambiguate", fn(Key::up, ctrl), D, normal, "ESC[1;5A"},
        {"ctrl+up, disambiguate, application cursor", fn(Key::up, ctrl), D, appCursor, "ESC[1;5A"},
        {"up, legacy", fn(Key::up), E, normal, "ESC[A"},
        {"up, legacy, application cursor", fn(Key::up), E, appCursor, "ESCOA"},
        {"down, legacy, application cursor", fn(Key::down), E, appCursor, "ESCOB"},
        {"right, legacy, application cursor", fn(Key::right), E, appCursor, "ESCOC"},
        {"left, legacy, application cursor", fn(Key::left), E, appCursor, "ESCOD"},
        {"home, legacy", fn(Key::home), E, normal, "ESC[H"},
        {"home, legacy, application cursor", fn(Key::home), E, appCursor, "ESCOH"},
        {"end, legacy", fn(Key::end), E, normal, "ESC[F"},
        {"end, legacy, application cursor", fn(Key::end), E, appCursor, "ESCOF"},
        {"shift+right, legacy", fn(Key::right, shift), E, appCursor, "ESC[1;2C"},
        {"left, all keys, application cursor", fn(Key::left), K, appCursor, "ESC[D"},
        {"alt+left, all keys", fn(Key::left, alt), K, normal, "ESC[1;3D"},
        {"page up", fn(Key::pageUp), E, appCursor, "ESC[5~"},
        {"shift+page down", fn(Key::pageDown, shift), D, normal, "ESC[6;2~"},
        {"insert", fn(Key::insert), D, normal, "ESC[2~"},
        {"delete", fn(Key::delete_), E, normal, "ESC[3~"},
        {"ctrl+delete", fn(Key::delete_, ctrl), K, normal, "ESC[3;5~"},
    });
}

TEST(KittyKeyboardEncoder, FunctionKeys) {
    run({
        {"F1, disambiguate", fn(Key::f1), D, normal, "ESC[P"},
        {"F2, disambiguate", fn(Key::f2), D, normal, "ESC[Q"},
        {"F3, disambiguate", fn(Key::f3), D, normal, "ESC[13~"},
        {"F4, disambiguate", fn(Key::f4), D, normal, "ESC[S"},
        {"F5, disambiguate", fn(Key::f5), D, normal, "ESC[15~"},
        {"F6, disambiguate", fn(Key::f6), D, normal, "ESC[17~"},
        {"F7, disambiguate", fn(Key::f7), D, normal, "ESC[18~"},
        {"F8, disambiguate", fn(Key::f8), D, normal, "ESC[19~"},
        {"F9, disambiguate", fn(Key::f9), D, normal, "ESC[20~"},
        {"F10, disambiguate", fn(Key::f10), D, normal, "ESC[21~"},
        {"F11, disambiguate", fn(Key::f11), D, normal, "ESC[23~"},
        {"F12, disambiguate", fn(Key::f12), D, normal, "ESC[24~"},
        {"F13, disambiguate", fn(Key::f13), D, normal, "ESC[57376u"},
        {"F1, legacy", fn(Key::f1), E, normal, "ESCOP"},
        {"F2, legacy, application cursor", fn(Key::f2), E, appCursor, "ESCOQ"},
        {"F3, legacy", fn(Key::f3), E, normal, "ESC[13~"},
        {"F4, legacy", fn(Key::f4), E, normal, "ESCOS"},
        {"F12, legacy", fn(Key::f12), E, normal, "ESC[24~"},
        {"shift+F1", fn(Key::f1, shift), D, normal, "ESC[1;2P"},
        {"ctrl+F5", fn(Key::f5, ctrl), E, normal, "ESC[15;5~"},
        {"alt+F13", fn(Key::f13, alt), D, normal, "ESC[57376;3u"},
    });
}

TEST(KittyKeyboardEncoder, Keypad) {
    run({
        {"keypad 5 with its text, disambiguate", fn(Key::keypad5, {}, press, "5"), D, normal, "ESC[57404u"},
        {"keypad 5 with its text, legacy", fn(Key::keypad5, {}, press, "5"), E, normal, "ESC[57404u"},
        {"keypad enter", fn(Key::keypadEnter), D, normal, "ESC[57414u"},
        {"keypad enter, legacy", fn(Key::keypadEnter), E, normal, "ESC[57414u"},
        {"keypad 5, all keys and text", fn(Key::keypad5, {}, press, "5"), K | T, normal, "ESC[57404;;53u"},
        {"num lock keypad 5, all keys and text", fn(Key::keypad5, Mods::numLock, press, "5"), K | T, normal,
         "ESC[57404;129;53u"},
        {"ctrl+keypad plus drops its text", fn(Key::keypadAdd, ctrl, press, "+"), K | T, normal,
         "ESC[57413;5u"},
        {"keypad 5 text needs report text", fn(Key::keypad5, {}, press, "5"), K, normal, "ESC[57404u"},
        {"keypad left", fn(Key::keypadLeft), D, appCursor, "ESC[57417u"},
        {"keypad begin", fn(Key::keypadBegin, shift), D, normal, "ESC[57427;2u"},
    });
}

TEST(KittyKeyboardEncoder, ModifierKeys) {
    run({
        {"left shift, all keys", fn(Key::leftShift, shift), K, normal, "ESC[57441;2u"},
        {"left control, all keys", fn(Key::leftControl, ctrl), K, normal, "ESC[57442;5u"},
        {"right alt, all keys", fn(Key::rightAlt, alt), K, normal, "ESC[57449;3u"},
        {"left super, all keys", fn(Key::leftSuper, Mods::super), K, normal, "ESC[57444;9u"},
        {"left shift release, all keys and events", fn(Key::leftShift, {}, release), K | E, normal,
         "ESC[57441;1:3u"},
        {"left shift release without events", fn(Key::leftShift, {}, release), K, normal, "(none)"},
        {"left shift, disambiguate", fn(Key::leftShift, shift), D, normal, "(none)"},
        {"left shift, events", fn(Key::leftShift, shift), E | A | T, normal, "(none)"},
        {"caps lock is no modifier key", fn(Key::capsLock, Mods::capsLock), D, normal, "ESC[57358;65u"},
        {"num lock is no modifier key", fn(Key::numLock), E, normal, "ESC[57360u"},
    });
}

TEST(KittyKeyboardEncoder, Composing) {
    auto composing = [](KittyKeyEvent e) {
        e.composing = true;
        return e;
    };
    run({
        {"modifier key while composing, all keys", composing(fn(Key::leftShift, shift)), K, normal,
         "ESC[57441;2u"},
        {"text key while composing, all keys", composing(text('a', {}, press, "a")), K, normal, "(none)"},
        {"enter while composing", composing(fn(Key::enter)), D, normal, "(none)"},
        {"escape while composing", composing(fn(Key::escape)), K, normal, "(none)"},
        {"committed text while composing", composing(noKey("x")), D, normal, "(none)"},
    });
}

TEST(KittyKeyboardEncoder, ReleaseAndRepeat) {
    run({
        {"release without events", text('a', {}, release), D, normal, "(none)"},
        {"release of up, events", fn(Key::up, {}, release), E, normal, "ESC[1;1:3A"},
        {"release of up, events, application cursor", fn(Key::up, {}, release), E, appCursor, "ESC[1;1:3A"},
        {"repeat of up, events", fn(Key::up, {}, repeat), E, normal, "ESC[1;1:2A"},
        {"release of ctrl+up", fn(Key::up, ctrl, release), D | E, normal, "ESC[1;5:3A"},
        {"repeated F5, events", fn(Key::f5, {}, repeat), E, normal, "ESC[15;1:2~"},
        {"release of delete", fn(Key::delete_, {}, release), E, normal, "ESC[3;1:3~"},
        {"release of F1, all keys", fn(Key::f1, {}, release), K | E, normal, "ESC[1;1:3P"},
        {"repeat of F13", fn(Key::f13, {}, repeat), D | E, normal, "ESC[57376;1:2u"},
        {"press never writes :1", text('a'), K | E, normal, "ESC[97u"},
        {"repeat of a, all keys", text('a', {}, repeat, "a"), K | E, normal, "ESC[97;1:2u"},
        {"repeat of a types again", text('a', {}, repeat, "a"), D | E, normal, "a"},
        {"release of a with text, events", text('a', {}, release, "a"), D | E, normal, "(none)"},
        {"release of a without text, events", text('a', {}, release), E, normal, "ESC[97;1:3u"},
        {"release of shift+a, all keys", text('a', shift, release), K | E, normal, "ESC[97;2:3u"},
        {"release carries no text", text('a', {}, release, "a"), K | E | T, normal, "ESC[97;1:3u"},
        {"release of enter, events", fn(Key::enter, {}, release), D | E, normal, "(none)"},
        {"release of tab, events", fn(Key::tab, {}, release), E, normal, "(none)"},
        {"release of backspace, events", fn(Key::backspace, {}, release), D | E, normal, "(none)"},
        {"release of enter, all keys", fn(Key::enter, {}, release), K | E, normal, "ESC[13;1:3u"},
        {"release of tab, all keys", fn(Key::tab, {}, release), K | E, normal, "ESC[9;1:3u"},
        {"release of escape, disambiguate", fn(Key::escape, {}, release), D | E, normal, "ESC[27;1:3u"},
        {"legacy escape reports presses only", fn(Key::escape, {}, release), E, normal, "(none)"},
        {"legacy backspace reports presses only", fn(Key::backspace, {}, repeat), E, normal, "(none)"},
        {"event types need report events", fn(Key::f5, {}, repeat), D, normal, "ESC[15~"},
    });
}

TEST(KittyKeyboardEncoder, AlternateKeys) {
    KittyKeyEvent shiftA{.key = KittyKey::unicode('a'), .modifiers = shift, .text = "A", .shiftedKey = 'A'};
    KittyKeyEvent cyrillicShort{.key = KittyKey::unicode(0x439), .text = "\xd0\xb9", .baseLayoutKey = 'q'};
    KittyKeyEvent cyrillicShifted{.key = KittyKey::unicode(0x444),
                                  .modifiers = shift,
                                  .text = "\xd0\xa4",
                                  .shiftedKey = 0x424,
                                  .baseLayoutKey = 'a'};
    KittyKeyEvent shiftedKeyWithoutShift{.key = KittyKey::unicode('a'), .text = "a", .shiftedKey = 'A'};
    KittyKeyEvent ctrlShiftA{.key = KittyKey::unicode('a'), .modifiers = shift | ctrl, .shiftedKey = 'A'};
    run({
        {"shift+a, alternates and all keys", shiftA, K | A, normal, "ESC[97:65;2u"},
        {"shift+a, alternates and disambiguate", shiftA, D | A, normal, "ESC[97:65;2u"},
        {"shift+a, alternates alone keeps the legacy text", shiftA, A, normal, "A"},
        {"shift+a without alternates", shiftA, K, normal, "ESC[97;2u"},
        {"shift+a, alternates, all keys and text", shiftA, K | A | T, normal, "ESC[97:65;2;65u"},
        {"base layout key", cyrillicShort, D | A, normal, "ESC[1081::113u"},
        {"base layout key without alternates types its text", cyrillicShort, D, normal, "\xd0\xb9"},
        {"shifted and base layout keys", cyrillicShifted, K | A, normal, "ESC[1092:1060:97;2u"},
        {"shifted key needs shift held", shiftedKeyWithoutShift, K | A, normal, "ESC[97u"},
        {"ctrl+shift+a, alternates", ctrlShiftA, D | A, normal, "ESC[97:65;6u"},
        {"alternates on a functional key",
         {.key = KittyKey::functional(Key::keypad1), .text = "1", .baseLayoutKey = '1'},
         K | A,
         normal,
         "ESC[57400::49u"},
    });
}

TEST(KittyKeyboardEncoder, AssociatedText) {
    run({
        {"a, all keys and text", text('a', {}, press, "a"), K | T, normal, "ESC[97;;97u"},
        {"shift+a, all keys and text", text('a', shift, press, "A"), K | T, normal, "ESC[97;2;65u"},
        {"caps lock keeps the text", text('a', Mods::capsLock, press, "A"), K | T, normal, "ESC[97;65;65u"},
        {"several code points", text('a', {}, press, "ab"), K | T, normal, "ESC[97;;97:98u"},
        {"non-ASCII text", text(0xE9, {}, press, "\xc3\xa9"), K | T, normal, "ESC[233;;233u"},
        {"ctrl drops the text", text('a', ctrl, press, "a"), K | T, normal, "ESC[97;5u"},
        {"alt drops the text", text('a', alt, press, "a"), K | T, normal, "ESC[97;3u"},
        {"super drops the text", text('a', Mods::super, press, "a"), K | T, normal, "ESC[97;9u"},
        {"hyper drops the text", text('a', Mods::hyper, press, "a"), K | T, normal, "ESC[97;17u"},
        {"meta drops the text", text('a', Mods::meta, press, "a"), K | T, normal, "ESC[97;33u"},
        {"control-only text gives no field", text('a', {}, press, "\x01"), K | T, normal, "ESC[97u"},
        {"C1 controls and DEL are dropped",
         text('a', {}, press,
              "a\xc2\x85\x7f"
              "b"),
         K | T, normal, "ESC[97;;97:98u"},
        {"ill-formed UTF-8 counts as U+FFFD", text('a', {}, press, "\xff"), K | T, normal, "ESC[97;;65533u"},
        {"text needs all keys", text('a', {}, press, "a"), D | T, normal, "a"},
        {"empty text goes the all-keys road", text('a', {}, press, ""), K | T, normal, "ESC[97u"},
    });
}

TEST(KittyKeyboardEncoder, TextWithoutKey) {
    run({
        {"committed text, disambiguate", noKey("\xc3\xa9"), D, normal, "\xc3\xa9"},
        {"committed text, no flags", noKey("ab"), none, normal, "ab"},
        {"committed text, alternates", noKey("x"), D | A, normal, "x"},
        {"committed text, all keys", noKey("ab"), K, normal, "ESC[0u"},
        {"committed text, all keys and text", noKey("ab"), K | T, normal, "ESC[0;;97:98u"},
        {"committed control text, all keys and text", noKey("\x01"), K | T, normal, "ESC[0u"},
        {"committed text release", noKey("x", release), E, normal, "(none)"},
    });
}

TEST(KittyKeyboardEncoder, LegacyControlMapIsComplete) {
    struct Entry {
        uint32_t character;
        uint8_t byte;
    };
    std::vector<Entry> map = {
        {' ', 0x00}, {'@', 0x00}, {'/', 0x1F}, {'[', 0x1B}, {'0', 0x30}, {'\\', 0x1C}, {'1', 0x31},
        {']', 0x1D}, {'2', 0x00}, {'^', 0x1E}, {'3', 0x1B}, {'_', 0x1F}, {'4', 0x1C},  {'~', 0x1E},
        {'5', 0x1D}, {'?', 0x7F}, {'6', 0x1E}, {'8', 0x7F}, {'7', 0x1F}, {'9', 0x39},
    };
    for (uint32_t c = 'a'; c <= 'z'; ++c)
        map.push_back({c, uint8_t(c - 'a' + 1)});
    // Looked up lower-cased first.
    for (uint32_t c = 'A'; c <= 'Z'; ++c)
        map.push_back({c, uint8_t(c - 'A' + 1)});
    map.push_back({0x212A, 0x0B}); // KELVIN SIGN lower-cases to "k"

    const KittyKeyboardEncoder legacy{E};
    for (const Entry& e : map) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << e.character);
        auto bytes = legacy.encode(text(e.character, ctrl));
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, std::vector<uint8_t>{e.byte});
        // Alt puts ESC in front.
        EXPECT_EQ(legacy.encode(text(e.character, alt | ctrl)), (std::vector<uint8_t>{0x1B, e.byte}));
    }

    // Characters outside the map are sent as they are.
    run({
        {"ctrl+!", text('!', ctrl), E, normal, "!"},
        {"ctrl+=", text('=', ctrl), E, normal, "="},
        {"ctrl+. with its text", text('.', ctrl, press, "."), none, normal, "."},
        {"ctrl+{ ", text('{', ctrl), E, normal, "{"},
        {"a surrogate has no legacy form", text(0xD800, ctrl), E, normal, "ESC[55296;5u"},
        {"beyond Unicode has no legacy form", text(0x110000, ctrl), E, normal, "ESC[1114112;5u"},
    });
}

// Every functional key under all keys, plain and with ctrl+shift, from the rows of the protocol's key table.
TEST(KittyKeyboardEncoder, FunctionalKeyTableIsComplete) {
    enum Form {
        letter,
        tilde,
        u
    };
    struct Row {
        Key first;
        std::vector<unsigned> numbers; // one per key from `first` on; a single start number for a u run
        Form form;
        int count;
    };
    const std::vector<Row> rows = {
        {Key::escape, {27, 13, 9, 127}, u, 4},
        {Key::insert, {2, 3}, tilde, 2},
        {Key::up, {'A', 'B', 'D', 'C', 'H', 'F'}, letter, 6},
        {Key::pageUp, {5, 6}, tilde, 2},
        {Key::f1, {'P', 'Q'}, letter, 2},
        {Key::f3, {13}, tilde, 1},
        {Key::f4, {'S'}, letter, 1},
        {Key::f5, {15, 17, 18, 19, 20, 21, 23, 24}, tilde, 8},
        {Key::f13, {57376}, u, 23},
        {Key::menu, {57363}, u, 1},
        {Key::capsLock, {57358}, u, 5},
        {Key::keypad0, {57399}, u, 10},
        {Key::keypadDecimal, {57409}, u, 19},
        {Key::mediaPlay, {57428}, u, 10},
        {Key::volumeDown, {57438}, u, 3},
        {Key::leftShift, {57441}, u, 12},
        {Key::isoLevel3Shift, {57453}, u, 2},
    };

    int covered = 0;
    const KittyKeyboardEncoder allKeys{K};
    for (const Row& row : rows) {
        for (int i = 0; i < row.count; ++i) {
            const Key key = Key(int(row.first) + i);
            const unsigned number =
                row.numbers.size() == 1 ? row.numbers[0] + unsigned(i) : row.numbers[size_t(i)];
            std::string plain, modified;
            switch (row.form) {
            case letter:
                plain = "ESC[" + std::string(1, char(number));
                modified = "ESC[1;6" + std::string(1, char(number));
                break;
            case tilde:
                plain = "ESC[" + std::to_string(number) + "~";
                modified = "ESC[" + std::to_string(number) + ";6~";
                break;
            case u:
                plain = "ESC[" + std::to_string(number) + "u";
                modified = "ESC[" + std::to_string(number) + ";6u";
                break;
            }
            SCOPED_TRACE(testing::Message() << "key index " << int(key) << ", expecting " << plain);
            EXPECT_EQ(show(allKeys.encode(fn(key))), plain);
            EXPECT_EQ(show(allKeys.encode(fn(key, shift | ctrl))), modified);
            ++covered;
        }
    }
    EXPECT_EQ(covered, kittyFunctionalKeyCount);
}

TEST(KittyKeyboardEncoder, EventTypeFromRawValue) {
    EXPECT_EQ(kittyKeyboardEventType(0), std::nullopt);
    EXPECT_EQ(kittyKeyboardEventType(1), Type::press);
    EXPECT_EQ(kittyKeyboardEventType(2), Type::repeatPress);
    EXPECT_EQ(kittyKeyboardEventType(3), Type::release);
    EXPECT_EQ(kittyKeyboardEventType(4), std::nullopt);
}

TEST(KittyKeyboardFlags, OptionSet) {
    EXPECT_EQ(Flags::knownMask, (Flags{D, E, A, K, T}));
    EXPECT_EQ(Flags(0x7F) & Flags::knownMask, Flags(31));
    Flags f = D | T;
    EXPECT_TRUE(f.contains(T));
    EXPECT_FALSE(f.contains(D | E));
    f.remove(D);
    f.insert(K);
    EXPECT_EQ(f.rawValue, 24);
    EXPECT_EQ(f.subtracting(T), K);
    EXPECT_TRUE(Flags().isEmpty());
}
