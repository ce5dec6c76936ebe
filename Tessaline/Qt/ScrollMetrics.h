#pragma once

#include <algorithm>
#include <climits>
#include <cmath>

namespace Tessaline {

// Where the view stands in the scroll-back of the buffer on display, and the scroll bar that shows it.
// The alternate screen has no scroll-back: there every value is 0 and nothing scrolls.
struct ScrollMetrics {
    int rows = 0;
    // Lines the buffer holds, scroll-back included.
    int lines = 0;
    // The line shown in the top row.
    int yDisp = 0;
    bool hasScrollback = false;
    bool isAlternate = false;

    // The highest top line: the live screen.
    int maxTop() const { return std::max(0, lines - rows); }
    // A top line held inside the scroll-back.
    int clampTop(int row) const { return std::clamp(row, 0, maxTop()); }

    // 0 at the oldest line, 1 at the live screen.
    double position() const {
        if (isAlternate || yDisp <= 0) return 0;
        if (yDisp < lines - rows) return double(yDisp) / double(lines - rows);
        return 1;
    }
    // The share of the lines on display, at least 0.01 so the knob stays large enough to grab.
    double thumbsize() const {
        if (isAlternate) return 0;
        if (lines <= 0) return 1;
        return std::max(double(rows) / double(lines), 0.01);
    }
    bool canScroll() const { return !isAlternate && hasScrollback && rows < lines; }

    // The line for a position (0 to 1): truncated, held inside the scroll-back.
    int topForPosition(double position) const {
        const double target = position * maxTop();
        if (!std::isfinite(target)) return position > 0 ? maxTop() : 0;
        return clampTop(int(std::clamp(std::trunc(target), double(INT_MIN), double(INT_MAX))));
    }
};

// A scroll bar's integer range for a position and a knob proportion: the range counts lines, and the
// page step is chosen so that page / (range + page) is the knob proportion.
struct ScrollerSteps {
    int maximum = 0;
    int pageStep = 1;
    int value = 0;

    static ScrollerSteps of(const ScrollMetrics& metrics) {
        ScrollerSteps steps;
        if (!metrics.canScroll()) return steps;
        steps.maximum = metrics.maxTop();
        steps.value = int(std::lround(metrics.position() * steps.maximum));
        const double thumb = std::min(metrics.thumbsize(), 0.99);
        const double page = std::ceil(thumb * steps.maximum / (1 - thumb) - 1e-9);
        steps.pageStep = int(std::clamp(page, 1.0, double(INT_MAX / 2)));
        return steps;
    }
    bool operator==(const ScrollerSteps&) const = default;
};

} // namespace Tessaline
