// Copy, paste, select all and find: the find bar, the search string every view shares, and searches of
// the scroll-back whose match becomes the selection.
#include "TerminalView.h"

#include "TerminalFindBarView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>

namespace Tessaline {

namespace {

// The desktop has no find clipboard: one search string for the whole process.
std::optional<std::string>& sharedFindString() {
    static std::optional<std::string> term;
    return term;
}

} // namespace

std::optional<std::string> TerminalView::findPasteboard() {
    return sharedFindString();
}

void TerminalView::setFindPasteboard(const std::string& term) {
    sharedFindString() = term;
}

// MARK: Commands

bool TerminalView::isCommandEnabled(EditCommand command) const {
    switch (command) {
    case EditCommand::copy:
    case EditCommand::useSelectionForFind:
        return _selection->active();
    case EditCommand::paste:
    case EditCommand::selectAll:
    case EditCommand::showFind:
    case EditCommand::findNext:
    case EditCommand::findPrevious:
    case EditCommand::hideFind:
        return true;
    }
    return false;
}

void TerminalView::performCommand(EditCommand command) {
    switch (command) {
    case EditCommand::copy:
        copy();
        break;
    case EditCommand::paste:
        paste();
        break;
    case EditCommand::selectAll:
        selectAll();
        break;
    case EditCommand::showFind:
        showFindBar(true);
        break;
    case EditCommand::findNext:
        performFind(true);
        break;
    case EditCommand::findPrevious:
        performFind(false);
        break;
    case EditCommand::useSelectionForFind:
        setFindPasteboardFromSelection();
        showFindBar(true);
        break;
    case EditCommand::hideFind:
        hideFindBar();
        break;
    }
}

void TerminalView::copy() {
    const std::string text = selectionText();
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void TerminalView::paste() {
    const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
    insertText(std::string_view(text.constData(), size_t(text.size())), true);
}

// MARK: Find bar

TerminalFindBarView* TerminalView::ensureFindBar() {
    if (_findBar) return _findBar;
    auto* bar = new TerminalFindBarView(this);
    bar->hide();
    QPointer<TerminalView> self(this);
    bar->onSearchChanged = [self](const std::string& term) {
        if (self) self->handleFindBarSearchChanged(term);
    };
    bar->onFindNext = [self] {
        if (self) self->performFind(true);
    };
    bar->onFindPrevious = [self] {
        if (self) self->performFind(false);
    };
    bar->onClose = [self] {
        if (self) self->hideFindBar();
    };
    bar->onOptionsChanged = [self](const SearchOptions& options) {
        if (!self) return;
        self->_findBarOptions = options;
        if (!self->_findBarTerm.empty()) self->findNext(self->_findBarTerm, options, true);
    };
    bar->place();
    _findBar = bar;
    return bar;
}

void TerminalView::showFindBar(bool prefillSelection) {
    TerminalFindBarView* bar = ensureFindBar();
    bar->place();
    bar->show();
    bar->raise();
    // Only a selection on show: a search that found nothing leaves its old ends behind.
    const std::string selected = _selection->active() ? selectionText() : std::string();
    std::optional<std::string> prefill;
    if (prefillSelection && !selected.empty())
        prefill = selected;
    else if (auto shared = findPasteboard())
        prefill = shared;
    if (prefill) {
        // Setting the same text again reports no change: search explicitly.
        const QSignalBlocker quiet(bar->searchField());
        bar->searchField()->setText(QString::fromStdString(*prefill));
        handleFindBarSearchChanged(*prefill);
    }
    if (window()->isVisible()) {
        bar->searchField()->setFocus(Qt::OtherFocusReason);
        bar->searchField()->selectAll();
    }
}

void TerminalView::hideFindBar() {
    if (!_findBar) return;
    _findBar->hide();
    setFocus(Qt::OtherFocusReason);
}

void TerminalView::handleFindBarSearchChanged(const std::string& term) {
    _findBarTerm = term;
    if (!term.empty()) {
        setFindPasteboard(term);
        findNext(term, _findBarOptions, true);
        return;
    }
    _search->reset();
    selectNone();
}

void TerminalView::performFind(bool next) {
    std::optional<std::string> term;
    if (_findBar && !_findBar->isHidden())
        term = _findBar->searchField()->text().toStdString();
    else
        term = findPasteboard();
    if (!term || term->empty()) return;
    setFindPasteboard(*term);
    const SearchOptions options = _findBar ? _findBar->options() : SearchOptions();
    find(next, *term, options, true);
}

void TerminalView::setFindPasteboardFromSelection() {
    const std::string text = selectionText();
    if (!text.empty()) setFindPasteboard(text);
}

// MARK: Searching

bool TerminalView::findNext(const std::string& term, const SearchOptions& options, bool scrollToResult) {
    return find(true, term, options, scrollToResult);
}

bool TerminalView::findPrevious(const std::string& term, const SearchOptions& options, bool scrollToResult) {
    return find(false, term, options, scrollToResult);
}

bool TerminalView::find(bool next, const std::string& term, const SearchOptions& options,
                        bool scrollToResult) {
    if (!_search || !_selection) return false;
    SelectionService& selection = *_selection;
    if (selection.active()) {
        Position start = selection.start();
        Position end = selection.end();
        if (Position::compare(start, end) == Position::CompareResult::after) std::swap(start, end);
        _search->lastSelection = SearchSelection{start, end};
    } else {
        _search->lastSelection.reset();
    }
    const std::optional<SearchResult> result =
        next ? _search->findNext(term, options) : _search->findPrevious(term, options);
    if (!result) {
        selectNone();
        return false;
    }
    const Position start(result->col, result->row);
    Position end = start;
    if (result->size > 0) {
        const int64_t w = std::max(1, _terminal->cols());
        const int64_t index = result->col + result->row * w + result->size;
        end = Position(index % w, index / w);
    }
    selection.setSelection(start, end);
    if (scrollToResult) scrollToReveal(int(result->row));
    return true;
}

void TerminalView::scrollToReveal(int row) {
    Terminal& terminal = *_terminal;
    const Buffer& shown = terminal.displayBuffer();
    const int rows = terminal.rows();
    if (rows <= 0 || shown.lines().count() == 0 || terminal.isDisplayBufferAlternate()) return;
    const int yDisp = shown.yDisp();
    if (row >= yDisp && row <= yDisp + rows - 1) return;
    const int target = std::clamp(row - rows / 2, 0, std::max(0, shown.lines().count() - rows));
    scrollTo(target, true);
}

void TerminalView::clearSearch() {
    _search->reset();
    selectNone();
}

} // namespace Tessaline
