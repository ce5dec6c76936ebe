#include "Windows/ShellView.h"

#include "App/AppHooks.h"
#include "App/LaunchTrace.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Settings/SettingsStore.h"

#include "QtExecutor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

// Families that stand in for a missing one, tried in order.
struct FamilySubstitute {
    QLatin1String name;
    QLatin1String substitute;
};
constexpr FamilySubstitute familySubstitutes[] = {
    {QLatin1String("JetBrainsMono NF"), QLatin1String("JetBrains Mono")},
    {QLatin1String("JetBrainsMono Nerd Font"), QLatin1String("JetBrains Mono")},
    {QLatin1String("JetBrainsMono Nerd Font Mono"), QLatin1String("JetBrains Mono")},
};

// Settings give sizes in logical pixels; Qt sizes fonts in typographic points.
double pointsForPixels(double pixels) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen && screen->logicalDotsPerInchY() > 0 ? screen->logicalDotsPerInchY() : 96;
    return pixels * 72 / dpi;
}

QString withoutSpaces(QString text) {
    return text.remove(QLatin1Char(' '));
}

// A face named by its full name ("Family Style") or its PostScript-style name ("Family-Style" without
// spaces), as font pickers elsewhere store them.
std::optional<QFont> faceNamed(const QString& name, const QStringList& families, double points) {
    for (const QString& family : families) {
        if (!name.startsWith(family, Qt::CaseInsensitive) && !name.startsWith(withoutSpaces(family)))
            continue;
        for (const QString& style : QFontDatabase::styles(family)) {
            const bool fullName = name == family + QLatin1Char(' ') + style;
            const bool postScriptName =
                name == withoutSpaces(family) + QLatin1Char('-') + withoutSpaces(style);
            if (fullName || postScriptName) {
                QFont font = QFontDatabase::font(family, style, 12);
                font.setPointSizeF(points);
                return font;
            }
        }
    }
    return std::nullopt;
}

// The size a shell started ahead of its view is given: the classic terminal's, until the view has one.
class StartingSize final : public Tessaline::LocalProcessDelegate {
public:
    void processTerminated(Tessaline::LocalProcess&, std::optional<int32_t>) override {}
    void dataReceived(std::span<const uint8_t>) override {}
    winsize getWindowSize() override { return winsize{24, 80, 0, 0}; }
};

QFont familyFont(const QString& family, double points) {
    QFont font(family);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points);
    return font;
}

} // namespace

ShellView::ShellView(const QRect& frame, QWidget* parent)
    : QWidget(parent) {
    if (frame.isValid()) setGeometry(frame);
    const SettingsStore& settings = SettingsStore::shared();
    _fontSize = settings.fontSize();
    _fontName = settings.fontName();
    _currentDirectory = QDir::homePath();
    setFocusPolicy(Qt::NoFocus);
    NotificationCenter::defaultCenter().addObserver(QString(SettingsStore::fontDidChange), this,
                                                    [this](const Notification&) { fontSettingsChanged(); });
}

ShellView::~ShellView() {
    NotificationCenter::defaultCenter().removeObservers(this);
}

void ShellView::startSession(const std::optional<QString>& shell,
                             const std::optional<SkinManifest::TerminalPalette>& palette) {
    if (_terminal) return;
    const QString program = shellToStart(shell, SettingsStore::shared().defaultShell());

    // The shell starts before the view measures its font and sets up its scroll bar (which joins the
    // accessibility bus): tens of milliseconds of its own start-up pass meanwhile. Its first size is a
    // guess that the view corrects as it takes the process over.
    StartingSize startingSize;
    auto process = std::make_unique<Tessaline::LocalProcess>(&startingSize, Tessaline::QtExecutor::main());
    process->startProcess(program.toStdString(), {}, std::nullopt, loginName(program).toStdString(),
                          QDir::homePath().toStdString());
    LaunchTrace::mark("shell started");

    auto* terminal = new Tessaline::LocalProcessTerminalView(
        std::move(process), rect().marginsRemoved(_margins), this, resolveFont(_fontName, _fontSize));
    terminal->setProcessDelegate(this);
    applyColors(*terminal, palette);
    terminal->show();
    _terminal = terminal;
    LaunchTrace::mark("terminal view made");
    LaunchTrace::watchForPrompt(terminal);
}

void ShellView::applyColors(Tessaline::TerminalView& view,
                            const std::optional<SkinManifest::TerminalPalette>& palette) {
    const QColor foreground = palette ? palette->foreground.toQColor() : QColor::fromRgbF(0.9f, 0.9f, 0.9f);
    const QColor background =
        palette ? palette->background.toQColor() : QColor::fromRgbF(0.04f, 0.04f, 0.06f);
    view.setNativeForegroundColor(foreground);
    view.setNativeBackgroundColor(background);
    view.setCaretColor(palette && palette->cursor ? palette->cursor->toQColor() : foreground);
    view.setCaretTextColor(background);
    if (palette && palette->ansi && palette->ansi->size() == 16) {
        std::vector<Tessaline::Color> colors;
        colors.reserve(16);
        for (const RgbColor& color : *palette->ansi)
            colors.push_back(toTessalineColor(color));
        view.installColors(colors);
    }
}

QString ShellView::shellToStart(const std::optional<QString>& given, const QString& configured) {
    if (given) return *given;
    const QFileInfo info(configured);
    if (!configured.isEmpty() && info.isFile() && info.isExecutable()) return configured;
    Log::write(QStringLiteral("Shell \"%1\" cannot be run; starting %2").arg(configured, fallbackShell));
    return fallbackShell;
}

QString ShellView::loginName(const QString& shellPath) {
    return QLatin1Char('-') + QFileInfo(shellPath).fileName();
}

Tessaline::Color ShellView::toTessalineColor(const RgbColor& color) {
    auto channel = [](double component) -> uint16_t {
        if (std::isnan(component)) return 0;
        return uint16_t(std::clamp(std::trunc(component * 65535), 0.0, 65535.0));
    };
    return Tessaline::Color(channel(color.red), channel(color.green), channel(color.blue));
}

std::optional<QString> ShellView::familyFor(const QString& name, const QStringList& installed) {
    if (installed.contains(name)) return name;
    for (const FamilySubstitute& entry : familySubstitutes)
        if (name == entry.name && installed.contains(entry.substitute)) return QString(entry.substitute);
    return std::nullopt;
}

QFont ShellView::resolveFont(const QString& name, double size) {
    const double points = pointsForPixels(size);
    const QStringList families = QFontDatabase::families();
    if (std::optional<QFont> face = faceNamed(name, families, points)) return *face;
    if (std::optional<QString> family = familyFor(name, families)) return familyFont(*family, points);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setWeight(QFont::Normal);
    font.setPointSizeF(points);
    return font;
}

QString ShellView::directoryFromReport(const QString& report) {
    const QUrl url(report, QUrl::StrictMode);
    if (url.isValid() && url.isLocalFile()) return url.path(QUrl::FullyDecoded);
    return QString(report).remove(QStringLiteral("file://"));
}

void ShellView::changeFontSize(double delta) {
    _fontSize = std::clamp(_fontSize + delta, SettingsStore::minimumFontSize, SettingsStore::maximumFontSize);
    SettingsStore& settings = SettingsStore::shared();
    // The store announces the change, and every session (this one too) takes the font from it.
    if (settings.fontSize() != _fontSize) settings.setFontSize(_fontSize);
    if (_terminal) {
        _terminal->setFont(resolveFont(_fontName, _fontSize));
        _terminal->update();
    }
}

void ShellView::applyFontFromSettings() {
    const SettingsStore& settings = SettingsStore::shared();
    _fontName = settings.fontName();
    _fontSize = settings.fontSize();
    if (_terminal) {
        _terminal->setFont(resolveFont(_fontName, _fontSize));
        _terminal->update();
    }
}

void ShellView::fontSettingsChanged() {
    applyFontFromSettings();
}

void ShellView::sizeChanged(Tessaline::LocalProcessTerminalView&, int, int) {}

void ShellView::setTerminalTitle(Tessaline::LocalProcessTerminalView&, const std::string&) {}

void ShellView::hostCurrentDirectoryUpdate(Tessaline::TerminalView&,
                                           const std::optional<std::string>& directory) {
    if (!directory) return;
    const QString path = directoryFromReport(QString::fromStdString(*directory));
    QTimer::singleShot(0, this, [this, path] { storeDirectory(path); });
}

void ShellView::storeDirectory(const QString& path) {
    _currentDirectory = path;
    postStateChange();
    refreshGitStatus();
}

void ShellView::refreshGitStatus() {
    const QString directory = _currentDirectory;
    GitStatus& git = GitStatus::shared();
    if (std::optional<GitState> fresh = git.freshEntry(directory, AppHooks::current().now())) {
        takeGitState(*fresh);
        return;
    }
    git.request(directory, this, [this](const GitState& state) { takeGitState(state); });
}

void ShellView::takeGitState(const GitState& state) {
    _gitBranch = state.branch;
    _gitDirty = state.dirty;
    postStateChange();
}

void ShellView::postStateChange() {
    NotificationCenter::defaultCenter().post(QString(shellStateDidChange),
                                             QVariant::fromValue<QObject*>(this));
}

void ShellView::processTerminated(Tessaline::TerminalView&, std::optional<int32_t> exitCode) {
    const int code = exitCode.value_or(-1);
    QTimer::singleShot(0, this, [this, code] {
        Log::write(QStringLiteral("Shell exited with code %1").arg(code));
        if (_terminal)
            _terminal->feed(
                QStringLiteral("\r\n\r\n  [Process exited with code %1]").arg(code).toStdString());
    });
}

void ShellView::wheelEvent(QWheelEvent* event) {
    // A wheel event the terminal view leaves comes back up here; it is not sent down a second time.
    if (!_terminal || _forwardingWheel) {
        event->ignore();
        return;
    }
    _forwardingWheel = true;
    QCoreApplication::sendEvent(_terminal, event);
    _forwardingWheel = false;
}

void ShellView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (_terminal) fitHidden(*_terminal, rect().marginsRemoved(_margins));
}

void ShellView::paintEvent(QPaintEvent*) {
    if (!_terminal) return;
    QPainter painter(this);
    painter.fillRect(rect(), _terminal->nativeBackgroundColor());
}

QMargins ShellView::terminalMarginsFor(double cornerRadius) {
    if (!(cornerRadius > 0) || !std::isfinite(cornerRadius)) return terminalMargins;
    // A cell's outer corner at (d, d) lies inside a rounding of radius r once d >= r (1 - 1/sqrt 2).
    const int inset = int(std::ceil(cornerRadius * (1 - 1 / std::sqrt(2.0))));
    return QMargins(std::max(terminalMargins.left(), inset), std::max(terminalMargins.top(), inset),
                    std::max(terminalMargins.right(), inset), std::max(terminalMargins.bottom(), inset));
}

void ShellView::setScreenCornerRadius(double radius) {
    const QMargins margins = terminalMarginsFor(radius);
    if (margins == _margins) return;
    _margins = margins;
    if (_terminal) fitHidden(*_terminal, rect().marginsRemoved(_margins));
}

void ShellView::fitHidden(QWidget& widget, const QRect& frame) {
    const QSize old = widget.size();
    widget.setGeometry(frame);
    // Qt holds back the resize of a hidden widget until it shows; a hidden session's shell should know
    // its size all along, as programs in background tabs keep writing.
    if (!widget.isVisible() && old != frame.size()) {
        QResizeEvent resize(frame.size(), old);
        QCoreApplication::sendEvent(&widget, &resize);
    }
}

} // namespace Quillaby
