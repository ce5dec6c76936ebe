#pragma once

#include "Color.h"
#include "CursorStyle.h"
#include "ImageSizeRequest.h"
#include "KittyPlacementImage.h"
#include "ProgressReport.h"
#include "WindowManipulationCommand.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Tessaline {

class Terminal;

struct CellPixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const CellPixelSize&) const = default;
};

struct TerminalColors {
    Color foreground;
    Color background;
    bool operator==(const TerminalColors&) const = default;
};

// Everything that leaves a terminal for its host: replies to the program, titles, the bell, cursor and
// colour changes, window operations, clipboard writes, notifications, progress, images. The terminal
// calls synchronously in the middle of the command that causes the call, on its own thread, with itself as
// source; a delegate may call back into it.
//
// The terminal refers to its delegate without owning it: the host that owns both outlives the terminal or
// clears the reference first. Only send() must be implemented; every other call has a default.
class TerminalDelegate {
public:
    virtual ~TerminalDelegate();

    virtual void showCursor(Terminal& source);
    virtual void hideCursor(Terminal& source);
    virtual void setTerminalTitle(Terminal& source, const std::string& title);
    virtual void setTerminalIconTitle(Terminal& source, const std::string& title);
    // For a report request, returned bytes go to the program as the reply. Default: nothing.
    virtual std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                              const WindowManipulationCommand& command);
    // The terminal changed its own size (DECCOLM).
    virtual void sizeChanged(Terminal& source);
    // Bytes for the program: replies and reports.
    virtual void send(Terminal& source, std::span<const uint8_t> data) = 0;
    virtual void scrolled(Terminal& source, int yDisp);
    virtual void linefeed(Terminal& source);
    virtual void bufferActivated(Terminal& source);
    virtual void synchronizedOutputChanged(Terminal& source, bool active);
    virtual void bell(Terminal& source);
    virtual void selectionChanged(Terminal& source);
    // Asked before acting on OSC 6 and 7 and before answering a checksum request. Default: true.
    virtual bool isProcessTrusted(Terminal& source);
    // Default: unknown, and the asking command uses its own default.
    virtual std::optional<CellPixelSize> cellSizeInPixels(Terminal& source);
    virtual void mouseModeChanged(Terminal& source);
    virtual void cursorStyleChanged(Terminal& source, CursorStyle newStyle);
    virtual void hostCurrentDirectoryUpdated(Terminal& source);
    virtual void hostCurrentDocumentUpdated(Terminal& source);
    // One palette entry changed, or the whole palette (no index).
    virtual void colorChanged(Terminal& source, std::optional<int> idx);
    // The defaults of the next four assign or read the terminal's own colours; they are defined with the
    // terminal, since they reach into it.
    virtual void setForegroundColor(Terminal& source, const Color& color);
    virtual void setBackgroundColor(Terminal& source, const Color& color);
    virtual void setCursorColor(Terminal& source, const std::optional<Color>& color);
    virtual TerminalColors getColors(Terminal& source);
    // An OSC 1337 payload that is not an inline image.
    virtual void iTermContent(Terminal& source, std::span<const uint8_t> content);
    // OSC 52: the decoded bytes for the clipboard.
    virtual void clipboardCopy(Terminal& source, const std::vector<uint8_t>& content);
    virtual void notify(Terminal& source, const std::string& title, const std::string& body);
    virtual void progressReport(Terminal& source, const ProgressReport& report);
    // Decoded RGBA pixels to show as an image at the cursor. The delegate may change them in place or take
    // them (move from them): they are not used after the call.
    virtual void createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height);
    // Encoded image data to show at the cursor.
    virtual void createImage(Terminal& source, const std::vector<uint8_t>& data, ImageSizeRequest width,
                             ImageSizeRequest height, bool preserveAspectRatio);
    // The object for one image strip the terminal cuts and attaches to a line: premultiplied RGBA pixels,
    // rows top first, width x height x 4 bytes. Null when it cannot be made (the row then gets no strip).
    // Default: a plain RgbaImageStrip holding the pixels; a view returns its own image type.
    virtual std::shared_ptr<KittyPlacementImage> makeImageStrip(Terminal& source, std::vector<uint8_t> pixels,
                                                                int width, int height);
};

} // namespace Tessaline
