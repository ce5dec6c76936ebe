#pragma once

#include "LocalProcessTerminalViewDelegate.h"
#include "TerminalView.h"
#include "TerminalViewDelegate.h"

#include <QFont>
#include <QSize>

#include <functional>
#include <string>
#include <vector>

namespace QuillabyTest {

// Processes events until the condition holds or the time-out passes; answers the condition.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// A fixed monospaced face, so cell sizes do not depend on the desktop's settings.
QFont testFont(double pixelSize = 14);

// A PNG of the size, red on its left half and green on its right, as base64.
std::string halvesPng(QSize size);

// The screen of the buffer on display, rows joined by "\n", trailing blanks and blank rows dropped.
std::string screenText(Tessaline::TerminalView& view);

// A view delegate that writes one line per call (as the engine's fake delegate does):
//   sizeChanged <cols>x<rows>   title <text>   directory <text|none>   send <escaped bytes>
//   scrolled <position, 3 decimals>   openLink <link>   bell   clipboard <escaped bytes>
//   iTerm <escaped bytes>   range <start> <end>
class RecordingViewDelegate : public Tessaline::TerminalViewDelegate {
public:
    std::vector<std::string> log;
    std::vector<std::string> take();

    void sizeChanged(Tessaline::TerminalView& source, int newCols, int newRows) override;
    void setTerminalTitle(Tessaline::TerminalView& source, const std::string& title) override;
    void hostCurrentDirectoryUpdate(Tessaline::TerminalView& source,
                                    const std::optional<std::string>& directory) override;
    void send(Tessaline::TerminalView& source, std::span<const uint8_t> data) override;
    void scrolled(Tessaline::TerminalView& source, double position) override;
    void requestOpenLink(Tessaline::TerminalView& source, const std::string& link,
                         const std::map<std::string, std::string>& params) override;
    void bell(Tessaline::TerminalView& source) override;
    void clipboardCopy(Tessaline::TerminalView& source, const std::vector<uint8_t>& content) override;
    void iTermContent(Tessaline::TerminalView& source, std::span<const uint8_t> content) override;
    void rangeChanged(Tessaline::TerminalView& source, int startY, int endY) override;
};

// The same for a process-bound view's delegate:
//   sizeChanged <cols>x<rows>   title <text>   directory <text|none>   exit <code|none>
class RecordingProcessDelegate : public Tessaline::LocalProcessTerminalViewDelegate {
public:
    std::vector<std::string> log;
    std::optional<std::optional<int32_t>> exit;

    void sizeChanged(Tessaline::LocalProcessTerminalView& source, int newCols, int newRows) override;
    void setTerminalTitle(Tessaline::LocalProcessTerminalView& source, const std::string& title) override;
    void hostCurrentDirectoryUpdate(Tessaline::TerminalView& source,
                                    const std::optional<std::string>& directory) override;
    void processTerminated(Tessaline::TerminalView& source, std::optional<int32_t> exitCode) override;
};

} // namespace QuillabyTest
