// Keys into bytes for the program: the progressive keyboard protocol, the fixed sequences of the cursor,
// editing and function keys, Control and Alt-as-Meta combinations, editing commands, typed and
// input-method text; and the view's focus.
#include "TerminalView.h"

#include "EscapeSequences.h"
#include "KeyCommands.h"
#include "KittyKeyMapping.h"
#include "KittyKeyboardEncoder.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace Tessaline {

namespace {

using EventType = KittyKeyboardEventType;

std::span<const uint8_t> bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Ctrl+Shift is the application's command chord, so Ctrl+Shift+Alt+O stands for Command+Option+O.
bool holdsCommandAndOption(const KeyInput& input) {
    return input.modifiers.control && input.modifiers.shift && input.modifiers.option;
}

// The composition over the GL surface, painted by the same code as on the painter's path.
class MarkedTextOverlay : public QWidget {
public:
    MarkedTextOverlay(QWidget* parent, std::function<void(QPainter&)> draw)
        : QWidget(parent)
        , _draw(std::move(draw)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.translate(-pos());
        _draw(painter);
    }

private:
    std::function<void(QPainter&)> _draw;
};

bool isLetterO(const KeyInput& input) {
    const auto c = firstScalar(input.charactersIgnoringModifiers);
    return c && (*c == 'o' || *c == 'O') && input.charactersIgnoringModifiers->size() == 1;
}

} // namespace

void TerminalView::setupKeyboard() {
    // Compositions of input methods (and the compose key) arrive as input-method events.
    setAttribute(Qt::WA_InputMethodEnabled);
}

// MARK: Qt events

bool TerminalView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Claiming the key keeps Ctrl+C, Ctrl+W, Alt+letter and the rest from any shortcut; only Ctrl+Shift
        // combinations and Ctrl+Tab (the next session) are left to the application's actions. A key no
        // action takes still comes back here as a key press.
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        const bool commandChord = mods.testFlag(Qt::ControlModifier) && mods.testFlag(Qt::ShiftModifier);
        const bool controlTab = mods == Qt::ControlModifier && key->key() == Qt::Key_Tab;
        if (!commandChord && !controlTab) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        // Tab and Shift+Tab would otherwise move the focus along the window's chain.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
        break;
    }
    case QEvent::WindowDeactivate:
        // The link modifier's release goes elsewhere now.
        turnOffUrlPreview();
        break;
    case QEvent::FocusOut:
        turnOffUrlPreview();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool TerminalView::focusNextPrevChild(bool) {
    return false;
}

void TerminalView::keyPressEvent(QKeyEvent* event) {
    const KeyInput input = KeyInput::from(*event);
    if (input.isCapsLockKey()) {
        // The lock going on reads as a press, going off as a release.
        if (!input.isARepeat) flagsChanged(input, input.modifiers.capsLock);
    } else if (input.isModifierKey) {
        if (!input.isARepeat) flagsChanged(input, true);
    } else {
        keyDown(input);
    }
    event->accept();
}

void TerminalView::keyReleaseEvent(QKeyEvent* event) {
    // X sends a release before every repeated press; only the last release is real.
    if (!event->isAutoRepeat()) {
        const KeyInput input = KeyInput::from(*event);
        if (!input.isModifierKey)
            keyUp(input);
        else if (!input.isCapsLockKey())
            flagsChanged(input, false);
    }
    event->accept();
}

void TerminalView::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    const QString preedit = event->preeditString();
    if (!commit.isEmpty() || !preedit.isEmpty() || hasMarkedText()) _selection->setActive(false);
    if (!commit.isEmpty()) {
        if (hasMarkedText()) unmarkText();
        const QByteArray text = commit.toUtf8();
        insertText(std::string_view(text.constData(), size_t(text.size())));
    }
    if (!preedit.isEmpty()) {
        int cursor = int(preedit.size());
        for (const QInputMethodEvent::Attribute& attribute : event->attributes())
            if (attribute.type == QInputMethodEvent::Cursor) cursor = attribute.start;
        setMarkedText(preedit, cursor);
    } else if (hasMarkedText() || _kittyIsComposing) {
        unmarkText();
    }
    event->accept();
}

QVariant TerminalView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return inputMethodCursorRect();
    case Qt::ImFont:
        return _fontSet.normal;
    case Qt::ImHints:
        return int(Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText | Qt::ImhMultiLine);
    // A terminal has no editable text around the caret to offer.
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection:
    case Qt::ImTextBeforeCursor:
    case Qt::ImTextAfterCursor:
        return QString();
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
        return 0;
    default:
        return QWidget::inputMethodQuery(query);
    }
}

// MARK: Keys

void TerminalView::keyDown(const KeyInput& input) {
    _selection->setActive(false);
    const KittyKeyboardFlags flags = _terminal->keyboardEnhancementFlags();
    const KeyInput::Modifiers& m = input.modifiers;

    if (!flags.isEmpty()) {
        _pendingKittyKeyEvent.reset();
        if (holdsCommandAndOption(input) && isLetterO(input)) {
            _optionAsMetaKey = !_optionAsMetaKey;
            return;
        }
        const bool reportsEvents = flags.contains(KittyKeyboardFlags::reportEvents);
        const EventType type = input.isARepeat && reportsEvents ? EventType::repeatPress : EventType::press;
        if (auto key = KittyKeyMapping::functionalKey(input)) {
            KittyKeyEvent event;
            event.key = KittyKey::functional(*key);
            event.modifiers = KittyKeyMapping::modifiers(input, _optionAsMetaKey);
            event.eventType = type;
            event.text = KittyKeyMapping::textForFunctionalKey(*key, input);
            event.composing = _kittyIsComposing;
            if (sendKittyEvent(event)) return;
        }
        if (m.control || (_optionAsMetaKey && m.option)) {
            if (auto event = kittyTextEvent(input, type, std::nullopt); event && sendKittyEvent(*event))
                return;
        }
        const bool repeat =
            input.isARepeat && reportsEvents && flags.contains(KittyKeyboardFlags::reportAllKeys);
        _pendingKittyKeyEvent =
            PendingKittyKeyEvent{input, repeat ? EventType::repeatPress : EventType::press};
        interpretKeyEvents(input);
        // Whatever text this key gives has arrived by now; an input method's later commit comes without
        // its key and must not be taken for this one.
        _pendingKittyKeyEvent.reset();
        return;
    }

    if (holdsCommandAndOption(input)) {
        if (isLetterO(input)) _optionAsMetaKey = !_optionAsMetaKey;
        interpretKeyEvents(input);
        return;
    }
    if (_optionAsMetaKey && m.option) {
        if (input.functionKey == FunctionKey::left) {
            send(EscapeSequences::emacsBack);
        } else if (input.functionKey == FunctionKey::right) {
            send(EscapeSequences::emacsForward);
        } else if (input.functionKey) {
            sendLegacyFunctionKey(input);
        } else if (input.charactersIgnoringModifiers) {
            send(EscapeSequences::cmdEsc);
            send(bytes(*input.charactersIgnoringModifiers));
        }
        return;
    }
    if (m.control) {
        if (input.functionKey == FunctionKey::left) {
            send(EscapeSequences::controlLeft);
        } else if (input.functionKey == FunctionKey::right) {
            send(EscapeSequences::controlRight);
        } else if (input.functionKey) {
            sendLegacyFunctionKey(input);
        } else if (!input.charactersIgnoringModifiers) {
            interpretKeyEvents(input);
        } else {
            send(applyControlToEventCharacters(*input.charactersIgnoringModifiers));
        }
        return;
    }
    if (m.function && input.functionKey) {
        const FunctionKey key = *input.functionKey;
        if (const int n = functionKeyNumber(key); n >= 1 && n <= 12)
            send(EscapeSequences::cmdF[size_t(n - 1)]);
        else if (key == FunctionKey::delete_)
            send(EscapeSequences::cmdDelKey);
        else if (key == FunctionKey::insert)
            send(EscapeSequences::cmdInsert);
        else if (key == FunctionKey::pageUp)
            pageUp();
        else if (key == FunctionKey::pageDown)
            pageDown();
        else
            interpretKeyEvents(input);
        return;
    }
    interpretKeyEvents(input);
}

void TerminalView::sendLegacyFunctionKey(const KeyInput& input) {
    // Alt or Control with a function key: its modified form, as the program's terminal description
    // expects, rather than nothing or bytes of the key's private-use character.
    const KeyInput::Modifiers& m = input.modifiers;
    if (auto sequence =
            modifiedFunctionKeySequence(*input.functionKey, m.shift, _optionAsMetaKey && m.option, m.control))
        send(*sequence);
}

void TerminalView::keyUp(const KeyInput& input) {
    const KittyKeyboardFlags flags = _terminal->keyboardEnhancementFlags();
    if (!flags.contains(KittyKeyboardFlags::reportEvents)) return;
    const bool allKeys = flags.contains(KittyKeyboardFlags::reportAllKeys);
    const std::optional<KittyFunctionalKey> key = KittyKeyMapping::functionalKey(input);
    const KeyInput::Modifiers& m = input.modifiers;
    if (!(m.control || allKeys || (_optionAsMetaKey && m.option) || key)) return;
    if (key) {
        KittyKeyEvent event;
        event.key = KittyKey::functional(*key);
        event.modifiers = KittyKeyMapping::modifiers(input, _optionAsMetaKey);
        event.eventType = EventType::release;
        event.composing = _kittyIsComposing;
        sendKittyEvent(event);
        return;
    }
    const std::optional<KittyKeyEvent> event = kittyTextEvent(input, EventType::release, std::nullopt);
    if (!event) return;
    const uint32_t scalar = event->key.scalar();
    if (!allKeys && (scalar == 9 || scalar == 13 || scalar == 127)) return;
    sendKittyEvent(*event);
}

void TerminalView::flagsChanged(const KeyInput& input, bool pressed) {
    commandChanged(input.modifiers.control && input.modifiers.shift);
    const KittyKeyboardFlags flags = _terminal->keyboardEnhancementFlags();
    if (!flags.contains(KittyKeyboardFlags::reportAllKeys) || _kittyIsComposing) return;
    const std::optional<KittyFunctionalKey> key = KittyKeyMapping::modifierKey(input.keysym);
    if (!key) return;
    if (!pressed && !flags.contains(KittyKeyboardFlags::reportEvents)) return;
    KittyKeyEvent event;
    event.key = KittyKey::functional(*key);
    event.modifiers = KittyKeyMapping::modifierKeyModifiers(input);
    event.eventType = pressed ? EventType::press : EventType::release;
    sendKittyEvent(event);
}

void TerminalView::interpretKeyEvents(const KeyInput& input) {
    if (auto command = KeyCommands::forKey(input)) {
        doCommand(*command);
        return;
    }
    if (input.modifiers.control || input.modifiers.super) return;
    if (input.characters && !input.characters->empty() && !containsControlCharacters(*input.characters))
        insertText(*input.characters);
}

void TerminalView::doCommand(std::string_view selector) {
    const bool app = _terminal->applicationCursor;
    if (!_terminal->keyboardEnhancementFlags().isEmpty()) {
        using K = KittyFunctionalKey;
        std::optional<K> key;
        KittyKeyboardModifiers modifiers;
        if (selector == "insertNewline:") {
            key = K::enter;
        } else if (selector == "cancelOperation:") {
            key = K::escape;
        } else if (selector == "deleteBackward:") {
            key = K::backspace;
        } else if (selector == "moveUp:") {
            key = K::up;
        } else if (selector == "moveDown:") {
            key = K::down;
        } else if (selector == "moveLeft:") {
            key = K::left;
        } else if (selector == "moveRight:") {
            key = K::right;
        } else if (selector == "insertTab:") {
            key = K::tab;
        } else if (selector == "insertBacktab:") {
            key = K::tab;
            modifiers = KittyKeyboardModifiers::shift;
        } else if (selector == "moveToBeginningOfLine:" || selector == "scrollToBeginningOfDocument:") {
            key = K::home;
        } else if (selector == "moveToEndOfLine:" || selector == "scrollToEndOfDocument:") {
            key = K::end;
        } else if (selector == "scrollPageUp:" || selector == "pageUp:") {
            if (!app) {
                pageUp();
                return;
            }
            key = K::pageUp;
        } else if (selector == "scrollPageDown:" || selector == "pageDown:") {
            if (!app) {
                pageDown();
                return;
            }
            key = K::pageDown;
        }
        if (key) {
            KittyKeyEvent event;
            event.key = KittyKey::functional(*key);
            event.modifiers = modifiers;
            event.composing = _kittyIsComposing;
            if (sendKittyEvent(event)) return;
        }
    }

    if (selector == "insertNewline:") {
        send(EscapeSequences::cmdRet);
    } else if (selector == "cancelOperation:") {
        send(EscapeSequences::cmdEsc);
    } else if (selector == "deleteBackward:") {
        const uint8_t erase = _backspaceSendsControlH ? 0x08 : 0x7f;
        send(std::span<const uint8_t>(&erase, 1));
    } else if (selector == "moveUp:") {
        sendKeyUp();
    } else if (selector == "moveDown:") {
        sendKeyDown();
    } else if (selector == "moveLeft:") {
        sendKeyLeft();
    } else if (selector == "moveRight:") {
        sendKeyRight();
    } else if (selector == "insertTab:") {
        send(EscapeSequences::cmdTab);
    } else if (selector == "insertBacktab:") {
        send(EscapeSequences::cmdBackTab);
    } else if (selector == "moveToBeginningOfLine:" || selector == "scrollToBeginningOfDocument:") {
        send(app ? EscapeSequences::moveHomeApp : EscapeSequences::moveHomeNormal);
    } else if (selector == "moveToEndOfLine:" || selector == "scrollToEndOfDocument:") {
        send(app ? EscapeSequences::moveEndApp : EscapeSequences::moveEndNormal);
    } else if (selector == "scrollPageUp:" || selector == "pageUp:") {
        if (app)
            send(EscapeSequences::cmdPageUp);
        else
            pageUp();
    } else if (selector == "scrollPageDown:" || selector == "pageDown:") {
        if (app)
            send(EscapeSequences::cmdPageDown);
        else
            pageDown();
    } else if (selector == "pageDownAndModifySelection:") {
        if (!app) send(EscapeSequences::cmdPageDown);
    } else if (selector == "moveToLeftEndOfLine:") {
        send(EscapeSequences::emacsBack);
    } else if (selector == "moveToRightEndOfLine:") {
        send(EscapeSequences::emacsForward);
    } else {
        std::printf("Unhandle selector %.*s\n", int(selector.size()), selector.data());
        std::fflush(stdout);
    }
}

void TerminalView::sendKeyUp() {
    send(_terminal->applicationCursor ? EscapeSequences::moveUpApp : EscapeSequences::moveUpNormal);
}

void TerminalView::sendKeyDown() {
    send(_terminal->applicationCursor ? EscapeSequences::moveDownApp : EscapeSequences::moveDownNormal);
}

void TerminalView::sendKeyLeft() {
    send(_terminal->applicationCursor ? EscapeSequences::moveLeftApp : EscapeSequences::moveLeftNormal);
}

void TerminalView::sendKeyRight() {
    send(_terminal->applicationCursor ? EscapeSequences::moveRightApp : EscapeSequences::moveRightNormal);
}

std::vector<uint8_t> TerminalView::applyControlToEventCharacters(std::string_view characters) {
    if (characters.size() != 1) return {};
    const uint8_t c = uint8_t(characters[0]);
    if (c >= 'A' && c <= 'Z') return {uint8_t(c - 0x40)};
    if (c >= 'a' && c <= 'z') return {uint8_t(c - 0x60)};
    switch (c) {
    case '\\':
        return {0x1c};
    case '_':
        return {0x1f};
    case ']':
        return {0x1d};
    case '[':
        return {0x1b};
    case '^':
    case '6':
        return {0x1e};
    case ' ':
        return {0x00};
    default:
        return {};
    }
}

std::optional<std::vector<uint8_t>> TerminalView::modifiedFunctionKeySequence(FunctionKey key, bool shift,
                                                                              bool alt, bool control) {
    const int m = 1 + (shift ? 1 : 0) + (alt ? 2 : 0) + (control ? 4 : 0);
    auto build = [m](int number, char final) {
        const std::string text = "\x1b[" + std::to_string(number) + ";" + std::to_string(m) + final;
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    static constexpr int tildeNumbers[12] = {0, 0, 0, 0, 15, 17, 18, 19, 20, 21, 23, 24};
    if (const int n = functionKeyNumber(key); n >= 1 && n <= 4) return build(1, "PQRS"[n - 1]);
    if (const int n = functionKeyNumber(key); n >= 5 && n <= 12) return build(tildeNumbers[n - 1], '~');
    switch (key) {
    case FunctionKey::up:
        return build(1, 'A');
    case FunctionKey::down:
        return build(1, 'B');
    case FunctionKey::right:
        return build(1, 'C');
    case FunctionKey::left:
        return build(1, 'D');
    case FunctionKey::home:
        return build(1, 'H');
    case FunctionKey::end:
        return build(1, 'F');
    case FunctionKey::insert:
        return build(2, '~');
    case FunctionKey::delete_:
        return build(3, '~');
    case FunctionKey::pageUp:
        return build(5, '~');
    case FunctionKey::pageDown:
        return build(6, '~');
    default:
        return std::nullopt;
    }
}

// MARK: Protocol events

bool TerminalView::sendKittyEvent(const KittyKeyEvent& event) {
    const KittyKeyboardEncoder encoder{_terminal->keyboardEnhancementFlags(), _terminal->applicationCursor,
                                       _backspaceSendsControlH};
    const std::optional<std::vector<uint8_t>> encoded = encoder.encode(event);
    if (!encoded) return false;
    send(*encoded);
    return true;
}

std::optional<KittyKeyEvent> TerminalView::kittyTextEvent(const KeyInput& input,
                                                          KittyKeyboardEventType eventType,
                                                          std::optional<std::string> text) const {
    return KittyKeyMapping::textEvent(input, eventType, std::move(text), _optionAsMetaKey, _kittyIsComposing);
}

// MARK: Text and compositions

void TerminalView::insertText(std::string_view text, bool isPaste) {
    const bool bracketed = isPaste && _terminal->bracketedPasteMode();
    if (!_terminal->keyboardEnhancementFlags().isEmpty()) {
        if (!bracketed) {
            const std::optional<PendingKittyKeyEvent> pending =
                std::exchange(_pendingKittyKeyEvent, std::nullopt);
            _kittyIsComposing = false;
            std::optional<KittyKeyEvent> event;
            if (pending && isSingleScalar(text))
                event = kittyTextEvent(pending->input, pending->eventType, std::string(text));
            if (!event) {
                event = KittyKeyEvent{};
                event->key = KittyKey::none();
                event->text = std::string(text);
            }
            sendKittyEvent(*event);
            return;
        }
        _pendingKittyKeyEvent.reset();
    }
    if (bracketed) send(EscapeSequences::bracketedPasteStart);
    send(bytes(text));
    if (bracketed) send(EscapeSequences::bracketedPasteEnd);
}

void TerminalView::setMarkedText(const QString& text, int cursor) {
    if (text.isEmpty()) {
        unmarkText();
        return;
    }
    _kittyIsComposing = true;
    _markedText = text;
    _markedTextCursor = std::clamp(cursor, 0, int(text.size()));
    if (!_markedTextPainted.isEmpty()) update(_markedTextPainted);
    _markedTextPainted = markedTextRect().toAlignedRect();
    update(_markedTextPainted);
    updateMarkedTextOverlay();
    updateInputMethodCursor();
}

void TerminalView::unmarkText() {
    _kittyIsComposing = false;
    if (_markedText.isEmpty()) return;
    _markedText.clear();
    _markedTextCursor = 0;
    update(_markedTextPainted);
    _markedTextPainted = QRect();
    updateMarkedTextOverlay();
    updateInputMethodCursor();
}

void TerminalView::updateMarkedTextOverlay() {
    if (!_gpuView || !hasMarkedText()) {
        delete std::exchange(_markedTextOverlay, nullptr);
        return;
    }
    if (!_markedTextOverlay) {
        _markedTextOverlay =
            new MarkedTextOverlay(this, [this](QPainter& painter) { drawMarkedText(painter); });
        // Just above the GL surface: the scroll bar and the find bar stay over it.
        _markedTextOverlay->lower();
        _gpuView->lower();
        _markedTextOverlay->show();
    }
    _markedTextOverlay->setGeometry(markedTextRect().toAlignedRect());
    _markedTextOverlay->update();
}

QRectF TerminalView::markedTextRect() const {
    const QSizeF cell = cellDimension();
    Terminal& terminal = *_terminal;
    const Buffer& shown = terminal.displayBuffer();
    const int column = std::min(shown.x(), terminal.cols() - 1);
    const int row = shown.y() - (shown.yDisp() - shown.yBase());
    const double advance = QFontMetricsF(_fontSet.normal).horizontalAdvance(_markedText);
    const double width = std::max(1.0, std::ceil(advance / cell.width() - 0.01)) * cell.width();
    const double textWidth = cell.width() * terminal.cols();
    const double x = std::max(0.0, std::min(cell.width() * column, textWidth - width));
    return QRectF(x, cell.height() * row, width, cell.height());
}

void TerminalView::drawMarkedText(QPainter& painter) {
    const QRectF rect = markedTextRect();
    const QFontMetricsF metrics(_fontSet.normal);
    const QColor foreground = nativeForegroundColor();
    painter.save();
    painter.fillRect(rect, nativeBackgroundColor());
    painter.setFont(_fontSet.normal);
    painter.setPen(foreground);
    const double baseline =
        rect.top() + (rect.height() - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();
    painter.drawText(QPointF(rect.left(), baseline), _markedText);
    // Underlined as compositions are everywhere, with a thin caret where the input method has its own.
    painter.fillRect(QRectF(rect.left(), rect.bottom() - 1, metrics.horizontalAdvance(_markedText), 1),
                     foreground);
    const double caretX = rect.left() + metrics.horizontalAdvance(_markedText.left(_markedTextCursor));
    painter.fillRect(QRectF(std::min(caretX, rect.right() - 1), rect.top(), 1, rect.height()), foreground);
    painter.restore();
}

QRect TerminalView::inputMethodCursorRect() const {
    const QSizeF cell = cellDimension();
    const QRectF marked = markedTextRect();
    double x = marked.left();
    if (hasMarkedText())
        x += QFontMetricsF(_fontSet.normal).horizontalAdvance(_markedText.left(_markedTextCursor));
    return QRectF(x, marked.top(), cell.width(), cell.height()).toAlignedRect();
}

void TerminalView::updateInputMethodCursor() {
    if (!QWidget::hasFocus()) return;
    const QRect rect = inputMethodCursorRect();
    if (rect == _inputMethodCursorRect) return;
    _inputMethodCursorRect = rect;
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

} // namespace Tessaline
