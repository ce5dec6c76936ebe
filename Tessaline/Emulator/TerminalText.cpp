// Text extraction: the text between two grid positions, the text of part of a row, a buffer as bytes.
#include "GraphemeBreaks.h"
#include "Terminal.h"
#include "Utf8.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace Tessaline {

namespace {

// A row of the ring without making it; null for a row the ring has not made yet (a blank row).
const BufferLine* peekRow(const Buffer& buffer, int row) {
    return buffer.lines().peek(row).get();
}

bool hasContent(const BufferLine* line) {
    return line != nullptr && line->hasAnyContent();
}

bool isContinuation(const BufferLine* line) {
    return line != nullptr && line->isWrapped;
}

LineFragment textFragment(std::string text, int64_t row, int64_t column) {
    const int64_t length = GraphemeBreaks::count(text);
    return {std::move(text), row, column, length};
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

} // namespace

void Terminal::appendCellText(const BufferLine& line, int start, int end, std::string& out) const {
    if (end <= start) return;
    // One byte per cell, written in place; a character of more bytes makes room for itself.
    size_t at = out.size();
    out.resize(at + size_t(end - start));
    char* p = out.data() + at;
    std::array<char, 4> scratch;
    for (int i = start; i < end; ++i) {
        const int32_t code = line[i].code;
        if (code > 0 && code < 0x80) {
            *p++ = char(code);
        } else if (code == 0) {
            // The right half of a wide character is part of the character; an empty cell reads as a space.
            if (i == 0 || line[i - 1].width() != 2) *p++ = ' ';
        } else {
            const std::string_view text = characterText(code, scratch);
            at = size_t(p - out.data());
            out.resize(at + text.size() + size_t(end - i - 1));
            p = std::copy(text.begin(), text.end(), out.data() + at);
        }
    }
    out.resize(size_t(p - out.data()));
}

std::string Terminal::translateBufferLineToString(const Buffer& buffer, int line, int start, int end) const {
    if (line < 0 || line >= buffer.lines().count()) return {};
    const BufferLine* row = peekRow(buffer, line);
    if (row == nullptr) return {};
    if (end == -1) end = row->count();
    const int limit = std::min({end, row->getTrimmedLength(), row->count()});
    // Columns left of the row read as from its first column.
    start = std::max(start, 0);
    if (limit <= start) return {};
    std::string out;
    out.reserve(size_t(limit - start));
    appendCellText(*row, start, limit, out);
    return out;
}

std::vector<Line> Terminal::_getSelectedLines(const Position& start, const Position& end,
                                              const Buffer& buffer) const {
    std::vector<Line> lines(1);
    std::vector<LineFragment> pending;
    const int startRow = int(start.row);
    const int endRow = int(end.row);
    auto rowText = [&](int row, int from, int to) {
        return translateBufferLineToString(buffer, row, from, to);
    };
    // Blank rows waiting for a row with content: each becomes an empty line, or nothing at the end.
    auto flush = [&] {
        for (size_t k = 0; k < pending.size(); ++k) {
            if (k > 0 && pending[k].line != pending[k - 1].line) lines.emplace_back();
            lines.back().add(pending[k]);
        }
        pending.clear();
    };

    if (hasContent(peekRow(buffer, startRow))) {
        const int to = startRow == endRow ? int(end.col) : -1;
        lines.back().add(textFragment(rowText(startRow, int(start.col), to), startRow, start.col));
    }
    for (int row = startRow + 1; row < endRow; ++row) {
        const BufferLine* line = peekRow(buffer, row);
        if (!hasContent(line)) {
            if (!isContinuation(line)) pending.push_back(LineFragment::lineBreak(row));
            pending.push_back(textFragment(rowText(row, 0, -1), row, 0));
            continue;
        }
        flush();
        if (!isContinuation(line)) {
            lines.back().add(LineFragment::lineBreak(row));
            lines.emplace_back();
        }
        lines.back().add(textFragment(rowText(row, 0, -1), row, 0));
    }
    if (endRow == startRow) return lines;

    const BufferLine* last = peekRow(buffer, endRow);
    // Blank rows at the end of the range leave no trace.
    if (!hasContent(last)) return lines;
    flush();
    if (!isContinuation(last)) {
        lines.back().add(LineFragment::lineBreak(endRow));
        lines.emplace_back();
    }
    lines.back().add(textFragment(rowText(endRow, 0, int(end.col)), endRow, 0));
    return lines;
}

std::string Terminal::getText(const Position& start, const Position& end, const Buffer& buffer) const {
    if (start == end) return {};
    Position first = start;
    Position second = end;
    if (Position::compare(first, second) == Position::CompareResult::after) std::swap(first, second);
    const int64_t count = buffer.lines().count();
    if (first.row < 0 || first.row >= count) return {};
    second.row = std::min(second.row, count - 1);

    std::string out;
    for (const Line& line : _getSelectedLines(first, second, buffer))
        for (const LineFragment& fragment : line.fragments)
            if (fragment.text) out += *fragment.text;
    return out;
}

std::string Terminal::getText(const Position& start, const Position& end) {
    return getText(start, end, buffer());
}

std::string Terminal::getDisplayText(const Position& start, const Position& end) {
    return getText(start, end, displayBuffer());
}

Buffer& Terminal::bufferFromKind(BufferKind kind) {
    switch (kind) {
    case BufferKind::normal:
        return normalBuffer();
    case BufferKind::alt:
        return altBuffer();
    case BufferKind::active:
        break;
    }
    return buffer();
}

std::optional<std::vector<uint8_t>> Terminal::getBufferAsData(BufferKind kind, std::string_view encoding) {
    UErrorCode status = U_ZERO_ERROR;
    const std::string name(encoding);
    std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(name.c_str(), &status));
    if (U_FAILURE(status) || !converter) return std::nullopt;
    // What cannot be mapped fails the row rather than turning into a substitute.
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return std::nullopt;
    const bool utf8 = std::strcmp(ucnv_getName(converter.get(), &status), "UTF-8") == 0;

    const Buffer& source = bufferFromKind(kind);
    std::vector<uint8_t> out;
    std::string rowUtf8;
    std::u16string rowUtf16;
    std::vector<char> bytes;
    for (int row = 0; row < source.lines().count(); ++row) {
        const BufferLine* line = peekRow(source, row);
        const int length = line ? std::clamp(line->getTrimmedLength(), 0, line->count()) : 0;
        // One character per cell, without grapheme lookup: every cell whose code is not a scalar is a space
        // (the empty half of a wide character is U+0000).
        if (utf8) {
            rowUtf8.clear();
            for (int c = 0; c < length; ++c)
                Utf8::append(rowUtf8, uint32_t((*line)[c].getCharacter()));
            out.insert(out.end(), rowUtf8.begin(), rowUtf8.end());
            out.push_back(0x0A);
            continue;
        }
        rowUtf16.clear();
        for (int c = 0; c < length; ++c) {
            const uint32_t scalar = uint32_t((*line)[c].getCharacter());
            if (scalar >= 0x10000) {
                rowUtf16 += char16_t(0xD7C0 + (scalar >> 10));
                rowUtf16 += char16_t(0xDC00 | (scalar & 0x3FF));
            } else {
                rowUtf16 += char16_t(scalar);
            }
        }
        bytes.resize(size_t(
            UCNV_GET_MAX_BYTES_FOR_STRING(int32_t(rowUtf16.size()), ucnv_getMaxCharSize(converter.get()))));
        status = U_ZERO_ERROR;
        // Each row converts from the initial state (a stateful encoding starts afresh).
        const int32_t written = ucnv_fromUChars(converter.get(), bytes.data(), int32_t(bytes.size()),
                                                rowUtf16.data(), int32_t(rowUtf16.size()), &status);
        if (U_FAILURE(status)) continue;
        out.insert(out.end(), bytes.begin(), bytes.begin() + written);
        out.push_back(0x0A);
    }
    return out;
}

} // namespace Tessaline
