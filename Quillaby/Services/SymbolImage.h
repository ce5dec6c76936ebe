#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace Quillaby {

// The small symbols of the application's own views (About, Settings, the skin picker), drawn in code
// so they look the same on every desktop whatever icon theme it has (or none).
class SymbolImage {
public:
    enum class Symbol {
        // A terminal window with a prompt cut out of it.
        TerminalFill,
        // A filled circle with a downward arrow cut out.
        ArrowDownCircleFill,
        // A filled circle with a check mark cut out.
        CheckmarkCircleFill,
        // A Wi-Fi fan struck through.
        WifiSlash,
        // A downward arrow onto a line.
        ArrowDownToLine,
        Checkmark,
        // A filled keyboard with its keys cut out.
        KeyboardFill,
        // Four filled rounded squares, two by two.
        GridFill,
        // A pencil, point down to the left.
        Pencil,
        // A waste bin with a lid.
        Trash,
        // The Settings window's tabs.
        InfoCircle,
        Gear,
        Paintbrush,
        WandAndStars,
        Keyboard,
        // Two crossing arrows.
        Shuffle,
        // A circle around an arrow that turns back.
        ArrowUturnBackwardCircle,
        // The command palette's: the looped command sign, a prompt in an outlined window, a plus, two
        // arrows chasing each other round a circle, and two cards stacked behind a third.
        Command,
        Terminal,
        Plus,
        ArrowTriangle2Circlepath,
        RectangleStack
    };

    // The symbol in a square of `size` logical pixels, for a screen of the given pixel ratio.
    static QPixmap pixmap(Symbol symbol, qreal size, const QColor& color, qreal devicePixelRatio = 1);
    static QIcon icon(Symbol symbol, qreal size, const QColor& color, qreal devicePixelRatio = 1);
};

} // namespace Quillaby
