#pragma once

#include <QString>
#include <QStringList>

namespace Quillaby {

// The application's diagnostics: one line per call, "[Quillaby] " and the text, on standard error.
// Safe from any thread; lines never interleave.
class Log {
public:
    static void write(const QString& text);
};

// While one exists, lines are collected here instead of going to standard error, so tests can compare
// exact log texts. Captures nest: the innermost one receives the lines.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Whole lines, "[Quillaby] " included, in the order written.
    QStringList lines() const;
    void clear();

private:
    friend class Log;
    LogCapture* _outer = nullptr;
    QStringList _lines;
};

} // namespace Quillaby
