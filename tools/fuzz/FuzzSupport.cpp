#include "FuzzSupport.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace Tessaline::Fuzz {

void fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("invariant broken: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

namespace {
const bool tracing = std::getenv("TESSALINE_FUZZ_TRACE") != nullptr;
} // namespace

void step(const char* format, ...) {
    if (!tracing) return;
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

std::string escaped(std::span<const uint8_t> bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        if (b == 0x1B) {
            out += "\\e";
        } else if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            out += char(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

// MARK: Host

void FuzzDelegate::send(Terminal&, std::span<const uint8_t> data) {
    bytesSent += data.size();
    ++callbacks;
}

std::optional<std::vector<uint8_t>> FuzzDelegate::windowCommand(Terminal&, const WindowManipulationCommand&) {
    ++callbacks;
    static const std::string reply = "\x1b[8;24;80t";
    return std::vector<uint8_t>(reply.begin(), reply.end());
}

bool FuzzDelegate::isProcessTrusted(Terminal&) {
    return trusted;
}

std::optional<CellPixelSize> FuzzDelegate::cellSizeInPixels(Terminal&) {
    if (!knowsCellSize) return std::nullopt;
    return CellPixelSize{8, 16};
}

void FuzzDelegate::createImageFromBitmap(Terminal&, std::vector<uint8_t>& bytes, int width, int height) {
    ++callbacks;
    // The bitmap must hold what its size says: four bytes a pixel.
    if (width < 0 || height < 0 || bytes.size() != size_t(width) * size_t(height) * 4)
        fail("bitmap of %zu bytes for %d x %d pixels", bytes.size(), width, height);
}

void FuzzDelegate::createImage(Terminal&, const std::vector<uint8_t>&, ImageSizeRequest, ImageSizeRequest,
                               bool) {
    ++callbacks;
}

void FuzzExecutor::post(Task task) {
    _tasks.emplace(std::make_pair(_now, ++_lastId), std::move(task));
}

Executor::TaskId FuzzExecutor::postAfter(std::chrono::nanoseconds delay, Task task) {
    const TaskId id = ++_lastId;
    _tasks.emplace(std::make_pair(_now + delay, id), std::move(task));
    return id;
}

void FuzzExecutor::cancel(TaskId id) {
    for (auto it = _tasks.begin(); it != _tasks.end(); ++it) {
        if (it->first.second == id) {
            _tasks.erase(it);
            return;
        }
    }
}

void FuzzExecutor::advance(std::chrono::nanoseconds delta) {
    const Clock::time_point until = _now + delta;
    while (!_tasks.empty() && _tasks.begin()->first.first <= until) {
        auto it = _tasks.begin();
        _now = std::max(_now, it->first.first);
        Task task = std::move(it->second);
        _tasks.erase(it);
        task();
    }
    _now = until;
}

// MARK: Invariants

namespace {

void checkBuffer(const Buffer& b, const char* name, const Terminal& t, bool active) {
    const int cols = t.cols();
    const int rows = t.rows();
    if (b.cols() != cols || b.rows() != rows)
        fail("%s buffer is %d x %d, the terminal %d x %d", name, b.cols(), b.rows(), cols, rows);
    if (int(b.tabStops.size()) != cols)
        fail("%s buffer: %zu tab stops for %d columns", name, b.tabStops.size(), cols);

    const CircularBufferLineList& lines = b.lines();
    if (lines.count() < 0 || lines.count() > lines.maxLength())
        fail("%s buffer: ring holds %d rows, capacity %d", name, lines.count(), lines.maxLength());
    if (lines.maxLength() != b.getCorrectBufferLength(rows))
        fail("%s buffer: ring capacity %d, expected %d", name, lines.maxLength(),
             b.getCorrectBufferLength(rows));

    // A cleared alternate buffer holds no rows until it is shown again.
    if (!active && lines.count() == 0) return;
    if (lines.count() < rows)
        fail("%s buffer: ring holds %d rows for a screen of %d", name, lines.count(), rows);

    if (b.x() < 0 || b.x() > cols) fail("%s buffer: cursor column %d of %d", name, b.x(), cols);
    if (b.y() < 0 || b.y() >= rows) fail("%s buffer: cursor row %d of %d", name, b.y(), rows);
    // The bottom screen row is the ring's last row.
    if (b.yBase() < 0 || b.yBase() + rows != lines.count())
        fail("%s buffer: yBase %d with %d rows in the ring and %d on the screen", name, b.yBase(),
             lines.count(), rows);
    if (b.yDisp() < 0 || b.yDisp() > b.yBase())
        fail("%s buffer: yDisp %d outside 0 ... yBase %d", name, b.yDisp(), b.yBase());
    if (b.scrollTop() < 0 || b.scrollTop() > b.scrollBottom() || b.scrollBottom() >= rows)
        fail("%s buffer: scroll region %d ... %d on %d rows", name, b.scrollTop(), b.scrollBottom(), rows);
    if (b.marginLeft() < 0 || b.marginLeft() > b.marginRight() || b.marginRight() >= cols)
        fail("%s buffer: margins %d ... %d on %d columns", name, b.marginLeft(), b.marginRight(), cols);
    if (b.linesWithImagesCount() < 0) fail("%s buffer: %d rows with images", name, b.linesWithImagesCount());

    int withImages = 0;
    for (int i = 0; i < lines.count(); ++i) {
        const BufferLinePtr& line = lines.peek(i);
        if (!line) continue;
        if (line->count() < cols)
            fail("%s buffer: row %d has %d cells for %d columns", name, i, line->count(), cols);
        if (line->contentEnd() < 0 || line->contentEnd() > line->stored() || line->stored() > line->count())
            fail("%s buffer: row %d marks content up to %d of %d cells held for %d", name, i,
                 line->contentEnd(), line->stored(), line->count());
        if (line->images) ++withImages;
    }
    // The count may overstate (rows leaving the ring are not subtracted) but never miss a row.
    if (b.linesWithImagesCount() < withImages)
        fail("%s buffer: %d rows with images counted, %d found", name, b.linesWithImagesCount(), withImages);
}

} // namespace

void checkInvariants(Terminal& t) {
    if (t.cols() < Terminal::MINIMUM_COLS || t.rows() < Terminal::MINIMUM_ROWS)
        fail("terminal is %d x %d", t.cols(), t.rows());
    checkBuffer(t.normalBuffer(), "normal", t, &t.buffer() == &t.normalBuffer());
    checkBuffer(t.altBuffer(), "alternate", t, &t.buffer() == &t.altBuffer());
    if (t.synchronizedOutputBuffer) checkBuffer(*t.synchronizedOutputBuffer, "synchronized", t, true);
    if (!t.synchronizedOutputActive && t.synchronizedOutputBuffer)
        fail("synchronized copy outlives its batch");

    if (const auto range = t.getUpdateRange()) {
        if (range->startY < 0 || range->startY > range->endY || range->endY > t.rows())
            fail("changed rows %d ... %d on %d rows", range->startY, range->endY, t.rows());
    }
    if (const auto range = t.getScrollInvariantUpdateRange()) {
        if (range->startY < 0 || range->startY > range->endY)
            fail("scroll-invariant changed rows %d ... %d", range->startY, range->endY);
    }

    for (int row = 0; row < t.rows(); ++row) {
        if (!t.getLine(row)) fail("screen row %d has no line", row);
    }

    if (t.terminalTitleStack.size() > Terminal::titleStackLimit ||
        t.terminalIconStack.size() > Terminal::titleStackLimit)
        fail("title stacks hold %zu and %zu", t.terminalTitleStack.size(), t.terminalIconStack.size());
    if (t.keyboardModeNormal().stack.size() > 16 || t.keyboardModeAlt().stack.size() > 16)
        fail("keyboard flag stacks hold %zu and %zu", t.keyboardModeNormal().stack.size(),
             t.keyboardModeAlt().stack.size());
    if (t.graphemes().count() > GraphemeTable::maxCount)
        fail("grapheme table holds %d", t.graphemes().count());

    const KittyGraphicsState& kitty = t.kittyGraphicsState;
    int64_t imageBytes = 0;
    for (const auto& [id, image] : kitty.imagesById)
        imageBytes += image.byteSize;
    if (imageBytes != kitty.totalImageBytes)
        fail("Kitty store counts %lld bytes, holds %lld", (long long)kitty.totalImageBytes,
             (long long)imageBytes);
    if (kitty.totalImageBytes > KittyGraphicsState::clampCacheLimit(t.options.kittyImageCacheLimitBytes))
        fail("Kitty store holds %lld bytes past its budget", (long long)kitty.totalImageBytes);

    const EscapeSequenceParser& parser = t.parser();
    if (parser.osc().size() > parser.maxStringLength || parser.apc().size() > parser.maxStringLength)
        fail("parser holds strings of %zu and %zu bytes", parser.osc().size(), parser.apc().size());
    if (parser.params().size() > EscapeSequenceParser::maxParameters ||
        parser.collect().size() > size_t(EscapeSequenceParser::maxCollect))
        fail("parser holds %d parameters and %zu collected bytes", parser.params().size(),
             parser.collect().size());
}

} // namespace Tessaline::Fuzz
