#include "App/Log.h"

#include <cstdio>
#include <mutex>

namespace Quillaby {

namespace {
std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

LogCapture*& innermostCapture() {
    static LogCapture* capture = nullptr;
    return capture;
}
} // namespace

void Log::write(const QString& text) {
    QString line = QStringLiteral("[Quillaby] ") + text;
    std::lock_guard lock(logMutex());
    if (LogCapture* capture = innermostCapture()) {
        capture->_lines.append(line);
        return;
    }
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

LogCapture::LogCapture() {
    std::lock_guard lock(logMutex());
    _outer = innermostCapture();
    innermostCapture() = this;
}

LogCapture::~LogCapture() {
    std::lock_guard lock(logMutex());
    innermostCapture() = _outer;
}

QStringList LogCapture::lines() const {
    std::lock_guard lock(logMutex());
    return _lines;
}

void LogCapture::clear() {
    std::lock_guard lock(logMutex());
    _lines.clear();
}

} // namespace Quillaby
