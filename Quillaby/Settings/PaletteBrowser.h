#pragma once

#include "Settings/PaletteSample.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace Quillaby {

class AnsiStripView;
class ColorWell;
class SettingsViewModel;

// The General tab's palette chooser for the active skin: the skin's own palette or a curated one, a
// cursor colour that replaces the palette's, and a live sample in the terminal font. Every choice is
// stored at once under the skin's name and announced with it (paletteDidChange). The skin and the
// stored choices are read again each time the browser comes on screen and after a settings reset.
class PaletteBrowserView : public QWidget {
    Q_OBJECT

public:
    // The list row of the skin's own palette; never stored.
    static constexpr const char* skinDefaultId = "__skin_default__";

    explicit PaletteBrowserView(SettingsViewModel& model, QWidget* parent = nullptr);

    QString skinName() const { return _skinName; }
    // The id of the selected row.
    QString selection() const { return _selection; }
    // The selection, unless it is the skin's own palette.
    std::optional<QString> currentOverrideId() const;
    QColor cursorColor() const { return _cursorColor; }
    bool cursorOverridden() const { return _cursorOverridden; }
    // The sample's colours as they are now.
    PreviewPalette preview() const;

    void reload();
    // Selects a row: stores the curated id (or removes the override for the skin's own row) and
    // announces the change.
    void applySelection(const QString& id);
    // A random curated palette other than the one selected.
    void shuffle();
    // The colour well's choice: stored as the skin's cursor override.
    void chooseCursorColor(const QColor& color);
    // Drops the cursor override and shows the palette's own cursor again.
    void resetCursor();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadCursor();
    void listSelectionChanged();
    void showState();
    void showSampleFont();

    SettingsViewModel& _model;
    QString _skinName;
    QString _selection = QString::fromLatin1(skinDefaultId);
    QColor _cursorColor;
    bool _cursorOverridden = false;

    QLabel* _paletteName = nullptr;
    QListWidget* _list = nullptr;
    TerminalSampleView* _sample = nullptr;
    AnsiStripView* _strip = nullptr;
    QLabel* _noAnsi = nullptr;
    ColorWell* _well = nullptr;
    QPushButton* _resetCursor = nullptr;
};

} // namespace Quillaby
