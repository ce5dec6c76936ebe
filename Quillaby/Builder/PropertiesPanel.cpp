#include "Builder/PropertiesPanel.h"

#include "Builder/OpacityColorWell.h"
#include "Builder/PalettePresetPicker.h"
#include "Builder/SkinBuilderModel.h"
#include "Settings/HexColor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace Quillaby {

namespace {

const QColor errorRed(220, 50, 47);
const QColor successGreen(40, 160, 60);

// The dimmed label colour: the text colour at 55 %, readable on the window background.
QPalette secondaryPalette(QPalette palette) {
    QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    text.setAlphaF(0.55f);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

QFont sized(const QWidget* widget, int pixels, QFont::Weight weight = QFont::Normal, bool mono = false) {
    QFont font = mono ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : widget->font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QLabel* secondaryLabel(QWidget* owner, const QString& text, int pixels, bool mono = false,
                       bool bold = false) {
    auto* label = new QLabel(text);
    label->setFont(sized(owner, pixels, bold ? QFont::Bold : QFont::Normal, mono));
    label->setPalette(secondaryPalette(label->palette()));
    return label;
}

QLabel* hint(QWidget* owner, const QString& text) {
    QLabel* label = secondaryLabel(owner, text, 9);
    label->setWordWrap(true);
    return label;
}

QLabel* sectionHeader(QWidget* owner, const QString& title) {
    return secondaryLabel(owner, title, 10, true, true);
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QWidget* column(std::initializer_list<QWidget*> items, int spacing = 14) {
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* item : items)
        layout->addWidget(item);
    return widget;
}

QWidget* row(std::initializer_list<QWidget*> items, int spacing = 6, bool stretchAtEnd = false) {
    auto* widget = new QWidget;
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* item : items) {
        if (item)
            layout->addWidget(item);
        else
            layout->addStretch(1);
    }
    if (stretchAtEnd) layout->addStretch(1);
    return widget;
}

// Wheel turns over a control the user did not click scroll the column instead of changing its value.
class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel) {
            auto* widget = static_cast<QWidget*>(watched);
            if (!widget->hasFocus() && widget->parentWidget()) {
                QApplication::sendEvent(widget->parentWidget(), event);
                return true;
            }
        }
        return false;
    }
};

void guardWheel(QWidget* control) {
    static WheelGuard guard;
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(&guard);
}

// A slider over [minimum, maximum] in steps of step, stored as whole steps.
QSlider* steppedSlider(double minimum, double maximum, double step) {
    auto* slider = new QSlider(Qt::Horizontal);
    guardWheel(slider);
    slider->setRange(int(std::lround(minimum / step)), int(std::lround(maximum / step)));
    slider->setProperty("step", step);
    return slider;
}

double sliderValue(const QSlider* slider) {
    return slider->value() * slider->property("step").toDouble();
}

void setSliderValue(QSlider* slider, double value) {
    const QSignalBlocker block(slider);
    slider->setValue(int(std::lround(value / slider->property("step").toDouble())));
}

void setTint(QPushButton* button, bool tinted) {
    if (button->property("tinted").toBool() == tinted) return;
    button->setProperty("tinted", tinted);
    QPalette palette = button->palette();
    const QColor accent = palette.color(QPalette::Active, QPalette::Highlight);
    palette.setColor(QPalette::ButtonText, tinted ? accent : QPalette().color(QPalette::ButtonText));
    button->setPalette(palette);
    QFont font = button->font();
    font.setBold(tinted);
    button->setFont(font);
}

void setTextIfChanged(QLineEdit* field, const QString& text) {
    if (field->text() == text) return;
    const QSignalBlocker block(field);
    field->setText(text);
}

// The palette's sample: the prompt in the foreground colour and a cursor block on the background.
class PaletteSample : public QWidget {
public:
    explicit PaletteSample(SkinBuilderModel& model)
        : _model(model) {
        setFixedHeight(36);
        setMinimumWidth(100);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 4, 4);
        painter.fillPath(shape, _model.bgColor().toQColor());
        const QFont font = sized(this, 11, QFont::Normal, true);
        painter.setFont(font);
        const QString text = QStringLiteral("user@host ~ %");
        const QFontMetricsF metrics(font);
        const double textWidth = metrics.horizontalAdvance(text);
        const double total = textWidth + 2 + 7;
        const double x = (width() - total) / 2;
        painter.setPen(_model.fgColor().toQColor());
        painter.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, text);
        const QColor cursor = _model.cursorColor().value_or(_model.fgColor()).toQColor();
        painter.fillRect(QRectF(x + textWidth + 2, (height() - 13) / 2.0, 7, 13), cursor);
    }

private:
    SkinBuilderModel& _model;
};

} // namespace

const QStringList PropertiesPanel::ansiLabels{
    "Black",    "Red",    "Green",    "Yellow",    "Blue",    "Magenta",    "Cyan",    "White",
    "Br Black", "Br Red", "Br Green", "Br Yellow", "Br Blue", "Br Magenta", "Br Cyan", "Br White"};

PropertiesPanel::PropertiesPanel(SkinBuilderModel& model, QWidget* parent)
    : QScrollArea(parent)
    , _model(model) {
    setFixedWidth(panelWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setBackgroundRole(QPalette::Window);

    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(20, 16, 20, 16);
    stack->setSpacing(14);

    stack->addWidget(buildDocumentRow());
    _firstDivider = divider();
    stack->addWidget(_firstDivider);
    _imageSection = column({buildImageSection(), divider()});
    stack->addWidget(_imageSection);
    stack->addWidget(buildViewportSection());
    stack->addWidget(divider());
    stack->addWidget(buildPaletteSection());
    stack->addWidget(divider());
    stack->addWidget(buildEffectsSection());
    stack->addWidget(divider());

    _issues = new QWidget;
    _issuesLayout = new QVBoxLayout(_issues);
    _issuesLayout->setContentsMargins(0, 4, 0, 4);
    _issuesLayout->setSpacing(4);
    stack->addWidget(_issues);

    stack->addWidget(buildSkinInfoSection());
    stack->addWidget(divider());
    stack->addWidget(buildLaunchSection());
    stack->addWidget(divider());
    stack->addWidget(buildLayerSection());
    stack->addWidget(divider());

    _previewButton = wideButton(QStringLiteral("Preview Skin"), QStringLiteral("document-print-preview"));
    _exportButton = wideButton(QStringLiteral("Export Skin"), QStringLiteral("document-send"));
    _installButton = wideButton(QStringLiteral("Install Skin"), QStringLiteral("document-save"));
    _installButton->setDefault(true);
    connect(_previewButton, &QPushButton::clicked, &_model, &SkinBuilderModel::previewSkin);
    connect(_exportButton, &QPushButton::clicked, &_model, &SkinBuilderModel::exportSkin);
    connect(_installButton, &QPushButton::clicked, &_model, &SkinBuilderModel::installSkin);
    stack->addWidget(_previewButton);
    stack->addWidget(_exportButton);
    stack->addWidget(_installButton);

    _status = new QLabel;
    _status->setWordWrap(true);
    _status->setFont(sized(this, 11));
    _status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stack->addWidget(_status);
    stack->addStretch(1);
    setWidget(content);

    connect(&_model, &SkinBuilderModel::changed, this, &PropertiesPanel::refresh);
    connect(&_model, &SkinBuilderModel::imageChanged, this, &PropertiesPanel::refresh);
    refresh();
}

QPushButton* PropertiesPanel::wideButton(const QString& title, const QString& icon) {
    auto* button = new QPushButton(QIcon::fromTheme(icon), title);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::TabFocus);
    _buttons.append(button);
    return button;
}

QPushButton* PropertiesPanel::button(const QString& title) const {
    for (QPushButton* button : _buttons)
        if (button->text() == title) return button;
    return nullptr;
}

// MARK: Sections

QWidget* PropertiesPanel::buildDocumentRow() {
    _newButton = wideButton(QStringLiteral("New"), QStringLiteral("document-new"));
    _changeButton = wideButton(QStringLiteral("Change PNG"), QStringLiteral("image-x-generic"));
    QPushButton* open = wideButton(QStringLiteral("Open Skin…"), QStringLiteral("folder-open"));
    open->setToolTip(QStringLiteral("Load an installed skin folder back into the editor"));
    connect(_newButton, &QPushButton::clicked, &_model, &SkinBuilderModel::reset);
    connect(_changeButton, &QPushButton::clicked, &_model, &SkinBuilderModel::openImage);
    connect(open, &QPushButton::clicked, &_model, &SkinBuilderModel::openSkin);
    return row({_newButton, _changeButton, open});
}

QWidget* PropertiesPanel::buildImageSection() {
    QPushButton* removeBg = wideButton(QStringLiteral("Remove BG"), QStringLiteral("edit-clear"));
    removeBg->setToolTip(QStringLiteral("Auto-detect + remove solid background color"));
    QPushButton* trim = wideButton(QStringLiteral("Trim"), QStringLiteral("transform-crop"));
    trim->setToolTip(QStringLiteral("Crop transparent margins to the content bounding box"));
    connect(removeBg, &QPushButton::clicked, this, [this] { _model.removeBackground(40); });
    connect(trim, &QPushButton::clicked, &_model, &SkinBuilderModel::trimToContent);

    QPushButton* penCrop = wideButton(QStringLiteral("Pen Crop"), QStringLiteral("draw-freehand"));
    penCrop->setToolTip(QStringLiteral("Draw a polygon around what to KEEP — outside becomes transparent"));
    QPushButton* penErase = wideButton(QStringLiteral("Pen Erase"), QStringLiteral("draw-eraser"));
    penErase->setToolTip(QStringLiteral("Draw a polygon around what to REMOVE — inside becomes transparent"));
    connect(penCrop, &QPushButton::clicked, this, [this] { _model.setCurrentTool(DrawTool::imageCropPen); });
    connect(penErase, &QPushButton::clicked, this,
            [this] { _model.setCurrentTool(DrawTool::imageErasePen); });

    _penHint = hint(this, QString());
    _wandButton = wideButton(QStringLiteral("Magic Wand"), QStringLiteral("tools-wizard"));
    _wandButton->setToolTip(
        QStringLiteral("Click a color in the image to erase it and all connected pixels of that color"));
    connect(_wandButton, &QPushButton::clicked, this, [this] { _model.setCurrentTool(DrawTool::magicWand); });

    _toleranceSlider = steppedSlider(5, 100, 1);
    _toleranceValue = new QLabel;
    _toleranceValue->setFont(sized(this, 9, QFont::Normal, true));
    _toleranceValue->setFixedWidth(24);
    _toleranceValue->setAlignment(Qt::AlignCenter);
    connect(_toleranceSlider, &QSlider::valueChanged, this,
            [this] { _model.setMagicWandTolerance(sliderValue(_toleranceSlider)); });
    _toleranceRow =
        row({secondaryLabel(this, QStringLiteral("Tolerance"), 9), _toleranceSlider, _toleranceValue});
    _wandHint =
        hint(this, QStringLiteral("Magic Wand active — click the background color to knock it out. Higher "
                                  "tolerance grabs more nearby shades; Undo restores it."));
    _undoButton = wideButton(QStringLiteral("Undo"), QStringLiteral("edit-undo"));
    connect(_undoButton, &QPushButton::clicked, &_model, &SkinBuilderModel::undo);

    return column({sectionHeader(this, QStringLiteral("IMAGE")), row({removeBg, trim}),
                   row({penCrop, penErase}), _penHint, _wandButton, _toleranceRow, _wandHint, _undoButton});
}

QWidget* PropertiesPanel::buildViewportSection() {
    _drawViewportButton = wideButton(QStringLiteral("Draw Viewport"), QStringLiteral("select-rectangular"));
    connect(_drawViewportButton, &QPushButton::clicked, this,
            [this] { _model.setCurrentTool(DrawTool::viewport); });

    auto* inspectorHint = new QLabel(QStringLiteral("Viewport — drag to draw, drag body to move, drag a "
                                                    "corner to resize. <b>Ctrl-drag a corner</b> to pull "
                                                    "it free of the rect (arbitrary quad)."));
    inspectorHint->setTextFormat(Qt::RichText);
    inspectorHint->setWordWrap(true);
    inspectorHint->setFont(sized(this, 9));
    inspectorHint->setPalette(secondaryPalette(inspectorHint->palette()));

    auto* distorted = new QLabel(QStringLiteral("distorted"));
    distorted->setFont(sized(this, 10));
    distorted->setStyleSheet(QStringLiteral("color: rgb(255, 149, 0);"));
    auto* resetShape = new QToolButton;
    resetShape->setText(QStringLiteral("Reset shape"));
    resetShape->setAutoRaise(true);
    connect(resetShape, &QToolButton::clicked, this,
            [this] { _model.setViewportCornerOffsets(QList<QPointF>(4, QPointF(0, 0))); });
    _distortedRow = row({distorted, nullptr, resetShape}, 8);

    auto* radii = new QWidget;
    auto* radiiLayout = new QVBoxLayout(radii);
    radiiLayout->setContentsMargins(0, 0, 0, 0);
    radiiLayout->setSpacing(4);
    const char* labels[] = {"TL", "TR", "BR", "BL"};
    for (int i = 0; i < 4; ++i) {
        QLabel* label = secondaryLabel(this, QString::fromLatin1(labels[i]), 10, true);
        label->setFixedWidth(22);
        _radiusSliders[std::size_t(i)] = steppedSlider(0, 20, 0.01);
        _radiusValues[std::size_t(i)] = new QLabel;
        _radiusValues[std::size_t(i)]->setFont(sized(this, 10, QFont::Normal, true));
        _radiusValues[std::size_t(i)]->setFixedWidth(24);
        _radiusValues[std::size_t(i)]->setAlignment(Qt::AlignCenter);
        QSlider* slider = _radiusSliders[std::size_t(i)];
        connect(slider, &QSlider::valueChanged, this,
                [this, i, slider] { setRadius(_model, i, sliderValue(slider)); });
        radiiLayout->addWidget(row({label, slider, _radiusValues[std::size_t(i)]}));
    }
    auto* allSix = new QToolButton;
    allSix->setText(QStringLiteral("All → 6"));
    allSix->setAutoRaise(true);
    connect(allSix, &QToolButton::clicked, this, [this] { _model.setViewportCornerRadii({6, 6, 6, 6}); });
    radiiLayout->addWidget(row({nullptr, allSix}));

    _inspector = column({inspectorHint, _distortedRow, divider(),
                         secondaryLabel(this, QStringLiteral("CORNER RADII"), 9, true, true), radii},
                        6);
    return column({sectionHeader(this, QStringLiteral("VIEWPORT")), _drawViewportButton,
                   hint(this, QStringLiteral("Drag a rect over the screen area where the terminal renders.")),
                   _inspector});
}

QWidget* PropertiesPanel::buildPaletteSection() {
    _fgWell = new OpacityColorWell;
    _bgWell = new OpacityColorWell;
    _cursorWell = new OpacityColorWell;
    connect(_fgWell, &OpacityColorWell::colorPicked, this,
            [this](const QColor& c) { _model.setFgColor(RgbColor::fromQColor(c)); });
    connect(_bgWell, &OpacityColorWell::colorPicked, this,
            [this](const QColor& c) { _model.setBgColor(RgbColor::fromQColor(c)); });
    connect(_cursorWell, &OpacityColorWell::colorPicked, this,
            [this](const QColor& c) { _model.setCursorColor(RgbColor::fromQColor(c)); });
    _cursorReset = new QToolButton;
    _cursorReset->setText(QStringLiteral("↺"));
    _cursorReset->setAutoRaise(true);
    _cursorReset->setToolTip(QStringLiteral("Reset cursor color (use FG)"));
    connect(_cursorReset, &QToolButton::clicked, this, [this] { _model.setCursorColor(std::nullopt); });
    auto* shuffle = new QPushButton(QIcon::fromTheme(QStringLiteral("media-playlist-shuffle")),
                                    QStringLiteral("Shuffle"));
    shuffle->setFont(sized(this, 11));
    shuffle->setToolTip(QStringLiteral("Pick a random curated palette — all 16 ANSI colors too"));
    _buttons.append(shuffle);
    connect(shuffle, &QPushButton::clicked, this,
            [this] { applyCuratedPalette(_model, CuratedPalettes::random(_model.lastShuffledId())); });
    QWidget* colours =
        row({new QLabel(QStringLiteral("FG")), _fgWell, new QLabel(QStringLiteral("BG")), _bgWell,
             new QLabel(QStringLiteral("CUR")), _cursorWell, _cursorReset, nullptr, shuffle});

    _presetPicker = new PalettePresetPicker;
    _presetPicker->onPick = [this](const CuratedPalette& palette) { applyCuratedPalette(_model, palette); };

    _ansiToggle = new QToolButton;
    _ansiToggle->setText(QStringLiteral("ANSI 16 (advanced)"));
    _ansiToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    _ansiToggle->setArrowType(Qt::RightArrow);
    _ansiToggle->setAutoRaise(true);
    _ansiToggle->setFont(sized(this, 10, QFont::Normal, true));
    connect(_ansiToggle, &QToolButton::clicked, this, [this] { setShowAnsiPickers(!_showAnsiPickers); });

    auto* grid = new QWidget;
    auto* gridLayout = new QGridLayout(grid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setVerticalSpacing(4);
    for (int i = 0; i < 16; ++i) {
        QLabel* label = secondaryLabel(this, ansiLabels[i], 9, true);
        label->setFixedWidth(70);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* well = new OpacityColorWell;
        _ansiWells[std::size_t(i)] = well;
        connect(well, &OpacityColorWell::colorPicked, this,
                [this, i](const QColor& c) { setAnsiEntry(_model, i, c); });
        gridLayout->addWidget(row({label, well}, 6, true), i / 2, i % 2);
    }
    _ansiClear = new QPushButton(QStringLiteral("Clear ANSI override (use defaults)"));
    _ansiClear->setFont(sized(this, 10));
    _buttons.append(_ansiClear);
    connect(_ansiClear, &QPushButton::clicked, this, [this] { _model.setAnsiColors(std::nullopt); });
    _ansiGroup = column({grid, _ansiClear}, 4);

    _sample = new PaletteSample(_model);
    return column({sectionHeader(this, QStringLiteral("PALETTE")), colours, row({_presetPicker}, 6, true),
                   column({_ansiToggle, _ansiGroup}, 4), _sample});
}

QWidget* PropertiesPanel::buildEffectsSection() {
    _scanlines = new QCheckBox(QStringLiteral("Scanlines"));
    _style = new QComboBox;
    guardWheel(_style);
    const std::pair<const char*, const char*> styles[] = {
        {"Standard", "standard"}, {"Heavy", "heavy"}, {"Shadow Mask", "shadowmask"}, {"Rolling", "rolling"}};
    for (const auto& [shown, stored] : styles)
        _style->addItem(QString::fromLatin1(shown), QString::fromLatin1(stored));
    _styleRow = row({new QLabel(QStringLiteral("Style")), _style}, 6, true);
    _scanlineIntensity = steppedSlider(0.1, 1.0, 0.05);
    _glow = new QCheckBox(QStringLiteral("Phosphor Glow"));
    _glowIntensity = steppedSlider(0.1, 1.0, 0.05);
    _curvature = new QCheckBox(QStringLiteral("CRT Curvature"));
    _curvatureAmount = steppedSlider(0.05, 0.5, 0.05);

    connect(_scanlines, &QCheckBox::toggled, &_model, &SkinBuilderModel::setScanlines);
    connect(_glow, &QCheckBox::toggled, &_model, &SkinBuilderModel::setGlow);
    connect(_curvature, &QCheckBox::toggled, &_model, &SkinBuilderModel::setCurvature);
    // Only a pick writes the style: a style the menu does not list stays until the user picks one.
    connect(_style, &QComboBox::activated, this,
            [this](int index) { _model.setScanlineStyle(_style->itemData(index).toString()); });
    connect(_scanlineIntensity, &QSlider::valueChanged, this,
            [this] { _model.setScanlineIntensity(sliderValue(_scanlineIntensity)); });
    connect(_glowIntensity, &QSlider::valueChanged, this,
            [this] { _model.setGlowIntensity(sliderValue(_glowIntensity)); });
    connect(_curvatureAmount, &QSlider::valueChanged, this,
            [this] { _model.setCurvatureAmount(sliderValue(_curvatureAmount)); });
    return column({sectionHeader(this, QStringLiteral("EFFECTS")), _scanlines, _styleRow, _scanlineIntensity,
                   _glow, _glowIntensity, _curvature, _curvatureAmount});
}

QWidget* PropertiesPanel::buildSkinInfoSection() {
    _name = new QLineEdit;
    _name->setPlaceholderText(QStringLiteral("Skin Name"));
    _author = new QLineEdit;
    _author->setPlaceholderText(QStringLiteral("Author"));
    connect(_name, &QLineEdit::textEdited, &_model, &SkinBuilderModel::setSkinName);
    connect(_author, &QLineEdit::textEdited, &_model, &SkinBuilderModel::setAuthor);
    return column({sectionHeader(this, QStringLiteral("SKIN INFO")), _name, _author});
}

QWidget* PropertiesPanel::buildLaunchSection() {
    _launchPercent = new QLabel;
    _launchPercent->setFont(sized(this, 11, QFont::Normal, true));
    _launchPercent->setFixedWidth(40);
    _launchPercent->setAlignment(Qt::AlignCenter);
    _launchSlider = steppedSlider(0.5, 1.5, 0.05);
    connect(_launchSlider, &QSlider::valueChanged, this,
            [this] { _model.setLaunchScale(sliderValue(_launchSlider)); });
    _windowLine = secondaryLabel(this, QString(), 10, true);
    return column({sectionHeader(this, QStringLiteral("LAUNCH SIZE")), row({_launchPercent, _launchSlider}),
                   _windowLine});
}

QWidget* PropertiesPanel::buildLayerSection() {
    _inFront = new QCheckBox;
    _inFront->setFont(sized(this, 11));
    connect(_inFront, &QCheckBox::toggled, &_model, &SkinBuilderModel::setScreenInFront);
    _layerHint = hint(this, QString());
    return column({sectionHeader(this, QStringLiteral("SCREEN LAYER")), _inFront, _layerHint});
}

// MARK: Model edits

void PropertiesPanel::applyCuratedPalette(SkinBuilderModel& model, const CuratedPalette& palette) {
    if (std::optional<RgbColor> fg = hexColor(palette.foreground)) model.setFgColor(*fg);
    if (std::optional<RgbColor> bg = hexColor(palette.background)) model.setBgColor(*bg);
    model.setCursorColor(hexColor(palette.cursor));
    QList<RgbColor> ansi;
    for (const QString& entry : palette.ansi)
        ansi.append(hexColor(entry).value_or(RgbColor::rgb(0, 0, 0)));
    model.setAnsiColors(ansi);
    model.setLastShuffledId(palette.id);
}

QColor PropertiesPanel::ansiEntry(const SkinBuilderModel& model, int index) {
    const QList<RgbColor> list = model.ansiColors().value_or(QList<RgbColor>());
    return index >= 0 && index < list.size() ? list[index].toQColor() : QColor(Qt::black);
}

void PropertiesPanel::setAnsiEntry(SkinBuilderModel& model, int index, const QColor& color) {
    QList<RgbColor> list = model.ansiColors().value_or(QList<RgbColor>(16, RgbColor::rgb(0, 0, 0)));
    while (list.size() < 16)
        list.append(RgbColor::rgb(0, 0, 0));
    list[index] = RgbColor::fromQColor(color);
    model.setAnsiColors(list);
}

double PropertiesPanel::radiusValue(const SkinBuilderModel& model, int corner) {
    const QList<double>& radii = model.viewportCornerRadii();
    return corner < radii.size() ? radii[corner] : 6;
}

void PropertiesPanel::setRadius(SkinBuilderModel& model, int corner, double radius) {
    QList<double> radii = model.viewportCornerRadii();
    while (radii.size() < 4)
        radii.append(6);
    radii[corner] = radius;
    model.setViewportCornerRadii(radii);
}

QString PropertiesPanel::launchPercentText(double launchScale) {
    return QString::number(std::llround(launchScale * 100)) + u'%';
}

void PropertiesPanel::setShowAnsiPickers(bool show) {
    _showAnsiPickers = show;
    refresh();
}

// MARK: Refresh

void PropertiesPanel::refresh() {
    if (_refreshing) return;
    _refreshing = true;
    const bool hasImage = _model.skinImage().has_value();
    const DrawTool tool = _model.currentTool();

    _newButton->setVisible(hasImage);
    _changeButton->setVisible(hasImage);
    _firstDivider->setVisible(hasImage);
    _imageSection->setVisible(hasImage);

    _penHint->setVisible(tool == DrawTool::imageCropPen || tool == DrawTool::imageErasePen);
    if (tool == DrawTool::imageCropPen)
        _penHint->setText(
            QStringLiteral("Pen Crop active — click to add vertices, dbl-click / Return to commit, Esc "
                           "cancels. Pixels OUTSIDE the polygon will be erased."));
    else if (tool == DrawTool::imageErasePen)
        _penHint->setText(
            QStringLiteral("Pen Erase active — click to add vertices, dbl-click / Return to commit, Esc "
                           "cancels. Pixels INSIDE the polygon will be erased."));
    setTint(_wandButton, tool == DrawTool::magicWand);
    _toleranceRow->setVisible(tool == DrawTool::magicWand);
    _wandHint->setVisible(tool == DrawTool::magicWand);
    setSliderValue(_toleranceSlider, _model.magicWandTolerance());
    _toleranceValue->setText(QString::number(qint64(_model.magicWandTolerance())));
    const qsizetype steps = _model.history().stack.size();
    _undoButton->setVisible(steps > 0);
    _undoButton->setText(QStringLiteral("Undo (%1)").arg(steps));

    _drawViewportButton->setEnabled(hasImage);
    setTint(_drawViewportButton, tool == DrawTool::viewport);
    _inspector->setVisible(tool == DrawTool::viewport);
    bool distorted = false;
    for (QPointF offset : _model.viewportCornerOffsets())
        distorted = distorted || offset.x() != 0 || offset.y() != 0;
    _distortedRow->setVisible(distorted);
    for (int i = 0; i < 4; ++i) {
        const double radius = radiusValue(_model, i);
        setSliderValue(_radiusSliders[std::size_t(i)], radius);
        _radiusValues[std::size_t(i)]->setText(QString::asprintf("%2.0f", radius));
    }

    _fgWell->setColor(_model.fgColor().toQColor());
    _bgWell->setColor(_model.bgColor().toQColor());
    _cursorWell->setColor(_model.cursorColor().value_or(_model.fgColor()).toQColor());
    _cursorReset->setVisible(_model.cursorColor().has_value());
    _presetPicker->setCurrent(_model.lastShuffledId());
    _ansiToggle->setArrowType(_showAnsiPickers ? Qt::DownArrow : Qt::RightArrow);
    _ansiGroup->setVisible(_showAnsiPickers);
    for (int i = 0; i < 16; ++i)
        _ansiWells[std::size_t(i)]->setColor(ansiEntry(_model, i));
    _ansiClear->setVisible(_model.ansiColors().has_value());
    _sample->update();

    {
        const QSignalBlocker a(_scanlines), b(_glow), c(_curvature), d(_style), e(_inFront);
        _scanlines->setChecked(_model.scanlines());
        _glow->setChecked(_model.glow());
        _curvature->setChecked(_model.curvature());
        const int styleIndex = _style->findData(_model.scanlineStyle());
        if (styleIndex >= 0) _style->setCurrentIndex(styleIndex);
        _inFront->setChecked(_model.screenInFront());
    }
    _styleRow->setVisible(_model.scanlines());
    _scanlineIntensity->setVisible(_model.scanlines());
    setSliderValue(_scanlineIntensity, _model.scanlineIntensity());
    _glowIntensity->setVisible(_model.glow());
    setSliderValue(_glowIntensity, _model.glowIntensity());
    _curvatureAmount->setVisible(_model.curvature());
    setSliderValue(_curvatureAmount, _model.curvatureAmount());

    refreshIssues();

    setTextIfChanged(_name, _model.skinName());
    setTextIfChanged(_author, _model.author());
    _launchPercent->setText(launchPercentText(_model.launchScale()));
    setSliderValue(_launchSlider, _model.launchScale());
    _windowLine->setVisible(hasImage);
    const QSizeF window = _model.makeConverter().previewSize();
    _windowLine->setText(
        QStringLiteral("Window: %1x%2pt").arg(qint64(window.width())).arg(qint64(window.height())));
    _inFront->setText(_model.screenInFront() ? QStringLiteral("Terminal in front of art")
                                             : QStringLiteral("Terminal behind art"));
    _layerHint->setText(
        _model.screenInFront()
            ? QStringLiteral("Terminal renders on top of the device art in the screen area.")
            : QStringLiteral("Art renders on top — the terminal shows through the viewport cutout, "
                             "so the device 'holds' the screen."));

    const bool ready = _model.validationIssues().isEmpty();
    _previewButton->setEnabled(ready);
    _exportButton->setEnabled(ready);
    _installButton->setEnabled(ready);

    _status->setVisible(_model.statusMessage().has_value());
    _status->setText(_model.statusMessage().value_or(QString()));
    QPalette statusPalette = _status->palette();
    statusPalette.setColor(QPalette::WindowText, _model.statusIsError() ? errorRed : successGreen);
    _status->setPalette(statusPalette);
    _refreshing = false;
}

void PropertiesPanel::refreshIssues() {
    const QStringList issues = _model.validationIssues();
    _issues->setVisible(!issues.isEmpty());
    if (issues == _shownIssues) return;
    _shownIssues = issues;
    while (QLayoutItem* item = _issuesLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const QString& issue : issues) {
        auto* mark = new QLabel(QStringLiteral("⚠"));
        mark->setFont(sized(this, 9));
        mark->setStyleSheet(QStringLiteral("color: rgb(255, 149, 0);"));
        mark->setAlignment(Qt::AlignTop);
        QLabel* text = secondaryLabel(this, issue, 10);
        text->setObjectName(QStringLiteral("issue"));
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QWidget* line = row({mark, text}, 4);
        static_cast<QHBoxLayout*>(line->layout())->setStretch(1, 1);
        _issuesLayout->addWidget(line);
    }
}

} // namespace Quillaby
