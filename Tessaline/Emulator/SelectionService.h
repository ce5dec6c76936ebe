#pragma once

#include "Position.h"

#include <functional>
#include <optional>
#include <string>

namespace Tessaline {

class Buffer;
class Terminal;

// The selection of one terminal: two grid positions, a mode and whether it shows. It knows no mouse or
// keys; the view drives it (double click: word or bracketed expression, triple click: row, shift-click
// and drag: extend) and reads the selected text. Every change the view must draw goes to the terminal's
// delegate as selectionChanged.
//
// Rows count from the oldest line held in the buffer. The selection runs from start to end with the end
// column exclusive; start may lie after end and every reader orders the two.
class SelectionService {
public:
    enum class SelectionMode {
        character,
        word,
        row
    };
    enum class Direction {
        backward,
        forward
    };
    // Whether a character belongs to a run (its text as the terminal gives it).
    using IncludeFunc = std::function<bool(const std::string&)>;

    explicit SelectionService(Terminal& terminal);

    Terminal& terminal;

    bool active() const { return _active; }
    // A change notifies; false (changed or not) also clears the pivot.
    void setActive(bool value);
    // Activates without comparing, and notifies.
    void setActiveAndNotify();

    // True when the last update left start and end different.
    bool hasSelectionRange() const { return _hasSelectionRange; }
    const Position& start() const { return _start; }
    const Position& end() const { return _end; }
    // A second anchor, where pivotExtend extends from; cleared whenever active is set to false.
    std::optional<Position> pivot = Position(0, 0);
    bool isMultiLine() const { return _start.row != _end.row; }

    // Set by select(row), cleared by startSelection().
    bool selectingRows = false;
    SelectionMode selectionMode = SelectionMode::character;
    // The character an empty cell reads as: runs of it are runs of empty cells.
    std::string nullChar = std::string(1, '\0');

    // The (row, col) forms take a row of the view (counted from the display buffer's yDisp).
    void startSelection(int row, int col);
    // The position limited to the buffer from above: column at most cols - 1, row at most the last line.
    Position clamp(const Buffer& buffer, const Position& position) const;
    void setSelection(const Position& start, const Position& end);
    // Collapses the selection to its start in character mode.
    void startSelection();
    void setSoftStart(int row, int col);
    void setSoftStart(const Position& bufferPosition);
    // Moves the end; a click beyond the start turns the selection so that its far end stays fixed.
    void shiftExtend(int row, int col);
    void shiftExtend(const Position& bufferPosition);
    // Extends from the pivot (from the start when there is none).
    void pivotExtend(int row, int col);
    void pivotExtend(const Position& bufferPosition);
    // Moves the end; the start stays.
    void dragExtend(int row, int col);
    void dragExtend(const Position& bufferPosition);
    void selectAll();
    void select(int row);

    // Double-click helpers: a run of matching characters on one row, the bracket that closes or opens the
    // one at the position, the end of the word run at a position.
    void simpleScanSelection(const Position& from, const Buffer& in, const IncludeFunc& includeFunc);
    void balancedSearchForward(const Position& from, const Buffer& in);
    void balancedSearchBackward(const Position& from, const Buffer& in);
    Position extendToWordBoundary(const Position& position, const Buffer& in, Direction direction) const;
    // The word, run of spaces, run of empty cells or bracketed expression at the position.
    void selectWordOrExpression(const Position& at, const Buffer& in);
    void selectNone();
    std::string getSelectedText();
    // "[Selection (active=true, start=col=3 row=0 end=col=5 row=0 hasSR=true pivot=nil]".
    std::string debugDescription() const;

private:
    void notify();
    Position viewPosition(int row, int col);
    // The character at a position: the cell (empty outside the row) as the terminal gives it.
    std::string characterAt(const Buffer& buffer, const Position& position) const;
    // Word-mode extension of a position that moves the end.
    Position extendedForMode(const Position& position) const;

    bool _active = false;
    bool _hasSelectionRange = false;
    Position _start;
    Position _end;
    // True while the selection is whole rows (select(row), selectAll): the renderer draws its end column
    // cols - 1 inclusive, so the text is read to the end of the row.
    bool _wholeRows = false;
};

} // namespace Tessaline
