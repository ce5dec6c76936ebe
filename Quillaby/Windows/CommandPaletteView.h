#pragma once

#include "Windows/PaletteEntry.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QScrollArea;

namespace Quillaby {

class PaletteState;
class PaletteRowsView;

// The command palette's content: the search field over the list of results. Escape, Return and the
// arrows work wherever the keyboard focus is in it; every other key goes to the search field.
class CommandPaletteView : public QWidget {
    Q_OBJECT
public:
    CommandPaletteView(PaletteState& state, QWidget* parent = nullptr);

    std::function<void()> onDismiss;
    std::function<void(const PaletteEntry&)> onRun;

    QLineEdit* searchField() const { return _field; }
    PaletteRowsView* rowsView() const { return _rows; }
    // Gives the search field the keyboard focus, as showing the view does.
    void focusSearchField();

    // True when the key was one of the palette's own.
    bool handleKey(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void stateChanged();

    PaletteState& _state;
    QLineEdit* _field = nullptr;
    QScrollArea* _scroll = nullptr;
    PaletteRowsView* _rows = nullptr;
};

// The rows of the results, drawn in one widget; hovering selects a row and a click runs it.
class PaletteRowsView : public QWidget {
    Q_OBJECT
public:
    PaletteRowsView(PaletteState& state, QWidget* parent = nullptr);

    std::function<void(const PaletteEntry&)> onRun;

    int rowHeight() const;
    // The row under a point of this widget, or -1.
    int rowAt(QPoint point) const;
    QRect rowRect(int row) const;
    void refresh();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    PaletteState& _state;
    QList<PaletteEntry> _results;
};

} // namespace Quillaby
