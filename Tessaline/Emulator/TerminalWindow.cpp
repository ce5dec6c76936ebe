// Window operations (CSI t): requests handed to the host, size and title reports, the title stacks.
#include "Terminal.h"

#include <string>

namespace Tessaline {

namespace {

using Kind = WindowManipulationCommand::Kind;

void push(std::vector<std::string>& stack, const std::string& title) {
    if (stack.size() >= Terminal::titleStackLimit) stack.erase(stack.begin());
    stack.push_back(title);
}

// The parameter list is exactly these values.
bool is(const SequenceParams& pars, std::initializer_list<int64_t> values) {
    if (size_t(pars.size()) != values.size()) return false;
    int k = 0;
    for (int64_t value : values)
        if (pars[k++] != value) return false;
    return true;
}

} // namespace

void Terminal::cmdWindowOptions(const SequenceParams& pars) {
    TerminalDelegate* const delegate = tdel;
    if (delegate == nullptr) return;

    auto operation = [&](const WindowManipulationCommand& command) {
        delegate->windowCommand(*this, command);
    };
    // The delegate's bytes, when it has any, are the whole answer.
    auto askFirst = [&](Kind kind) {
        std::optional<std::vector<uint8_t>> reply =
            delegate->windowCommand(*this, WindowManipulationCommand(kind));
        if (reply) sendResponse(*reply);
        return !reply;
    };
    auto cellSize = [&] { return delegate->cellSizeInPixels(*this).value_or(CellPixelSize{10, 16}); };
    auto sizeReport = [&](int code, int64_t height, int64_t width) {
        sendResponse(cc.csi(), std::to_string(code), ";", std::to_string(height), ";", std::to_string(width),
                     "t");
    };
    auto pixelReport = [&](int code) {
        const CellPixelSize cell = cellSize();
        sizeReport(code, int64_t(_rows) * cell.height, int64_t(_cols) * cell.width);
    };
    auto restoreTitle = [&] {
        if (terminalTitleStack.empty()) return;
        const std::string title = std::move(terminalTitleStack.back());
        terminalTitleStack.pop_back();
        setTitle(title);
    };
    auto restoreIconTitle = [&] {
        if (terminalIconStack.empty()) return;
        const std::string title = std::move(terminalIconStack.back());
        terminalIconStack.pop_back();
        setIconTitle(title);
    };

    const int64_t first = pars[0];
    const int size = pars.size();
    switch (first) {
    case 1:
        if (size == 1) return operation(Kind::deiconifyWindow);
        break;
    case 2:
        if (size == 1) return operation(Kind::iconifyWindow);
        break;
    case 3:
        if (size == 3) return operation(WindowManipulationCommand::moveWindowTo(pars.get(1), pars.get(2)));
        break;
    case 4:
        if (size == 3) return operation(WindowManipulationCommand::resizeWindowTo(pars.get(2), pars.get(1)));
        break;
    case 5:
        if (size == 1) return operation(Kind::bringToFront);
        break;
    case 6:
        if (size == 1) return operation(Kind::sendToBack);
        break;
    case 7:
        if (size == 1) return operation(Kind::refreshWindow);
        break;
    case 8:
        if (size == 3) return operation(WindowManipulationCommand::resizeTerminal(pars.get(2), pars.get(1)));
        break;
    case 9:
        if (is(pars, {9, 0})) return operation(Kind::restoreMaximizedWindow);
        if (is(pars, {9, 1})) return operation(Kind::maximizeWindow);
        if (is(pars, {9, 2})) return operation(Kind::maximizeWindowVertically);
        if (is(pars, {9, 3})) return operation(Kind::maximizeWindowHorizontally);
        break;
    case 10:
        if (is(pars, {10, 0})) return operation(Kind::undoFullScreen);
        if (is(pars, {10, 1})) return operation(Kind::switchToFullScreen);
        if (is(pars, {10, 2})) return operation(Kind::toggleFullScreen);
        break;
    case 14:
        if (size == 1) {
            if (askFirst(Kind::reportTextAreaPixelDimension)) pixelReport(4);
            return;
        }
        if (is(pars, {14, 2})) {
            if (askFirst(Kind::reportTerminalWindowPixelDimension)) pixelReport(4);
            return;
        }
        break;
    case 15:
        if (size == 1) {
            if (askFirst(Kind::reportSizeOfScreenInPixels)) pixelReport(5);
            return;
        }
        break;
    case 16:
        if (size == 1) {
            if (askFirst(Kind::reportCellSizeInPixels)) {
                const CellPixelSize cell = cellSize();
                sizeReport(6, cell.height, cell.width);
            }
            return;
        }
        break;
    case 18:
        if (size == 1) {
            if (askFirst(Kind::reportTextAreaCharacters)) sizeReport(8, _rows, _cols);
            return;
        }
        break;
    case 19:
        if (size == 1) {
            if (askFirst(Kind::reportScreenSizeCharacters)) sizeReport(9, _rows, _cols);
            return;
        }
        break;
    // The label and title reports carry no text: a program must not read back what another one wrote.
    case 20:
        if (size == 1) return sendResponse(cc.osc(), "L", cc.st());
        break;
    case 21:
        if (size == 1) return sendResponse(cc.osc(), "l", cc.st());
        break;
    case 22:
        if (is(pars, {22, 0}) || is(pars, {22, 0, 0})) {
            push(terminalTitleStack, terminalTitle);
            push(terminalIconStack, iconTitle);
            return;
        }
        if (is(pars, {22, 1})) return push(terminalIconStack, iconTitle);
        if (is(pars, {22, 2})) return push(terminalTitleStack, terminalTitle);
        break;
    case 23:
        if (is(pars, {23, 0}) || is(pars, {23, 0, 0})) {
            restoreTitle();
            restoreIconTitle();
            return;
        }
        if (is(pars, {23, 1})) return restoreIconTitle();
        if (is(pars, {23, 2})) return restoreTitle();
        break;
    default:
        break;
    }
    if (!silentLog) log("Unhandled Window command: " + bracketedList(pars.values()));
}

} // namespace Tessaline
