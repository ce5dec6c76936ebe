#include "Services/AboutWindowController.h"

#include "App/AppInfo.h"
#include "Services/AboutStyle.h"
#include "Services/SymbolImage.h"
#include "Services/WebService.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace Quillaby {

namespace {

constexpr int windowWidth = 360;
constexpr int windowHeight = 420;

} // namespace

AboutView::AboutView(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(windowWidth, windowHeight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    column->addSpacing(20);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("symbol"));
    icon->setPixmap(SymbolImage::pixmap(SymbolImage::Symbol::TerminalFill, 64,
                                        palette().color(QPalette::Highlight), devicePixelRatioF()));
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("Quillaby"), this);
    name->setFont(AboutStyle::displayFont(28, QFont::DemiBold));
    column->addWidget(name, 0, Qt::AlignHCenter);

    auto* version =
        AboutStyle::label(QStringLiteral("Version %1 (%2)").arg(AppInfo::shortVersion(), AppInfo::build()),
                          AboutStyle::Text::Caption, this);
    version->setObjectName(QStringLiteral("version"));
    AboutStyle::setTextColor(version, AboutStyle::secondary(palette()));
    column->addWidget(version, 0, Qt::AlignHCenter);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    auto* dividerRow = new QHBoxLayout;
    dividerRow->setContentsMargins(40, 0, 40, 0);
    dividerRow->addWidget(divider);
    column->addLayout(dividerRow);

    auto* tagline = new QVBoxLayout;
    tagline->setSpacing(4);
    tagline->addWidget(AboutStyle::label(QStringLiteral("A native skinnable terminal for Linux."),
                                         AboutStyle::Text::Callout, this),
                       0, Qt::AlignHCenter);
    auto* engine =
        AboutStyle::label(QStringLiteral("Terminal engine: Tessaline"), AboutStyle::Text::Caption, this);
    AboutStyle::setTextColor(engine, AboutStyle::secondary(palette()));
    tagline->addWidget(engine, 0, Qt::AlignHCenter);
    column->addLayout(tagline);

    column->addStretch(1);

    auto* website = AboutStyle::linkButton(QStringLiteral("Website"), AboutStyle::Text::Callout, this);
    website->setObjectName(QStringLiteral("website"));
    connect(website, &QPushButton::clicked, this,
            [] { WebService::openInBrowser(WebService::homePage().toString()); });
    column->addWidget(website, 0, Qt::AlignHCenter);
    // As much room under the link as above the symbol.
    column->addSpacing(20);
}

AboutWindowController& AboutWindowController::shared() {
    // Kept until the process ends, like the window it holds.
    static auto* controller = new AboutWindowController;
    return *controller;
}

AboutWindowController::AboutWindowController() {
    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint);
    window->setObjectName(QStringLiteral("aboutWindow"));
    window->setWindowTitle(QStringLiteral("About Quillaby"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new AboutView(window));
    window->setFixedSize(windowWidth, windowHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(windowWidth / 2, windowHeight / 2));
    }
    _window = window;
}

void AboutWindowController::showWindow() {
    if (!_window) return;
    _window->show();
    _window->raise();
    _window->activateWindow();
}

} // namespace Quillaby
