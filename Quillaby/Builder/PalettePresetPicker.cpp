#include "Builder/PalettePresetPicker.h"

#include "Settings/HexColor.h"

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace Quillaby {

namespace {

constexpr int paletteRole = Qt::UserRole;
constexpr int currentRole = Qt::UserRole + 1;

// A row: the name, and 3 points below it the ANSI swatches, 9 x 12 with 1 point gaps, the strip's outer
// corners rounded. Painted only for rows in view.
class PaletteRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), 5 + option.fontMetrics.height() + 3 + 12 + 5 + 1);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        if (option.state & QStyle::State_MouseOver)
            painter->fillRect(option.rect, option.palette.color(QPalette::AlternateBase));
        const QRect inner = option.rect.adjusted(8, 5, -8, -6);
        QFont font = option.font;
        font.setPixelSize(11);
        painter->setFont(font);
        const bool current = index.data(currentRole).toBool();
        painter->setPen(option.palette.color(current ? QPalette::Highlight : QPalette::WindowText));
        const QFontMetrics metrics(font);
        painter->drawText(QRect(inner.left(), inner.top(), inner.width(), metrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        const QStringList ansi = index.data(paletteRole).toStringList();
        const int top = inner.top() + metrics.height() + 3;
        QPainterPath strip;
        strip.addRoundedRect(QRectF(inner.left(), top, ansi.size() * 10 - 1, 12), 2, 2);
        painter->setClipPath(strip);
        for (qsizetype i = 0; i < ansi.size(); ++i) {
            const std::optional<RgbColor> colour = hexColor(ansi[i]);
            painter->fillRect(QRect(inner.left() + int(i) * 10, top, 9, 12),
                              colour ? colour->toQColor() : QColor(Qt::black));
        }
        painter->setClipping(false);
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

PalettePresetPicker::PalettePresetPicker(QWidget* parent)
    : QToolButton(parent)
    , _popup(new QFrame(this, Qt::Popup))
    , _filter(new QLineEdit(_popup))
    , _list(new QListWidget(_popup)) {
    setToolTip(QStringLiteral("Browse curated palettes with a live 16-color preview"));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIcon(QIcon::fromTheme(QStringLiteral("preferences-desktop-color")));
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    _popup->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(_popup);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->setSpacing(6);
    _filter->setPlaceholderText(QStringLiteral("Filter palettes…"));
    _filter->setClearButtonEnabled(true);
    layout->addWidget(_filter);
    _list->setFixedSize(250, 340);
    _list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    _list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _list->setUniformItemSizes(true);
    _list->setMouseTracking(true);
    _list->setFrameShape(QFrame::NoFrame);
    _list->setItemDelegate(new PaletteRowDelegate(_list));
    layout->addWidget(_list);
    for (const CuratedPalette& palette : CuratedPalettes::all()) {
        auto* item = new QListWidgetItem(palette.name, _list);
        item->setData(paletteRole, QStringList(palette.ansi));
        item->setData(Qt::UserRole + 2, palette.id);
    }

    connect(_filter, &QLineEdit::textChanged, this, [this] { refilter(); });
    connect(_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { choose(_list->row(item)); });
    connect(this, &QToolButton::clicked, this, [this] { setOpen(!isOpen()); });
    setCurrent(std::nullopt);
}

void PalettePresetPicker::setCurrent(const std::optional<QString>& id) {
    _current = id;
    setText(currentName() + QStringLiteral("  ↕"));
    for (int row = 0; row < _list->count(); ++row) {
        QListWidgetItem* item = _list->item(row);
        item->setData(currentRole, id && item->data(Qt::UserRole + 2).toString() == *id);
    }
}

QString PalettePresetPicker::currentName() const {
    if (!_current) return QStringLiteral("Presets");
    if (std::optional<CuratedPalette> palette = CuratedPalettes::byId(*_current)) return palette->name;
    return QStringLiteral("Presets");
}

QString PalettePresetPicker::query() const {
    return _filter->text();
}

void PalettePresetPicker::setQuery(const QString& query) {
    _filter->setText(query);
}

QList<CuratedPalette> PalettePresetPicker::filtered() const {
    const QString q = query();
    QList<CuratedPalette> result;
    for (const CuratedPalette& palette : CuratedPalettes::all())
        if (q.isEmpty() || palette.name.contains(q, Qt::CaseInsensitive)) result.append(palette);
    return result;
}

void PalettePresetPicker::refilter() {
    const QString q = query();
    const QList<CuratedPalette>& all = CuratedPalettes::all();
    for (int row = 0; row < _list->count(); ++row)
        _list->setRowHidden(row, !(q.isEmpty() || all[row].name.contains(q, Qt::CaseInsensitive)));
}

bool PalettePresetPicker::isOpen() const {
    return _popup->isVisible();
}

void PalettePresetPicker::setOpen(bool open) {
    if (!open) {
        _popup->hide();
        return;
    }
    _popup->adjustSize();
    _popup->move(mapToGlobal(QPoint(0, height())));
    _popup->show();
    _filter->setFocus();
}

void PalettePresetPicker::choose(int row) {
    const QList<CuratedPalette>& all = CuratedPalettes::all();
    if (row < 0 || row >= all.size() || _list->isRowHidden(row)) return;
    const CuratedPalette palette = all[row];
    if (onPick) onPick(palette);
    setOpen(false);
}

} // namespace Quillaby
