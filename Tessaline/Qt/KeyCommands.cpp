#include "KeyCommands.h"

namespace Tessaline {

namespace {

struct Names {
    std::string_view plain;
    std::string_view shifted;
};

std::optional<Names> functionKeyNames(FunctionKey key) {
    switch (key) {
    case FunctionKey::up:
        return Names{"moveUp:", "moveUpAndModifySelection:"};
    case FunctionKey::down:
        return Names{"moveDown:", "moveDownAndModifySelection:"};
    case FunctionKey::left:
        return Names{"moveLeft:", "moveLeftAndModifySelection:"};
    case FunctionKey::right:
        return Names{"moveRight:", "moveRightAndModifySelection:"};
    case FunctionKey::home:
        return Names{"moveToBeginningOfLine:", "moveToBeginningOfLineAndModifySelection:"};
    case FunctionKey::end:
        return Names{"moveToEndOfLine:", "moveToEndOfLineAndModifySelection:"};
    case FunctionKey::pageUp:
        return Names{"scrollPageUp:", "pageUpAndModifySelection:"};
    case FunctionKey::pageDown:
        return Names{"scrollPageDown:", "pageDownAndModifySelection:"};
    case FunctionKey::delete_:
        return Names{"deleteForward:", "deleteForward:"};
    default:
        return std::nullopt;
    }
}

std::optional<Names> controlCharacterNames(char32_t c) {
    switch (c) {
    case '\r':
        return Names{"insertNewline:", "insertNewline:"};
    case 0x1b:
        return Names{"cancelOperation:", "cancelOperation:"};
    case 0x7f:
        return Names{"deleteBackward:", "deleteBackward:"};
    case '\t':
        return Names{"insertTab:", "insertBacktab:"};
    case 0x19:
        return Names{"insertBacktab:", "insertBacktab:"};
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string_view> KeyCommands::forKey(const KeyInput& input) {
    if (input.modifiers.control || input.modifiers.super) return std::nullopt;
    std::optional<Names> names;
    if (input.functionKey)
        names = functionKeyNames(*input.functionKey);
    else if (auto c = firstScalar(input.charactersIgnoringModifiers))
        names = controlCharacterNames(*c);
    if (!names) return std::nullopt;
    return input.modifiers.shift ? names->shifted : names->plain;
}

} // namespace Tessaline
