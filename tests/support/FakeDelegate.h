#pragma once

#include "TerminalDelegate.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline::Testing {

// A delegate that writes one line of text per callback into log(), so that a test compares the whole
// log and gets order and count checked for free. The lines (values as described):
//
//   showCursor                          hideCursor
//   setTitle <title>                    setIconTitle <title>
//   windowCommand <description()>       sizeChanged
//   send <escaped bytes>                scrolled <yDisp>
//   linefeed                            bufferActivated
//   synchronizedOutputChanged <true|false>
//   bell                                selectionChanged
//   isProcessTrusted                    cellSizeInPixels
//   mouseModeChanged                    cursorStyleChanged <name>
//   hostCurrentDirectoryUpdated         hostCurrentDocumentUpdated
//   colorChanged <index|all>
//   setForegroundColor <rgb:...>        setBackgroundColor <rgb:...>
//   setCursorColor <rgb:...|none>       getColors
//   iTermContent <escaped bytes>        clipboardCopy <escaped bytes>
//   notify <title>|<body>               progressReport <state> <progress|none>
//   createImageFromBitmap <w>x<h>
//   createImage <n> bytes <width> <height> <aspect|stretch>   (sizes as cells:N, pixels:N, percent:N, auto)
//
// Escaped bytes: printable ASCII as is, "\e" for ESC, "\\" for a backslash, every other byte as \xNN
// (two upper-case hex digits). The calls in `ignored` are not logged; by default the two that every line
// feed makes, "linefeed" and "scrolled".
//
// The callbacks with a default behaviour still run it after logging (the colour setters assign the
// terminal's colours), and the answers are the fields below.
class FakeDelegate : public TerminalDelegate {
public:
    std::vector<std::string> log;
    // Every byte sent to the program, in order.
    std::string replies;
    std::set<std::string> ignored{"linefeed", "scrolled"};

    bool trusted = true;
    std::optional<CellPixelSize> cellSize;
    std::optional<std::vector<uint8_t>> windowCommandReply;

    // The log since the last call, then forgotten; the same for the replies.
    std::vector<std::string> takeLog();
    std::string takeReplies();

    static std::string escape(std::string_view bytes);

    void showCursor(Terminal& source) override;
    void hideCursor(Terminal& source) override;
    void setTerminalTitle(Terminal& source, const std::string& title) override;
    void setTerminalIconTitle(Terminal& source, const std::string& title) override;
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                      const WindowManipulationCommand& command) override;
    void sizeChanged(Terminal& source) override;
    void send(Terminal& source, std::span<const uint8_t> data) override;
    void scrolled(Terminal& source, int yDisp) override;
    void linefeed(Terminal& source) override;
    void bufferActivated(Terminal& source) override;
    void synchronizedOutputChanged(Terminal& source, bool active) override;
    void bell(Terminal& source) override;
    void selectionChanged(Terminal& source) override;
    bool isProcessTrusted(Terminal& source) override;
    std::optional<CellPixelSize> cellSizeInPixels(Terminal& source) override;
    void mouseModeChanged(Terminal& source) override;
    void cursorStyleChanged(Terminal& source, CursorStyle newStyle) override;
    void hostCurrentDirectoryUpdated(Terminal& source) override;
    void hostCurrentDocumentUpdated(Terminal& source) override;
    void colorChanged(Terminal& source, std::optional<int> idx) override;
    void setForegroundColor(Terminal& source, const Color& color) override;
    void setBackgroundColor(Terminal& source, const Color& color) override;
    void setCursorColor(Terminal& source, const std::optional<Color>& color) override;
    TerminalColors getColors(Terminal& source) override;
    void iTermContent(Terminal& source, std::span<const uint8_t> content) override;
    void clipboardCopy(Terminal& source, const std::vector<uint8_t>& content) override;
    void notify(Terminal& source, const std::string& title, const std::string& body) override;
    void progressReport(Terminal& source, const ProgressReport& report) override;
    void createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;
    void createImage(Terminal& source, const std::vector<uint8_t>& data, ImageSizeRequest width,
                     ImageSizeRequest height, bool preserveAspectRatio) override;

private:
    void record(std::string line);
};

} // namespace Tessaline::Testing
