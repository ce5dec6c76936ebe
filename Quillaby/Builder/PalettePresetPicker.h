#pragma once

#include "Settings/CuratedPalettes.h"

#include <QToolButton>

#include <functional>
#include <optional>

class QFrame;
class QLineEdit;
class QListWidget;

namespace Quillaby {

// The palette section's button that opens a list of the curated palettes, each with its name and a strip
// of its ANSI colours, under a filter field. Choosing a row hands the palette to onPick and closes the
// list. The filter text stays for the next time.
class PalettePresetPicker : public QToolButton {
    Q_OBJECT

public:
    explicit PalettePresetPicker(QWidget* parent = nullptr);

    std::function<void(const CuratedPalette&)> onPick;

    const std::optional<QString>& current() const { return _current; }
    void setCurrent(const std::optional<QString>& id);

    // The button's title: the current palette's name, or "Presets".
    QString currentName() const;
    QString query() const;
    void setQuery(const QString& query);
    // The palettes the list shows, in catalogue order.
    QList<CuratedPalette> filtered() const;

    bool isOpen() const;
    void setOpen(bool open);
    QListWidget* list() const { return _list; }
    // Runs onPick with the palette of that catalogue row, when the filter shows it, and closes.
    void choose(int row);

private:
    void refilter();

    std::optional<QString> _current;
    QFrame* _popup;
    QLineEdit* _filter;
    QListWidget* _list;
};

} // namespace Quillaby
