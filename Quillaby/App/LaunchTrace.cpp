#include "App/LaunchTrace.h"

#include "TerminalView.h"

#include <QEvent>
#include <QFile>
#include <QPointer>

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace Quillaby {

namespace {

// The process's start on the boot clock, in seconds: field 22 of /proc/self/stat, in clock ticks.
double processStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces and parentheses: the fields count from the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int startTimeAfterName = 22 - 3;
    if (fields.size() <= startTimeAfterName) return 0;
    return fields[startTimeAfterName].toDouble() / double(sysconf(_SC_CLK_TCK));
}

double bootSeconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

class PromptWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        const auto* view = static_cast<Tessaline::TerminalView*>(watched);
        const Tessaline::Terminal& terminal = view->terminal();
        if (terminal.buffer().x() == 0 && terminal.buffer().y() == 0) return false;
        LaunchTrace::mark("prompt painted");
        watched->removeEventFilter(this);
        deleteLater();
        return false;
    }
};

} // namespace

bool LaunchTrace::enabled() {
    static const bool on = qEnvironmentVariableIntValue("QUILLABY_TRACE_LAUNCH") == 1;
    return on;
}

void LaunchTrace::mark(const char* milestone) {
    if (!enabled()) return;
    static const double start = processStart();
    std::fprintf(stderr, "[launch] %7.1f ms %s\n", (bootSeconds() - start) * 1000, milestone);
}

void LaunchTrace::watchForPrompt(QWidget* terminalView) {
    static bool watched = false;
    if (!enabled() || watched || !qobject_cast<Tessaline::TerminalView*>(terminalView)) return;
    watched = true;
    terminalView->installEventFilter(new PromptWatch(terminalView));
}

} // namespace Quillaby
