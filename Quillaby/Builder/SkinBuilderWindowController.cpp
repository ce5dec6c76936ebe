#include "Builder/SkinBuilderWindowController.h"

#include "Builder/CanvasView.h"
#include "Builder/PreviewWindow.h"
#include "Builder/PropertiesPanel.h"
#include "Builder/SkinBuilderModel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace Quillaby {

namespace {

QLabel* dimmed(const QString& text, int pixels, QFont::Weight weight, double opacity) {
    auto* label = new QLabel(text);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixels);
    font.setWeight(weight);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    QPalette palette = label->palette();
    QColor colour = palette.color(QPalette::Active, QPalette::WindowText);
    colour.setAlphaF(float(0.55 * opacity));
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

DropZoneView::DropZoneView(SkinBuilderModel& model, QWidget* parent)
    : QWidget(parent)
    , _model(model) {
    setAcceptDrops(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* icon = new QLabel;
    icon->setPixmap(
        QIcon::fromTheme(QStringLiteral("image-x-generic"), style()->standardIcon(QStyle::SP_DirIcon))
            .pixmap(48, 48));
    icon->setAlignment(Qt::AlignCenter);
    auto* choose = new QPushButton(QStringLiteral("Choose File..."));
    connect(choose, &QPushButton::clicked, &_model, &SkinBuilderModel::openImage);
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(16);
    stack->addStretch(1);
    stack->addWidget(icon);
    stack->addWidget(dimmed(QStringLiteral("Drop a skin image here"), 18, QFont::Medium, 1));
    stack->addWidget(
        dimmed(QStringLiteral("PNG (recommended) · JPG / HEIC — auto-converted to PNG on install"), 12,
               QFont::Normal, 0.6));
    stack->addWidget(choose, 0, Qt::AlignHCenter);
    stack->addStretch(1);
}

void DropZoneView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void DropZoneView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void DropZoneView::dropEvent(QDropEvent* event) {
    if (dropUrls(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

bool DropZoneView::dropUrls(const QList<QUrl>& urls) {
    if (urls.isEmpty()) return false;
    // Only the first item; one that is no local file does nothing.
    const QUrl first = urls.first();
    if (!first.isLocalFile()) return true;
    const QString path = first.toLocalFile();
    QMetaObject::invokeMethod(
        &_model, [model = &_model, path] { model->loadImage(path); }, Qt::QueuedConnection);
    return true;
}

SkinBuilderView::SkinBuilderView(SkinBuilderModel& model, QWidget* parent)
    : QWidget(parent)
    , _model(model)
    , _work(new QStackedWidget)
    , _dropZone(new DropZoneView(model))
    , _canvas(new CanvasView(model))
    , _properties(new PropertiesPanel(model)) {
    setMinimumSize(minimumWidth, minimumHeight);
    _work->addWidget(_dropZone);
    _work->addWidget(_canvas);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(_work, 1);
    layout->addWidget(line);
    layout->addWidget(_properties);
    connect(&_model, &SkinBuilderModel::imageChanged, this, &SkinBuilderView::follow);
    connect(&_model, &SkinBuilderModel::changed, this, &SkinBuilderView::follow);
    follow();
}

QWidget* SkinBuilderView::workArea() const {
    return _work->currentWidget();
}

void SkinBuilderView::follow() {
    QWidget* wanted = _model.skinImage() ? static_cast<QWidget*>(_canvas) : _dropZone;
    if (_work->currentWidget() == wanted) return;
    _work->setCurrentWidget(wanted);
    if (wanted == _canvas) _canvas->setFocus();
}

SkinBuilderWindowController::SkinBuilderWindowController()
    : _model(std::make_unique<SkinBuilderModel>())
    , _window(std::make_unique<QWidget>()) {
    _window->setWindowTitle(QStringLiteral("Quillaby Skin Builder"));
    auto* layout = new QVBoxLayout(_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    _view = new SkinBuilderView(*_model);
    layout->addWidget(_view);
    // The content may never be smaller than its minimum, so the window opens at least 940 wide.
    _window->resize(std::max(900, SkinBuilderView::minimumWidth),
                    std::max(700, SkinBuilderView::minimumHeight));
    if (QScreen* screen = _window->screen()) {
        const QRect area = screen->availableGeometry();
        _window->move(area.center() - QPoint(_window->width() / 2, _window->height() / 2));
    }
    _preview = std::make_unique<PreviewWindowController>(*_model);
}

SkinBuilderWindowController::~SkinBuilderWindowController() {
    _preview.reset();
    _window.reset();
}

void SkinBuilderWindowController::showWindow() {
    _window->show();
    _window->raise();
    _window->activateWindow();
}

} // namespace Quillaby
