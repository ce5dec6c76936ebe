#include "Settings/PaletteBrowser.h"

#include "App/NotificationCenter.h"
#include "Services/SymbolImage.h"
#include "Settings/ActiveSkin.h"
#include "Settings/ColorWell.h"
#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsStyle.h"
#include "Settings/SettingsViewModel.h"
#include "Skins/SkinLoader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

constexpr int listWidth = 184;
constexpr int rowHeight = 224;
constexpr qreal itemPixels = 12;

QString skinDefault() {
    return QString::fromLatin1(PaletteBrowserView::skinDefaultId);
}

std::optional<SkinManifest> skinNamed(const QString& name) {
    for (const SkinManifest& skin : SkinLoader::shared().skinsOrFallback()) {
        if (skin.name == name) return skin;
    }
    return std::nullopt;
}

// The curated palette's background with a dot of its foreground.
QIcon swatch(const CuratedPalette& palette, const QColor& border, qreal devicePixelRatio) {
    const QSizeF size(16, 13);
    QPixmap image(int(std::ceil(size.width() * devicePixelRatio)),
                  int(std::ceil(size.height() * devicePixelRatio)));
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 0.5));
    p.setBrush(hexColor(palette.background).value_or(RgbColor::rgb(0, 0, 0)).toQColor());
    p.drawRoundedRect(QRectF(QPointF(0.25, 0.25), size - QSizeF(0.5, 0.5)), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(hexColor(palette.foreground).value_or(PreviewPalette::systemGreen()).toQColor());
    p.drawEllipse(QPointF(size.width() / 2, size.height() / 2), 3, 3);
    p.end();
    return QIcon(image);
}

} // namespace

PaletteBrowserView::PaletteBrowserView(SettingsViewModel& model, QWidget* parent)
    : QWidget(parent)
    , _model(model)
    , _cursorColor(PreviewPalette::systemGreen().toQColor()) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(SettingsStyle::label(QStringLiteral("Palette"), SettingsStyle::Text::Headline, this));
    _paletteName = SettingsStyle::secondaryLabel(QString(), SettingsStyle::Text::Callout, this);
    _paletteName->setObjectName(QStringLiteral("paletteName"));
    header->addWidget(_paletteName);
    header->addStretch(1);
    auto* shuffleButton = new QToolButton(this);
    shuffleButton->setObjectName(QStringLiteral("shuffle"));
    shuffleButton->setText(QStringLiteral("Shuffle"));
    shuffleButton->setFont(AboutStyle::font(SettingsStyle::Text::Caption));
    shuffleButton->setIcon(SymbolImage::icon(SymbolImage::Symbol::Shuffle, 12,
                                             palette().color(QPalette::ButtonText), devicePixelRatioF()));
    shuffleButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    shuffleButton->setToolTip(QStringLiteral("Pick a random curated palette"));
    connect(shuffleButton, &QToolButton::clicked, this, &PaletteBrowserView::shuffle);
    header->addWidget(shuffleButton);
    column->addLayout(header);

    auto* body = new QHBoxLayout;
    body->setSpacing(12);
    _list = new QListWidget(this);
    _list->setObjectName(QStringLiteral("palettes"));
    _list->setFixedWidth(listWidth);
    _list->setAlternatingRowColors(false);
    _list->setSelectionMode(QAbstractItemView::SingleSelection);
    _list->setIconSize(QSize(16, 13));
    const QFont itemFont = SettingsStyle::systemFont(itemPixels);
    auto* own =
        new QListWidgetItem(SymbolImage::icon(SymbolImage::Symbol::ArrowUturnBackwardCircle, 13,
                                              SettingsStyle::secondary(palette()), devicePixelRatioF()),
                            QStringLiteral("Skin default"), _list);
    own->setData(Qt::UserRole, skinDefault());
    own->setFont(itemFont);
    for (const CuratedPalette& curated : CuratedPalettes::all()) {
        auto* item = new QListWidgetItem(
            swatch(curated, SettingsStyle::hairline(palette()), devicePixelRatioF()), curated.name, _list);
        item->setData(Qt::UserRole, curated.id);
        item->setFont(itemFont);
    }
    connect(_list, &QListWidget::itemSelectionChanged, this, &PaletteBrowserView::listSelectionChanged);
    body->addWidget(_list, 0, Qt::AlignTop);

    auto* pane = new QVBoxLayout;
    pane->setSpacing(8);
    _sample = new TerminalSampleView(this);
    _sample->setObjectName(QStringLiteral("sample"));
    pane->addWidget(_sample, 1);
    _strip = new AnsiStripView(this);
    _strip->setObjectName(QStringLiteral("ansiStrip"));
    pane->addWidget(_strip);
    _noAnsi = SettingsStyle::label(QStringLiteral("This skin defines no ANSI palette."),
                                   SettingsStyle::Text::Caption, this);
    _noAnsi->setObjectName(QStringLiteral("noAnsi"));
    AboutStyle::setTextColor(_noAnsi, SettingsStyle::tertiary(palette()));
    pane->addWidget(_noAnsi);
    body->addLayout(pane, 1);
    auto* bodyBox = new QWidget(this);
    bodyBox->setFixedHeight(rowHeight);
    body->setContentsMargins(0, 0, 0, 0);
    bodyBox->setLayout(body);
    column->addWidget(bodyBox);

    auto* cursorRow = new QHBoxLayout;
    cursorRow->setSpacing(8);
    cursorRow->addWidget(
        SettingsStyle::secondaryLabel(QStringLiteral("Cursor"), SettingsStyle::Text::Caption, this));
    _well = new ColorWell(this);
    _well->setObjectName(QStringLiteral("cursorWell"));
    _well->setColor(_cursorColor);
    connect(_well, &ColorWell::colorChosen, this, &PaletteBrowserView::chooseCursorColor);
    cursorRow->addWidget(_well);
    _resetCursor = SettingsStyle::smallButton(QStringLiteral("Reset"), this);
    _resetCursor->setObjectName(QStringLiteral("resetCursor"));
    _resetCursor->setToolTip(QStringLiteral("Drop the cursor tweak and use the palette's own cursor"));
    connect(_resetCursor, &QPushButton::clicked, this, &PaletteBrowserView::resetCursor);
    cursorRow->addWidget(_resetCursor);
    cursorRow->addStretch(1);
    column->addLayout(cursorRow);

    connect(&_model, &SettingsViewModel::fontNameChanged, this, &PaletteBrowserView::showSampleFont);
    connect(&_model, &SettingsViewModel::fontSizeChanged, this, &PaletteBrowserView::showSampleFont);
    NotificationCenter::defaultCenter().addObserver(QString(SettingsStore::didReset), this,
                                                    [this](const Notification&) {
                                                        if (isVisible()) reload();
                                                    });
    showSampleFont();
    showState();
}

std::optional<QString> PaletteBrowserView::currentOverrideId() const {
    if (_selection.isEmpty() || _selection == skinDefault()) return std::nullopt;
    return _selection;
}

PreviewPalette PaletteBrowserView::preview() const {
    std::optional<RgbColor> cursor;
    if (_cursorOverridden) cursor = RgbColor::fromQColor(_cursorColor);
    return PreviewPalette::resolve(currentOverrideId(), _skinName, cursor);
}

void PaletteBrowserView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    reload();
    // The list has its final geometry only after this turn of the event loop.
    QTimer::singleShot(0, this, [this] {
        for (int row = 0; row < _list->count(); ++row) {
            if (_list->item(row)->data(Qt::UserRole).toString() == _selection) {
                _list->scrollToItem(_list->item(row), QAbstractItemView::PositionAtCenter);
                break;
            }
        }
    });
}

void PaletteBrowserView::reload() {
    _skinName = ActiveSkin::name();
    _selection = SettingsStore::shared().paletteOverrides().value(_skinName, skinDefault());
    loadCursor();
    showState();
}

void PaletteBrowserView::loadCursor() {
    const std::optional<SkinManifest> skin = skinNamed(_skinName);
    const QMap<QString, QString> overrides = SettingsStore::shared().cursorOverrides();
    if (auto stored = overrides.constFind(_skinName); stored != overrides.constEnd()) {
        _cursorColor = hexColorOrMagenta(*stored).toQColor();
        _cursorOverridden = true;
        return;
    }
    _cursorOverridden = false;
    // The curated palette plays no part: the well shows the skin's own cursor.
    if (skin) _cursorColor = skin->palette.cursor.value_or(skin->palette.foreground).toQColor();
}

void PaletteBrowserView::applySelection(const QString& id) {
    _selection = id;
    SettingsStore& store = SettingsStore::shared();
    QMap<QString, QString> overrides = store.paletteOverrides();
    if (id == skinDefault()) {
        overrides.remove(_skinName);
    } else {
        overrides.insert(_skinName, id);
    }
    store.setPaletteOverrides(overrides);
    NotificationCenter::defaultCenter().post(QString(SettingsStore::paletteDidChange), _skinName);
    showState();
}

void PaletteBrowserView::shuffle() {
    applySelection(CuratedPalettes::random(currentOverrideId()).id);
}

void PaletteBrowserView::chooseCursorColor(const QColor& color) {
    _cursorColor = color;
    _cursorOverridden = true;
    SettingsStore::shared().setCursorOverride(RgbColor::fromQColor(color), _skinName);
    showState();
}

void PaletteBrowserView::resetCursor() {
    // Removes the entry, saves and announces the change for the skin.
    SettingsStore::shared().setCursorOverride(std::nullopt, _skinName);
    loadCursor();
    showState();
}

void PaletteBrowserView::listSelectionChanged() {
    const QList<QListWidgetItem*> selected = _list->selectedItems();
    const QString id = selected.isEmpty() ? skinDefault() : selected.first()->data(Qt::UserRole).toString();
    if (id == _selection) return;
    applySelection(id);
}

void PaletteBrowserView::showState() {
    const std::optional<QString> overrideId = currentOverrideId();
    const std::optional<CuratedPalette> curated =
        overrideId ? CuratedPalettes::byId(*overrideId) : std::nullopt;
    _paletteName->setText(curated ? curated->name : QStringLiteral("Skin default"));

    {
        const QSignalBlocker blocker(_list);
        QListWidgetItem* match = nullptr;
        for (int row = 0; row < _list->count() && !match; ++row) {
            if (_list->item(row)->data(Qt::UserRole).toString() == _selection) match = _list->item(row);
        }
        // A stored id that names no curated palette selects no row.
        if (match) {
            _list->setCurrentItem(match);
        } else {
            _list->clearSelection();
        }
    }

    _well->setColor(_cursorColor);
    _resetCursor->setVisible(_cursorOverridden);

    const PreviewPalette colors = preview();
    _sample->setPreviewPalette(colors);
    const bool hasAnsi = colors.ansi.size() == 16;
    _strip->setColors(hasAnsi ? colors.ansi : QList<RgbColor>());
    _strip->setVisible(hasAnsi);
    _noAnsi->setVisible(!hasAnsi);
}

void PaletteBrowserView::showSampleFont() {
    _sample->setSampleFont(_model.fontName(), _model.fontSize());
}

} // namespace Quillaby
