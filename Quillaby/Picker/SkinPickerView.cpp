#include "Picker/SkinPickerView.h"

#include "App/AppPaths.h"
#include "App/SlimScrollBar.h"
#include "Picker/FolderCopy.h"
#include "Picker/SkinCard.h"
#include "Picker/SkinPickerModel.h"

#include <QDragEnterEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace Quillaby {

namespace {

const QColor background = QColor::fromRgbF(0.08f, 0.08f, 0.10f);
const QColor statusGreen(48, 209, 88);

// The dashed outline shown while a drag hovers over the window; it never takes the mouse.
class DropHighlight : public QWidget {
public:
    explicit DropHighlight(QWidget* parent)
        : QWidget(parent) {
        setObjectName(QStringLiteral("dropHighlight"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::Highlight), 3);
        // Dash lengths are in pen widths: 8 points on, 5 off.
        pen.setDashPattern({8.0 / 3, 5.0 / 3});
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(8, 8, -8, -8), 10, 10);
        p.drawPath(outline);
    }
};

QPushButton* headerButton(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::ArrowCursor);
    // A small bordered button that sits on the dark window.
    button->setStyleSheet(QStringLiteral(
        "QPushButton { color: rgba(255,255,255,0.88); background: rgba(255,255,255,0.10);"
        " border: 1px solid rgba(255,255,255,0.18); border-radius: 5px; padding: 2px 9px; font-size: 11px; }"
        "QPushButton:hover { background: rgba(255,255,255,0.16); }"
        "QPushButton:pressed { background: rgba(255,255,255,0.24); }"
        "QPushButton::menu-indicator { width: 0px; }"));
    return button;
}

bool acceptsDrag(const QMimeData* data) {
    return data && (data->hasUrls() || data->hasImage());
}

} // namespace

SkinPickerView::SkinPickerView(std::optional<QString> currentSkinId, Callbacks callbacks, QWidget* parent)
    : QWidget(parent)
    , _currentSkinId(std::move(currentSkinId))
    , _callbacks(std::move(callbacks))
    , _model(new SkinPickerModel(this)) {
    setObjectName(QStringLiteral("skinPickerView"));
    setAcceptDrops(true);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    _model->setAlertParent(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 16, 0, 10);
    column->setSpacing(14);
    column->addWidget(makeHeader());

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("skinGrid"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    styleSlimScrollBar(scroll->verticalScrollBar());
    _grid = new QWidget(scroll);
    _grid->setAutoFillBackground(false);
    _gridLayout = new QGridLayout(_grid);
    _gridLayout->setContentsMargins(16, 4, 16, 4);
    _gridLayout->setHorizontalSpacing(16);
    _gridLayout->setVerticalSpacing(16);
    for (int c = 0; c < columns; ++c) {
        _gridLayout->setColumnStretch(c, 1);
        _gridLayout->setColumnMinimumWidth(c, 10);
    }
    scroll->setWidget(_grid);
    column->addWidget(scroll, 1);

    _footer = new QLabel(this);
    _footer->setObjectName(QStringLiteral("footer"));
    _footer->setAlignment(Qt::AlignHCenter);
    _footer->setWordWrap(true);
    _footer->setContentsMargins(16, 0, 16, 0);
    QFont caption = font();
    caption.setPixelSize(11);
    _footer->setFont(caption);
    column->addWidget(_footer);

    _dropHighlight = new DropHighlight(this);
    _dropHighlight->hide();

    connect(_model, &SkinPickerModel::skinsChanged, this, &SkinPickerView::rebuildGrid);
    connect(_model, &SkinPickerModel::statusMessageChanged, this, &SkinPickerView::updateFooter);
    rebuildGrid();
    updateFooter();
}

QWidget* SkinPickerView::makeHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(8);

    auto* title = new QLabel(QStringLiteral("CHOOSE A SKIN"), header);
    title->setObjectName(QStringLiteral("title"));
    QFont titleFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    titleFont.setPixelSize(14);
    titleFont.setWeight(QFont::DemiBold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    title->setFont(titleFont);
    title->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.6);"));
    row->addWidget(title);
    row->addStretch(1);

    auto* import = headerButton(QStringLiteral("Import…"), header);
    import->setObjectName(QStringLiteral("importButton"));
    import->setToolTip(QStringLiteral("Install a skin folder or .zip, or start a new skin from an image"));
    // Linux file panels choose either folders or files: the two are offered side by side.
    auto* menu = new QMenu(import);
    QAction* folder = menu->addAction(QStringLiteral("Folder…"));
    folder->setObjectName(QStringLiteral("importFolder"));
    connect(folder, &QAction::triggered, this,
            [this] { importViaPanel(FileDialogRequest::Kind::OpenFolder); });
    QAction* file = menu->addAction(QStringLiteral("File…"));
    file->setObjectName(QStringLiteral("importFile"));
    connect(file, &QAction::triggered, this, [this] { importViaPanel(FileDialogRequest::Kind::OpenFile); });
    import->setMenu(menu);
    row->addWidget(import);

    auto* reload = headerButton(QStringLiteral("Reload"), header);
    reload->setObjectName(QStringLiteral("reloadButton"));
    connect(reload, &QPushButton::clicked, this, [this] { _model->reload(); });
    row->addWidget(reload);

    auto* open = headerButton(QStringLiteral("Open Folder"), header);
    open->setObjectName(QStringLiteral("openFolderButton"));
    connect(open, &QPushButton::clicked, this, &SkinPickerView::openSkinsFolder);
    row->addWidget(open);
    return header;
}

void SkinPickerView::rebuildGrid() {
    // A card may be the one whose button started this (a delete): it goes once its click is over.
    for (SkinCard* card : std::as_const(_cards)) {
        _gridLayout->removeWidget(card);
        card->hide();
        card->deleteLater();
    }
    _cards.clear();
    const QList<SkinManifest>& skins = _model->skins();
    for (int i = 0; i < skins.size(); ++i) {
        const SkinManifest& skin = skins[i];
        const bool isCurrent = _currentSkinId && *_currentSkinId == skin.id;
        auto* card = new SkinCard(skin, skin.userFolderURL(), isCurrent, _grid);
        card->setObjectName(QStringLiteral("card:") + skin.id);
        card->onSelect = [this, skin] {
            if (_callbacks.onSelect) _callbacks.onSelect(skin);
        };
        card->onEdit = [this](const QString& folder) {
            if (_callbacks.onEdit) _callbacks.onEdit(folder);
        };
        card->onDelete = [this, skin] { _model->deleteSkin(skin); };
        _gridLayout->addWidget(card, i / columns, i % columns, Qt::AlignTop);
        _cards.append(card);
    }
    // Rows keep their height; the room below the last one stays empty.
    for (int r = 0; r < _gridLayout->rowCount(); ++r)
        _gridLayout->setRowStretch(r, 0);
    _gridLayout->setRowStretch((int(skins.size()) + columns - 1) / columns, 1);
}

void SkinPickerView::updateFooter() {
    const std::optional<QString>& status = _model->statusMessage();
    _footer->setText(status ? *status : QString::fromUtf8(hint));
    QPalette colours = _footer->palette();
    colours.setColor(QPalette::WindowText, status ? statusGreen : QColor(255, 255, 255, 115));
    _footer->setPalette(colours);
}

void SkinPickerView::openSkinsFolder() {
    FolderCopy::makePath(AppPaths::skinsDir(), nullptr);
    AppHooks::current().openUrl(QUrl::fromLocalFile(AppPaths::skinsDir()));
}

void SkinPickerView::importViaPanel(FileDialogRequest::Kind kind) {
    FileDialogRequest request;
    request.kind = kind;
    request.title = QStringLiteral("Import Skin");
    if (kind == FileDialogRequest::Kind::OpenFile) {
        request.suffixes = QStringList{QStringLiteral("zip")} + SkinPickerModel::imageExtensions().values();
        std::sort(request.suffixes.begin() + 1, request.suffixes.end());
    }
    request.parent = window();
    const QString chosen = AppHooks::current().runFileDialog(request);
    if (chosen.isEmpty()) return;
    _model->importItem(chosen, _callbacks.onImportImage);
}

void SkinPickerView::setTargeted(bool targeted) {
    if (_isTargeted == targeted) return;
    _isTargeted = targeted;
    _dropHighlight->setVisible(targeted);
    if (targeted) _dropHighlight->raise();
}

void SkinPickerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    _dropHighlight->setGeometry(rect());
}

void SkinPickerView::dragEnterEvent(QDragEnterEvent* event) {
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setTargeted(true);
}

void SkinPickerView::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrag(event->mimeData())) event->acceptProposedAction();
}

void SkinPickerView::dragLeaveEvent(QDragLeaveEvent* event) {
    QWidget::dragLeaveEvent(event);
    setTargeted(false);
}

void SkinPickerView::dropEvent(QDropEvent* event) {
    setTargeted(false);
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        // A web image without a file behind it brings nothing to import.
        if (url.isLocalFile()) files.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    // The drag source is answered first; the imports, with their alerts, follow in order.
    QTimer::singleShot(0, this, [this, files] {
        for (const QString& file : files)
            _model->importItem(file, _callbacks.onImportImage);
    });
}

} // namespace Quillaby
