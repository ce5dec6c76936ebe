#pragma once

#include "SearchService.h"

#include <QFrame>
#include <QStyle>

#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace Tessaline {

// The find bar: a rounded translucent panel with a search field, previous and next buttons, the three
// search options and a close button, in that order. It only reports; the terminal view searches.
class TerminalFindBarView : public QFrame {
    Q_OBJECT
public:
    explicit TerminalFindBarView(QWidget* parent = nullptr);

    std::function<void(const std::string&)> onSearchChanged;
    std::function<void()> onFindNext;
    std::function<void()> onFindPrevious;
    std::function<void()> onClose;
    std::function<void(const SearchOptions&)> onOptionsChanged;

    QLineEdit* searchField() const { return _searchField; }
    QToolButton* previousButton() const { return _previousButton; }
    QToolButton* nextButton() const { return _nextButton; }
    QToolButton* closeButton() const { return _closeButton; }
    QCheckBox* caseSensitiveButton() const { return _caseSensitiveButton; }
    QCheckBox* regexButton() const { return _regexButton; }
    QCheckBox* wholeWordButton() const { return _wholeWordButton; }
    // What the three check boxes say.
    SearchOptions options() const;

    // Keeps the bar at its parent's top right corner: 8 points in, at most 520 wide.
    void place();

    // The field's Return: previous with Shift held, else next.
    void searchFieldAction(Qt::KeyboardModifiers modifiers);
    void previousTapped();
    void nextTapped();
    void closeTapped();
    void optionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Keys the field leaves alone stop here instead of reaching the terminal.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* configureButton(const QString& iconName, QStyle::StandardPixmap fallback,
                                 const QString& tooltip);
    QCheckBox* configureOptionButton(const QString& title, const QString& tooltip);

    QLineEdit* _searchField = nullptr;
    QToolButton* _previousButton = nullptr;
    QToolButton* _nextButton = nullptr;
    QToolButton* _closeButton = nullptr;
    QCheckBox* _caseSensitiveButton = nullptr;
    QCheckBox* _regexButton = nullptr;
    QCheckBox* _wholeWordButton = nullptr;
};

} // namespace Tessaline
