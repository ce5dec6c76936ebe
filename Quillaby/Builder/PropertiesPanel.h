#pragma once

#include "Settings/CuratedPalettes.h"

#include <QScrollArea>
#include <QStringList>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;
class QVBoxLayout;

namespace Quillaby {

class OpacityColorWell;
class PalettePresetPicker;
class SkinBuilderModel;

// The builder window's right-hand column: the document row, the image tools, the viewport with its
// inspector and corner radii, palette, effects, the blocking issues, skin info, launch size, screen
// layer, preview / export / install and the outcome line. Every control reads the model whenever it
// changes and writes each edit straight into it; the only own state is whether the ANSI group is open.
class PropertiesPanel : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int panelWidth = 420;
    static const QStringList ansiLabels;

    explicit PropertiesPanel(SkinBuilderModel& model, QWidget* parent = nullptr);

    // Copies a curated palette into the model's colours and remembers it.
    static void applyCuratedPalette(SkinBuilderModel& model, const CuratedPalette& palette);
    // The colour of ANSI entry i as the wells show it (black for none), and an edit of one entry.
    static QColor ansiEntry(const SkinBuilderModel& model, int index);
    static void setAnsiEntry(SkinBuilderModel& model, int index, const QColor& color);
    static double radiusValue(const SkinBuilderModel& model, int corner);
    static void setRadius(SkinBuilderModel& model, int corner, double radius);
    // "120%": the launch scale to the nearest percent.
    static QString launchPercentText(double launchScale);

    bool showAnsiPickers() const { return _showAnsiPickers; }
    void setShowAnsiPickers(bool show);

    // Reads the model into every control.
    void refresh();

    // For tests and the window: the controls by role.
    QPushButton* button(const QString& title) const;
    OpacityColorWell* ansiWell(int index) const { return _ansiWells[std::size_t(index)]; }
    OpacityColorWell* cursorWell() const { return _cursorWell; }
    QSlider* launchSlider() const { return _launchSlider; }
    QSlider* toleranceSlider() const { return _toleranceSlider; }
    QSlider* radiusSlider(int corner) const { return _radiusSliders[std::size_t(corner)]; }
    PalettePresetPicker* presetPicker() const { return _presetPicker; }
    QLabel* statusLine() const { return _status; }
    QLabel* launchPercent() const { return _launchPercent; }
    QLabel* windowLine() const { return _windowLine; }
    QWidget* issueList() const { return _issues; }
    QWidget* imageSection() const { return _imageSection; }
    QWidget* inspector() const { return _inspector; }
    QLabel* penHint() const { return _penHint; }

private:
    QWidget* buildDocumentRow();
    QWidget* buildImageSection();
    QWidget* buildViewportSection();
    QWidget* buildPaletteSection();
    QWidget* buildEffectsSection();
    QWidget* buildSkinInfoSection();
    QWidget* buildLaunchSection();
    QWidget* buildLayerSection();
    QPushButton* wideButton(const QString& title, const QString& icon);
    void refreshIssues();

    SkinBuilderModel& _model;
    bool _showAnsiPickers = false;
    bool _refreshing = false;
    QList<QPushButton*> _buttons;

    QPushButton* _newButton = nullptr;
    QPushButton* _changeButton = nullptr;
    QWidget* _firstDivider = nullptr;
    QWidget* _imageSection = nullptr;
    QLabel* _penHint = nullptr;
    QPushButton* _wandButton = nullptr;
    QWidget* _toleranceRow = nullptr;
    QSlider* _toleranceSlider = nullptr;
    QLabel* _toleranceValue = nullptr;
    QLabel* _wandHint = nullptr;
    QPushButton* _undoButton = nullptr;

    QPushButton* _drawViewportButton = nullptr;
    QWidget* _inspector = nullptr;
    QWidget* _distortedRow = nullptr;
    std::array<QSlider*, 4> _radiusSliders{};
    std::array<QLabel*, 4> _radiusValues{};

    OpacityColorWell* _fgWell = nullptr;
    OpacityColorWell* _bgWell = nullptr;
    OpacityColorWell* _cursorWell = nullptr;
    QToolButton* _cursorReset = nullptr;
    PalettePresetPicker* _presetPicker = nullptr;
    QToolButton* _ansiToggle = nullptr;
    QWidget* _ansiGroup = nullptr;
    std::array<OpacityColorWell*, 16> _ansiWells{};
    QPushButton* _ansiClear = nullptr;
    QWidget* _sample = nullptr;

    QCheckBox* _scanlines = nullptr;
    QWidget* _styleRow = nullptr;
    QComboBox* _style = nullptr;
    QSlider* _scanlineIntensity = nullptr;
    QCheckBox* _glow = nullptr;
    QSlider* _glowIntensity = nullptr;
    QCheckBox* _curvature = nullptr;
    QSlider* _curvatureAmount = nullptr;

    QWidget* _issues = nullptr;
    QVBoxLayout* _issuesLayout = nullptr;
    QStringList _shownIssues;

    QLineEdit* _name = nullptr;
    QLineEdit* _author = nullptr;
    QLabel* _launchPercent = nullptr;
    QSlider* _launchSlider = nullptr;
    QLabel* _windowLine = nullptr;
    QCheckBox* _inFront = nullptr;
    QLabel* _layerHint = nullptr;

    QPushButton* _previewButton = nullptr;
    QPushButton* _exportButton = nullptr;
    QPushButton* _installButton = nullptr;
    QLabel* _status = nullptr;
};

} // namespace Quillaby
