#include "App/KeyEquivalents.h"

namespace Quillaby {

namespace {

constexpr auto command = Qt::CTRL | Qt::SHIFT;
constexpr auto commandOption = Qt::CTRL | Qt::ALT | Qt::SHIFT;

} // namespace

QList<KeyEquivalents::Command> KeyEquivalents::all() {
    QList<Command> commands;
    for (int c = int(Command::settings); c <= int(Command::commandPalette); ++c)
        commands.append(Command(c));
    return commands;
}

QKeySequence KeyEquivalents::sequence(Command c) {
    switch (c) {
    case Command::settings: return QKeySequence(command | Qt::Key_Comma);
    case Command::quit: return QKeySequence(command | Qt::Key_Q);
    case Command::newTab: return QKeySequence(command | Qt::Key_T);
    case Command::newWindow: return QKeySequence(command | Qt::Key_N);
    case Command::skinBuilder: return QKeySequence(command | Qt::Key_B);
    // Ctrl+Shift+W closes a tab in the other terminals of this desktop; closing the whole window (and
    // every shell in it) takes one more modifier.
    case Command::closeTab: return QKeySequence(command | Qt::Key_W);
    case Command::closeWindow: return QKeySequence(commandOption | Qt::Key_W);
    case Command::copy: return QKeySequence(command | Qt::Key_C);
    case Command::paste: return QKeySequence(command | Qt::Key_V);
    case Command::selectAll: return QKeySequence(command | Qt::Key_A);
    case Command::find: return QKeySequence(command | Qt::Key_F);
    case Command::findNext: return QKeySequence(command | Qt::Key_G);
    case Command::miniMode: return QKeySequence(command | Qt::Key_M);
    case Command::deviceBigger: return QKeySequence(command | Qt::Key_Plus);
    case Command::deviceSmaller: return QKeySequence(command | Qt::Key_Minus);
    case Command::fontBigger: return QKeySequence(commandOption | Qt::Key_Plus);
    case Command::fontSmaller: return QKeySequence(commandOption | Qt::Key_Minus);
    case Command::cycleSession: return QKeySequence(Qt::CTRL | Qt::Key_Tab);
    case Command::clearTerminal: return QKeySequence(command | Qt::Key_K);
    case Command::cycleSkin: return QKeySequence(command | Qt::Key_L);
    case Command::commandPalette: return QKeySequence(command | Qt::Key_P);
    }
    return {};
}

QList<QKeySequence> KeyEquivalents::sequences(Command c) {
    QList<QKeySequence> result{sequence(c)};
    if (c == Command::deviceBigger) result.append(QKeySequence(command | Qt::Key_Equal));
    if (c == Command::fontBigger) result.append(QKeySequence(commandOption | Qt::Key_Equal));
    return result;
}

QString KeyEquivalents::text(Command c) {
    QString text = sequence(c).toString(QKeySequence::PortableText);
    if (text.endsWith(QLatin1String("+-"))) text.replace(text.size() - 1, 1, QChar(0x2212));
    return text;
}

} // namespace Quillaby
