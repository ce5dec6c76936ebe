#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

namespace Quillaby {

// The keys of the application's commands. Command is Ctrl+Shift and Option is Alt here, since Ctrl
// alone belongs to the shell (^C, ^W, ...). The main menu binds these and the Keys tab shows them, so
// the two never disagree; no two commands share a key.
class KeyEquivalents {
public:
    enum class Command {
        settings,
        quit,
        newTab,
        newWindow,
        skinBuilder,
        closeTab,
        closeWindow,
        copy,
        paste,
        selectAll,
        find,
        findNext,
        miniMode,
        deviceBigger,
        deviceSmaller,
        fontBigger,
        fontSmaller,
        cycleSession,
        clearTerminal,
        cycleSkin,
        commandPalette
    };

    static QList<Command> all();
    static QKeySequence sequence(Command command);
    // The sequence, then other spellings of the same keys: Qt matches Ctrl+Shift+= on a US keyboard as
    // Ctrl+Shift+Equal (or Ctrl+Plus), never as the Ctrl+Shift+Plus it shows.
    static QList<QKeySequence> sequences(Command command);
    // As the Keys tab shows it: Qt's portable text with a typographic minus sign (U+2212).
    static QString text(Command command);
};

} // namespace Quillaby
