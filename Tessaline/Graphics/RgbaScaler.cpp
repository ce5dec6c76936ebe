#include "RgbaScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Tessaline {

RgbaScaler::RgbaScaler(const KittyRgbaBitmap& source, int canvasWidth, double x, double y, double width,
                       double height)
    : _source(source)
    , _canvasWidth(std::max(canvasWidth, 0))
    , _y(y)
    , _height(height) {
    _copies = width == source.width && height == source.height && x == std::floor(x) && y == std::floor(y);
    if (_copies) {
        _copyX = int(x);
        _copyY = int(y);
        return;
    }
    buildAxis(_columns, 0, _canvasWidth, source.width, x, width);
}

void RgbaScaler::buildAxis(Axis& axis, int from, int count, int sourceLength, double origin, double extent) {
    axis.spans.assign(size_t(std::max(count, 0)), Span{});
    axis.taps.clear();
    if (sourceLength < 1 || !(extent > 0)) return;
    // Source pixels per canvas pixel.
    const double factor = double(sourceLength) / extent;
    for (int k = 0; k < count; ++k) {
        const int i = from + k;
        Span& span = axis.spans[size_t(k)];
        span.first = int(axis.taps.size());
        // The share of this canvas pixel the picture covers.
        const double coverage =
            std::clamp(std::min(double(i + 1), origin + extent) - std::max(double(i), origin), 0.0, 1.0);
        if (coverage <= 0) continue;
        if (factor >= 1) {
            // Box: each source pixel weighs what of it falls inside the canvas pixel.
            const double a = std::max((double(i) - origin) * factor, 0.0);
            const double b = std::min((double(i + 1) - origin) * factor, double(sourceLength));
            for (int s = int(std::floor(a)); s < b && s < sourceLength; ++s) {
                const double overlap = std::min(b, double(s + 1)) - std::max(a, double(s));
                if (overlap > 0) axis.taps.push_back({s, float(overlap / factor)});
            }
        } else {
            // Tent between the two nearest source pixels, held at the edges.
            const double centre = (double(i) + 0.5 - origin) * factor - 0.5;
            const double low = std::floor(centre);
            const double t = centre - low;
            const int s0 = std::clamp(int(low), 0, sourceLength - 1);
            const int s1 = std::clamp(int(low) + 1, 0, sourceLength - 1);
            if (s0 == s1) {
                axis.taps.push_back({s0, float(coverage)});
            } else {
                axis.taps.push_back({s0, float((1 - t) * coverage)});
                axis.taps.push_back({s1, float(t * coverage)});
            }
        }
        span.count = int(axis.taps.size()) - span.first;
    }
}

std::vector<uint8_t> RgbaScaler::renderRows(int firstRow, int rowCount) const {
    const size_t rowBytes = size_t(_canvasWidth) * 4;
    std::vector<uint8_t> out(rowBytes * size_t(std::max(rowCount, 0)), 0);
    if (rowCount <= 0 || _canvasWidth == 0 || _source.width < 1 || _source.height < 1) return out;
    const size_t sourceRowBytes = size_t(_source.width) * 4;

    if (_copies) {
        // Only the part of the picture that lies on the canvas.
        const int left = std::max(_copyX, 0);
        const int right = std::min(_copyX + _source.width, _canvasWidth);
        if (left >= right) return out;
        for (int r = 0; r < rowCount; ++r) {
            const int sourceRow = firstRow + r - _copyY;
            if (sourceRow < 0 || sourceRow >= _source.height) continue;
            std::memcpy(out.data() + size_t(r) * rowBytes + size_t(left) * 4,
                        _source.bytes.data() + size_t(sourceRow) * sourceRowBytes + size_t(left - _copyX) * 4,
                        size_t(right - left) * 4);
        }
        return out;
    }

    Axis rows;
    buildAxis(rows, firstRow, rowCount, _source.height, _y, _height);
    std::vector<float> accumulated(size_t(_canvasWidth) * 4);
    for (int r = 0; r < rowCount; ++r) {
        const Span& rowSpan = rows.spans[size_t(r)];
        if (rowSpan.count == 0) continue;
        std::fill(accumulated.begin(), accumulated.end(), 0.0f);
        for (int v = 0; v < rowSpan.count; ++v) {
            const Tap& rowTap = rows.taps[size_t(rowSpan.first + v)];
            const uint8_t* source = _source.bytes.data() + size_t(rowTap.index) * sourceRowBytes;
            for (int c = 0; c < _canvasWidth; ++c) {
                const Span& span = _columns.spans[size_t(c)];
                float sum[4] = {0, 0, 0, 0};
                for (int h = 0; h < span.count; ++h) {
                    const Tap& tap = _columns.taps[size_t(span.first + h)];
                    const uint8_t* pixel = source + size_t(tap.index) * 4;
                    for (int k = 0; k < 4; ++k)
                        sum[k] += tap.weight * float(pixel[k]);
                }
                float* target = accumulated.data() + size_t(c) * 4;
                for (int k = 0; k < 4; ++k)
                    target[k] += rowTap.weight * sum[k];
            }
        }
        uint8_t* target = out.data() + size_t(r) * rowBytes;
        for (size_t k = 0; k < accumulated.size(); ++k)
            target[k] = uint8_t(std::clamp(std::lround(accumulated[k]), 0L, 255L));
    }
    return out;
}

} // namespace Tessaline
