#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace Tessaline {

// The states of the VT500-family machine; the raw value is the row of the transition table.
enum class ParserState : uint8_t {
    ground,
    escape,
    escapeIntermediate,
    csiEntry,
    csiParam,
    csiIntermediate,
    csiIgnore,
    sosPmApcString,
    oscString,
    apcString,
    dcsEntry,
    dcsParam,
    dcsIgnore,
    dcsIntermediate,
    dcsPassthrough,
};

enum class ParserAction : uint8_t {
    ignore,
    error,
    print,
    execute,
    oscStart,
    oscPut,
    oscEnd,
    csiDispatch,
    param,
    collect,
    escDispatch,
    clear,
    dcsHook,
    dcsPut,
    dcsUnhook,
};

std::string_view name(ParserState state);
std::string_view name(ParserAction action);

// A list of bytes for building the table: a range, a few single bytes, or both.
struct ByteList {
    std::array<uint8_t, 256> bytes{};
    int count = 0;

    constexpr ByteList() = default;
    constexpr ByteList(std::initializer_list<int> list) {
        for (int b : list)
            bytes[size_t(count++)] = uint8_t(b);
    }
    constexpr ByteList& operator+=(const ByteList& other) {
        for (int k = 0; k < other.count; ++k)
            bytes[size_t(count++)] = other.bytes[size_t(k)];
        return *this;
    }
    friend constexpr ByteList operator+(ByteList a, const ByteList& b) { return a += b; }
};

// One byte per (state, byte class): the action in the upper four bits, the next state in the lower four.
// The class of a byte is the byte itself up to 0x9F; every byte from 0xA0 up shares class 0xA0, so no
// index passes 14 * 256 + 160.
class TransitionTable {
public:
    static constexpr int size = 4095;
    std::array<uint8_t, size> table{};

    static constexpr uint8_t byteClass(uint8_t b) { return b < 0xA0 ? b : 0xA0; }
    static constexpr int index(ParserState state, uint8_t b) { return int(state) * 256 + byteClass(b); }
    static constexpr uint8_t pack(ParserAction action, ParserState next) {
        return uint8_t(uint8_t(action) << 4 | uint8_t(next));
    }

    constexpr void add(uint8_t code, ParserState state, ParserAction action, ParserState next) {
        table[size_t(int(state) * 256 + code)] = pack(action, next);
    }
    constexpr void add(const ByteList& codes, ParserState state, ParserAction action, ParserState next) {
        for (int k = 0; k < codes.count; ++k)
            add(codes.bytes[size_t(k)], state, action, next);
    }
    constexpr uint8_t entry(ParserState state, uint8_t b) const { return table[size_t(index(state, b))]; }
    constexpr ParserAction action(ParserState state, uint8_t b) const {
        return ParserAction(entry(state, b) >> 4);
    }
    constexpr ParserState next(ParserState state, uint8_t b) const {
        return ParserState(entry(state, b) & 0x0F);
    }

    // The bytes from low up to, but not including, high.
    static constexpr ByteList r(int low, int high) {
        ByteList list;
        for (int b = low; b < high; ++b)
            list.bytes[size_t(list.count++)] = uint8_t(b);
        return list;
    }
};

// Builds the VT500-family table. Two rows differ from the classic machine so that a string's meaning
// never depends on where reads split it: inside OSC and APC strings the bytes 0x80-0x9F are data (they
// are UTF-8 continuation bytes) and SUB is dropped.
constexpr TransitionTable buildVt500TransitionTable() {
    using S = ParserState;
    using A = ParserAction;
    using T = TransitionTable;
    TransitionTable t;
    constexpr int stateCount = 15;
    auto eachState = [&](auto&& body) {
        for (int s = 0; s < stateCount; ++s)
            body(S(s));
    };
    const ByteList c0 = T::r(0x00, 0x18) + ByteList{0x19} + T::r(0x1C, 0x20);
    const ByteList printables = T::r(0x20, 0x7F);

    // 1. Anything not written below is an error that returns to ground.
    eachState([&](S s) { t.add(T::r(0x00, 0xA1), s, A::error, S::ground); });
    // 2. Printable text.
    t.add(printables, S::ground, A::print, S::ground);
    // 3. Controls that act from every state.
    eachState([&](S s) {
        t.add(ByteList{0x18, 0x1A, 0x99, 0x9A} + T::r(0x80, 0x90) + T::r(0x91, 0x98), s, A::execute,
              S::ground);
        t.add(0x9C, s, A::ignore, S::ground);
        t.add(0x1B, s, A::clear, S::escape);
        t.add(0x90, s, A::clear, S::dcsEntry);
        t.add(0x9B, s, A::clear, S::csiEntry);
        t.add(0x9D, s, A::oscStart, S::oscString);
        t.add(ByteList{0x98, 0x9E}, s, A::ignore, S::sosPmApcString);
        t.add(0x9F, s, A::oscStart, S::apcString);
    });
    // 4. State by state.
    t.add(c0, S::ground, A::execute, S::ground);

    t.add(c0, S::escape, A::execute, S::escape);
    t.add(0x7F, S::escape, A::ignore, S::escape);
    t.add(T::r(0x20, 0x30), S::escape, A::collect, S::escapeIntermediate);
    t.add(T::r(0x30, 0x50) + T::r(0x51, 0x58) + ByteList{0x59, 0x5A, 0x5C} + T::r(0x60, 0x7F), S::escape,
          A::escDispatch, S::ground);
    t.add('P', S::escape, A::clear, S::dcsEntry);
    t.add('[', S::escape, A::clear, S::csiEntry);
    t.add(']', S::escape, A::oscStart, S::oscString);
    t.add(ByteList{'X', '^'}, S::escape, A::ignore, S::sosPmApcString);
    t.add('_', S::escape, A::oscStart, S::apcString);

    t.add(c0, S::escapeIntermediate, A::execute, S::escapeIntermediate);
    t.add(0x7F, S::escapeIntermediate, A::ignore, S::escapeIntermediate);
    t.add(T::r(0x20, 0x30), S::escapeIntermediate, A::collect, S::escapeIntermediate);
    t.add(T::r(0x30, 0x7F), S::escapeIntermediate, A::escDispatch, S::ground);

    t.add(c0, S::csiEntry, A::execute, S::csiEntry);
    t.add(0x7F, S::csiEntry, A::ignore, S::csiEntry);
    t.add(T::r(0x20, 0x30), S::csiEntry, A::collect, S::csiIntermediate);
    t.add(T::r('0', '9' + 1) + ByteList{';'}, S::csiEntry, A::param, S::csiParam);
    t.add(T::r('<', '?' + 1), S::csiEntry, A::collect, S::csiParam);
    t.add(T::r(0x40, 0x7F), S::csiEntry, A::csiDispatch, S::ground);

    t.add(c0, S::csiParam, A::execute, S::csiParam);
    t.add(0x7F, S::csiParam, A::ignore, S::csiParam);
    t.add(T::r('0', ';' + 1), S::csiParam, A::param, S::csiParam);
    t.add(T::r('<', '?' + 1), S::csiParam, A::ignore, S::csiIgnore);
    t.add(T::r(0x20, 0x30), S::csiParam, A::collect, S::csiIntermediate);
    t.add(T::r(0x40, 0x7F), S::csiParam, A::csiDispatch, S::ground);

    t.add(c0, S::csiIntermediate, A::execute, S::csiIntermediate);
    t.add(0x7F, S::csiIntermediate, A::ignore, S::csiIntermediate);
    t.add(T::r(0x20, 0x30), S::csiIntermediate, A::collect, S::csiIntermediate);
    t.add(T::r(0x30, 0x40), S::csiIntermediate, A::ignore, S::csiIgnore);
    t.add(T::r(0x40, 0x7F), S::csiIntermediate, A::csiDispatch, S::ground);

    t.add(c0, S::csiIgnore, A::execute, S::csiIgnore);
    t.add(T::r(0x20, 0x40) + ByteList{0x7F}, S::csiIgnore, A::ignore, S::csiIgnore);
    t.add(T::r(0x40, 0x7F), S::csiIgnore, A::ignore, S::ground);

    t.add(c0 + T::r(0x20, 0x80), S::sosPmApcString, A::ignore, S::sosPmApcString);
    t.add(0x9C, S::sosPmApcString, A::ignore, S::ground);

    for (S s : {S::oscString, S::apcString}) {
        t.add(c0, s, A::ignore, s);
        t.add(T::r(0x20, 0x80) + ByteList{0xA0}, s, A::oscPut, s);
        t.add(ByteList{0x07, 0x18, 0x1A, 0x1B, 0x9C}, s, A::oscEnd, S::ground);
        // The split-independent rows (see above).
        t.add(T::r(0x80, 0xA0), s, A::oscPut, s);
        t.add(0x1A, s, A::ignore, s);
    }

    t.add(c0 + ByteList{0x7F}, S::dcsEntry, A::ignore, S::dcsEntry);
    t.add(T::r(0x20, 0x30), S::dcsEntry, A::collect, S::dcsIntermediate);
    t.add(T::r('0', '9' + 1) + ByteList{';'}, S::dcsEntry, A::param, S::dcsParam);
    t.add(':', S::dcsEntry, A::ignore, S::dcsIgnore);
    t.add(T::r('<', '?' + 1), S::dcsEntry, A::collect, S::dcsParam);
    t.add(T::r(0x40, 0x7F), S::dcsEntry, A::dcsHook, S::dcsPassthrough);

    t.add(c0 + ByteList{0x7F}, S::dcsParam, A::ignore, S::dcsParam);
    t.add(T::r('0', '9' + 1) + ByteList{';'}, S::dcsParam, A::param, S::dcsParam);
    t.add(ByteList{':'} + T::r('<', '?' + 1), S::dcsParam, A::ignore, S::dcsIgnore);
    t.add(T::r(0x20, 0x30), S::dcsParam, A::collect, S::dcsIntermediate);
    t.add(T::r(0x40, 0x7F), S::dcsParam, A::dcsHook, S::dcsPassthrough);

    t.add(c0 + ByteList{0x7F}, S::dcsIntermediate, A::ignore, S::dcsIntermediate);
    t.add(T::r(0x20, 0x30), S::dcsIntermediate, A::collect, S::dcsIntermediate);
    t.add(T::r(0x30, 0x40), S::dcsIntermediate, A::ignore, S::dcsIgnore);
    t.add(T::r(0x40, 0x7F), S::dcsIntermediate, A::dcsHook, S::dcsPassthrough);

    t.add(c0 + T::r(0x20, 0x80), S::dcsIgnore, A::ignore, S::dcsIgnore);

    t.add(c0 + T::r(0x20, 0x7F), S::dcsPassthrough, A::dcsPut, S::dcsPassthrough);
    t.add(0x7F, S::dcsPassthrough, A::ignore, S::dcsPassthrough);
    t.add(ByteList{0x1B, 0x9C}, S::dcsPassthrough, A::dcsUnhook, S::ground);
    return t;
}

inline constexpr TransitionTable vt500TransitionTable = buildVt500TransitionTable();

} // namespace Tessaline
