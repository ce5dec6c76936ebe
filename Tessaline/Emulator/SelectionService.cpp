#include "SelectionService.h"

#include "Terminal.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <vector>

namespace Tessaline {

namespace {

UChar32 firstScalar(const std::string& character) {
    if (character.empty()) return U_SENTINEL;
    int32_t i = 0;
    UChar32 c = 0;
    U8_NEXT(character.data(), i, int32_t(character.size()), c);
    return c;
}

bool isLetterOrNumber(const std::string& character) {
    const UChar32 c = firstScalar(character);
    if (c < 0) return false;
    return u_hasBinaryProperty(c, UCHAR_ALPHABETIC) ||
           u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

// Letters and numbers; the three marks extend a word but never start one.
bool isWordCharacter(const std::string& character) {
    return character == "." || character == "_" || character == "-" || isLetterOrNumber(character);
}

int32_t closerOf(int32_t opener) {
    switch (opener) {
    case '(':
        return ')';
    case '[':
        return ']';
    case '{':
        return '}';
    default:
        return 0;
    }
}

int32_t openerOf(int32_t closer) {
    switch (closer) {
    case ')':
        return '(';
    case ']':
        return '[';
    case '}':
        return '{';
    default:
        return 0;
    }
}

// A bracket is a cell whose code is the bracket itself: no grapheme code reads as a single ASCII character.
int32_t codeAt(const Buffer& buffer, int64_t col, int64_t row) {
    return buffer.getCharBufferRelative(Position(col, row)).code;
}

} // namespace

SelectionService::SelectionService(Terminal& terminal)
    : terminal(terminal) {}

void SelectionService::notify() {
    if (terminal.tdel != nullptr) terminal.tdel->selectionChanged(terminal);
}

void SelectionService::setActive(bool value) {
    if (value != _active) {
        _active = value;
        notify();
    }
    if (!value) pivot.reset();
}

void SelectionService::setActiveAndNotify() {
    _active = true;
    notify();
}

Position SelectionService::viewPosition(int row, int col) {
    return Position(col, int64_t(row) + terminal.displayBuffer().yDisp());
}

std::string SelectionService::characterAt(const Buffer& buffer, const Position& position) const {
    return terminal.getCharacter(buffer.getCharBufferRelative(position));
}

Position SelectionService::clamp(const Buffer& buffer, const Position& position) const {
    const int64_t lastRow = std::max<int64_t>(buffer.lines().count() - 1, 0);
    return Position(std::min<int64_t>(position.col, buffer.cols() - 1), std::min(position.row, lastRow));
}

void SelectionService::setSelection(const Position& start, const Position& end) {
    const Buffer& buffer = terminal.displayBuffer();
    _start = clamp(buffer, start);
    _end = clamp(buffer, end);
    _hasSelectionRange = _start != _end;
    _wholeRows = false;
    setActiveAndNotify();
}

void SelectionService::startSelection() {
    _end = _start;
    selectingRows = false;
    selectionMode = SelectionMode::character;
    _hasSelectionRange = false;
    _wholeRows = false;
    setActiveAndNotify();
}

void SelectionService::startSelection(int row, int col) {
    _start = viewPosition(row, col);
    startSelection();
}

void SelectionService::setSoftStart(const Position& bufferPosition) {
    _start = bufferPosition;
    _end = bufferPosition;
    _hasSelectionRange = false;
    _wholeRows = false;
    setActiveAndNotify();
}

void SelectionService::setSoftStart(int row, int col) {
    setSoftStart(viewPosition(row, col));
}

Position SelectionService::extendedForMode(const Position& position) const {
    if (selectionMode != SelectionMode::word) return position;
    const Direction direction = Position::compare(position, _start) == Position::CompareResult::before
                                    ? Direction::backward
                                    : Direction::forward;
    return extendToWordBoundary(position, terminal.displayBuffer(), direction);
}

void SelectionService::shiftExtend(const Position& bufferPosition) {
    using R = Position::CompareResult;
    const Position p = extendedForMode(bufferPosition);
    const R startToEnd = Position::compare(_start, _end);
    const R toStart = Position::compare(p, _start);
    // A click beyond the start keeps the far end fixed: the old end becomes the anchor.
    if ((startToEnd == R::before && toStart == R::before) || (startToEnd == R::after && toStart == R::after))
        _start = _end;
    _end = p;
    _hasSelectionRange = _start != p;
    _wholeRows = false;
    setActiveAndNotify();
}

void SelectionService::shiftExtend(int row, int col) {
    shiftExtend(viewPosition(row, col));
}

void SelectionService::pivotExtend(const Position& bufferPosition) {
    const Position p = extendedForMode(bufferPosition);
    if (pivot) _start = *pivot;
    _end = p;
    _hasSelectionRange = _start != p;
    _wholeRows = false;
    setActiveAndNotify();
}

void SelectionService::pivotExtend(int row, int col) {
    pivotExtend(viewPosition(row, col));
}

void SelectionService::dragExtend(const Position& bufferPosition) {
    const Position p = extendedForMode(bufferPosition);
    _end = p;
    _hasSelectionRange = _start != p;
    _wholeRows = false;
    setActiveAndNotify();
}

void SelectionService::dragExtend(int row, int col) {
    dragExtend(viewPosition(row, col));
}

void SelectionService::selectAll() {
    const Buffer& buffer = terminal.displayBuffer();
    _start = Position(0, 0);
    // The last line that exists: rows the ring could still hold have nothing to select.
    _end = Position(terminal.cols() - 1, std::max(buffer.lines().count() - 1, 0));
    _hasSelectionRange = _start != _end;
    _wholeRows = true;
    setActiveAndNotify();
}

void SelectionService::select(int row) {
    _start = Position(0, row);
    _end = Position(terminal.cols() - 1, row);
    _hasSelectionRange = terminal.cols() != 1;
    selectingRows = true;
    selectionMode = SelectionMode::row;
    _wholeRows = true;
    setActiveAndNotify();
}

void SelectionService::simpleScanSelection(const Position& from, const Buffer& in,
                                           const IncludeFunc& includeFunc) {
    const int64_t cols = terminal.cols();
    int64_t first = from.col;
    while (first > 0 && includeFunc(characterAt(in, Position(first - 1, from.row))))
        --first;
    int64_t last = std::max<int64_t>(from.col, 0);
    while (last < cols && includeFunc(characterAt(in, Position(last, from.row))))
        ++last;
    _start = Position(first, from.row);
    _end = Position(last, from.row);
    _hasSelectionRange = first != last;
}

void SelectionService::balancedSearchForward(const Position& from, const Buffer& in) {
    _start = from;
    _hasSelectionRange = _start != _end;
    // Forwards the search stops below the screen.
    const int64_t limit = int64_t(in.yDisp()) + in.rows();
    if (from.row >= limit) return;
    const int64_t cols = terminal.cols();
    std::vector<int32_t> expected;
    // Rows above the buffer hold nothing: scanning them changes nothing.
    const int64_t firstRow = std::max<int64_t>(from.row, 0);
    for (int64_t row = firstRow; row < limit; ++row) {
        for (int64_t col = row == from.row ? from.col : 0; col < cols; ++col) {
            const int32_t code = codeAt(in, col, row);
            if (const int32_t closer = closerOf(code)) {
                expected.push_back(closer);
            } else if (!expected.empty() && code == expected.back()) {
                expected.pop_back();
                if (expected.empty()) {
                    _end = Position(col + 1, row);
                    _hasSelectionRange = _start != _end;
                    return;
                }
            }
        }
    }
    _start = from;
    _end = from;
    _hasSelectionRange = false;
}

void SelectionService::balancedSearchBackward(const Position& from, const Buffer& in) {
    _end = from;
    _hasSelectionRange = _end != _start;
    const int64_t cols = terminal.cols();
    std::vector<int32_t> expected;
    // Rows below the buffer hold nothing: scanning them changes nothing.
    const int64_t lastRow = std::min<int64_t>(from.row, in.lines().count() - 1);
    for (int64_t row = lastRow; row >= 0; --row) {
        for (int64_t col = row == from.row ? from.col : cols - 1; col >= 0; --col) {
            const int32_t code = codeAt(in, col, row);
            if (const int32_t opener = openerOf(code)) {
                expected.push_back(opener);
            } else if (!expected.empty() && code == expected.back()) {
                expected.pop_back();
                if (expected.empty()) {
                    // The closing bracket under the position is part of the selection.
                    _end = Position(from.col + 1, from.row);
                    _start = Position(col, row);
                    _hasSelectionRange = _start != _end;
                    return;
                }
            }
        }
    }
    _start = from;
    _end = from;
    _hasSelectionRange = false;
}

Position SelectionService::extendToWordBoundary(const Position& position, const Buffer& in,
                                                Direction direction) const {
    const std::string character = characterAt(in, position);
    IncludeFunc include;
    if (character == nullChar)
        include = [this](const std::string& c) { return c == nullChar; };
    else if (character == " ")
        include = [](const std::string& c) { return c == " "; };
    else if (isLetterOrNumber(character))
        include = isWordCharacter;
    else
        return position;

    int64_t col = position.col;
    if (direction == Direction::backward) {
        if (col < 0) return position;
        while (col > 0 && include(characterAt(in, Position(col - 1, position.row))))
            --col;
    } else {
        const int64_t cols = terminal.cols();
        while (col < cols && include(characterAt(in, Position(col, position.row))))
            ++col;
    }
    return Position(col, position.row);
}

void SelectionService::selectWordOrExpression(const Position& at, const Buffer& in) {
    const Position position(std::clamp<int64_t>(at.col, 0, terminal.cols()), std::max<int64_t>(at.row, 0));
    const std::string character = characterAt(in, position);
    if (character == nullChar) {
        simpleScanSelection(position, in, [this](const std::string& c) { return c == nullChar; });
    } else if (character == " ") {
        simpleScanSelection(position, in, [](const std::string& c) { return c == " "; });
    } else if (isLetterOrNumber(character)) {
        simpleScanSelection(position, in, isWordCharacter);
    } else if (character == "(" || character == "[" || character == "{") {
        balancedSearchForward(position, in);
    } else if (character == ")" || character == "]" || character == "}") {
        balancedSearchBackward(position, in);
    } else {
        _start = position;
        _end = position;
        _hasSelectionRange = false;
    }
    _wholeRows = false;
    selectionMode = SelectionMode::word;
    setActiveAndNotify();
}

void SelectionService::selectNone() {
    if (!_active) return;
    setActive(false);
    selectionMode = SelectionMode::character;
}

std::string SelectionService::getSelectedText() {
    Position first = _start;
    Position second = _end;
    if (Position::compare(first, second) == Position::CompareResult::after) std::swap(first, second);
    // A whole-row selection ends in the last column, which the renderer draws as selected.
    if (_wholeRows && second.col == terminal.cols() - 1) second.col = terminal.cols();
    return terminal.getDisplayText(first, second);
}

std::string SelectionService::debugDescription() const {
    return std::string("[Selection (active=") + (_active ? "true" : "false") +
           ", start=" + _start.debugDescription() + " end=" + _end.debugDescription() +
           " hasSR=" + (_hasSelectionRange ? "true" : "false") +
           " pivot=" + (pivot ? pivot->debugDescription() : "nil") + "]";
}

} // namespace Tessaline
