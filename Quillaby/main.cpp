// For now one plain window with the user's login shell in it; the device window takes its place later.
#include "LocalProcessTerminalView.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QResizeEvent>
#include <QWidget>

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace {

struct LoginShell {
    std::string path;
    std::string home;
};

// The shell of the password database, else $SHELL, else /bin/sh; the home folder likewise.
LoginShell loginShell() {
    LoginShell shell;
    if (const passwd* entry = getpwuid(getuid())) {
        if (entry->pw_shell && *entry->pw_shell) shell.path = entry->pw_shell;
        if (entry->pw_dir && *entry->pw_dir) shell.home = entry->pw_dir;
    }
    if (shell.path.empty() || access(shell.path.c_str(), X_OK) != 0) {
        const char* env = std::getenv("SHELL");
        shell.path = env && *env && access(env, X_OK) == 0 ? env : "/bin/sh";
    }
    if (shell.home.empty()) {
        const char* env = std::getenv("HOME");
        shell.home = env && *env ? env : "/";
    }
    return shell;
}

QFont terminalFont(const Tessaline::TerminalView& view) {
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"DejaVu Sans Mono", "JetBrains Mono"}) {
        if (families.contains(QString::fromLatin1(family))) {
            QFont font(QString::fromLatin1(family));
            font.setStyleHint(QFont::Monospace);
            return view.fontWithSize(font, 13);
        }
    }
    return Tessaline::TerminalView::defaultFont();
}

// Closes the window when the shell ends.
class ShellWindow final : public QWidget, public Tessaline::LocalProcessTerminalViewDelegate {
public:
    ShellWindow() {
        setWindowTitle(QStringLiteral("Quillaby"));
        _view = new Tessaline::LocalProcessTerminalView(QRect(0, 0, 640, 400), this);
        _view->setFont(terminalFont(*_view));
        _view->setProcessDelegate(this);
        _view->resizeTerminal(80, 24);
        const QRectF frame = _view->getOptimalFrameSize();
        resize(int(std::ceil(frame.width())), int(std::ceil(frame.height())));
        setFocusProxy(_view);
        // The edit commands on the Ctrl+Shift chord, which the view leaves to the window.
        using Command = Tessaline::TerminalView::EditCommand;
        for (auto [keys, command] :
             {std::pair{Qt::Key_C, Command::copy}, std::pair{Qt::Key_V, Command::paste},
              std::pair{Qt::Key_A, Command::selectAll}, std::pair{Qt::Key_F, Command::showFind},
              std::pair{Qt::Key_G, Command::findNext}}) {
            auto* action = new QAction(this);
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | keys));
            connect(action, &QAction::triggered, this, [this, command = command] {
                if (_view->isCommandEnabled(command)) _view->performCommand(command);
            });
            addAction(action);
        }
    }

    void start() {
        const LoginShell shell = loginShell();
        const std::string name = std::filesystem::path(shell.path).filename().string();
        _view->startProcess(shell.path, {}, std::nullopt, "-" + name, shell.home);
        _view->setFocus();
    }

    void sizeChanged(Tessaline::LocalProcessTerminalView&, int, int) override {}
    void setTerminalTitle(Tessaline::LocalProcessTerminalView&, const std::string&) override {}
    void hostCurrentDirectoryUpdate(Tessaline::TerminalView&, const std::optional<std::string>&) override {}
    void processTerminated(Tessaline::TerminalView&, std::optional<int32_t> exitCode) override {
        std::fprintf(stderr, "[Quillaby] Shell exited with code %d\n", exitCode.value_or(-1));
        close();
    }

protected:
    void resizeEvent(QResizeEvent*) override { _view->setGeometry(rect()); }

private:
    Tessaline::LocalProcessTerminalView* _view = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillaby"));
    ShellWindow window;
    window.show();
    window.start();
    return QApplication::exec();
}
