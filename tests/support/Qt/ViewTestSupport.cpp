#include "ViewTestSupport.h"

#include "FakeDelegate.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace QuillabyTest {

using Tessaline::Testing::FakeDelegate;

namespace {

std::string escaped(std::span<const uint8_t> data) {
    return FakeDelegate::escape(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

} // namespace

bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    return done();
}

QFont testFont(double pixelSize) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(int(pixelSize));
    return font;
}

std::string halvesPng(QSize size) {
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(Qt::green);
    QPainter(&picture).fillRect(QRect(0, 0, size.width() / 2, size.height()), Qt::red);
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    picture.save(&out, "PNG");
    return bytes.toBase64().toStdString();
}

std::string screenText(Tessaline::TerminalView& view) {
    Tessaline::Terminal& terminal = view.terminal();
    Tessaline::Buffer& buffer = terminal.displayBuffer();
    std::vector<std::string> rows;
    for (int r = 0; r < buffer.rows(); ++r) {
        const int index = buffer.yDisp() + r;
        if (index >= buffer.lines().count()) break;
        const Tessaline::BufferLine& line = *buffer.lines()[index];
        std::string text;
        for (int c = 0; c < std::min(line.count(), buffer.cols()); ++c) {
            const Tessaline::CharData& cell = line[c];
            if (cell.width() == 0) continue;
            text += cell.code == 0 ? std::string(" ") : terminal.character(cell.code);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        rows.push_back(text);
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    std::string out;
    for (size_t i = 0; i < rows.size(); ++i)
        out += (i ? "\n" : "") + rows[i];
    return out;
}

std::vector<std::string> RecordingViewDelegate::take() {
    return std::exchange(log, {});
}

void RecordingViewDelegate::sizeChanged(Tessaline::TerminalView&, int newCols, int newRows) {
    log.push_back("sizeChanged " + std::to_string(newCols) + "x" + std::to_string(newRows));
}

void RecordingViewDelegate::setTerminalTitle(Tessaline::TerminalView&, const std::string& title) {
    log.push_back("title " + title);
}

void RecordingViewDelegate::hostCurrentDirectoryUpdate(Tessaline::TerminalView&,
                                                       const std::optional<std::string>& directory) {
    log.push_back("directory " + directory.value_or("none"));
}

void RecordingViewDelegate::send(Tessaline::TerminalView&, std::span<const uint8_t> data) {
    log.push_back("send " + escaped(data));
}

void RecordingViewDelegate::scrolled(Tessaline::TerminalView&, double position) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", position);
    log.push_back(std::string("scrolled ") + text);
}

void RecordingViewDelegate::requestOpenLink(Tessaline::TerminalView&, const std::string& link,
                                            const std::map<std::string, std::string>&) {
    log.push_back("openLink " + link);
}

void RecordingViewDelegate::bell(Tessaline::TerminalView&) {
    log.push_back("bell");
}

void RecordingViewDelegate::clipboardCopy(Tessaline::TerminalView&, const std::vector<uint8_t>& content) {
    log.push_back("clipboard " + escaped(content));
}

void RecordingViewDelegate::iTermContent(Tessaline::TerminalView&, std::span<const uint8_t> content) {
    log.push_back("iTerm " + escaped(content));
}

void RecordingViewDelegate::rangeChanged(Tessaline::TerminalView&, int startY, int endY) {
    log.push_back("range " + std::to_string(startY) + " " + std::to_string(endY));
}

void RecordingProcessDelegate::sizeChanged(Tessaline::LocalProcessTerminalView&, int newCols, int newRows) {
    log.push_back("sizeChanged " + std::to_string(newCols) + "x" + std::to_string(newRows));
}

void RecordingProcessDelegate::setTerminalTitle(Tessaline::LocalProcessTerminalView&,
                                                const std::string& title) {
    log.push_back("title " + title);
}

void RecordingProcessDelegate::hostCurrentDirectoryUpdate(Tessaline::TerminalView&,
                                                          const std::optional<std::string>& directory) {
    log.push_back("directory " + directory.value_or("none"));
}

void RecordingProcessDelegate::processTerminated(Tessaline::TerminalView&, std::optional<int32_t> exitCode) {
    log.push_back("exit " + (exitCode ? std::to_string(*exitCode) : std::string("none")));
    exit = exitCode;
}

} // namespace QuillabyTest
