#pragma once

#include <QList>
#include <QPoint>

#include <cstdint>
#include <vector>

namespace Quillaby {

// A 4-connected flood fill over a width x height grid, seeded at any number of positions. Each
// qualifying pixel joined to a qualifying seed through qualifying pixels is handed to fill once; the
// result is the same set as a pixel-by-pixel fill that tests every neighbour, found by filling whole
// row runs. Memory: one bit per pixel plus one stack entry per run waiting, never the call stack.
//
// qualifies(x, y) may be asked more than once for a pixel and must not depend on what fill has done;
// fill(x, y) runs in row runs from left to right.
template<typename Qualifies, typename Fill>
qint64 floodFill(int width, int height, const QList<QPoint>& seeds, Qualifies&& qualifies, Fill&& fill) {
    if (width <= 0 || height <= 0) return 0;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    std::vector<std::uint64_t> visited((count + 63) / 64, 0);
    auto seen = [&](std::size_t i) { return (visited[i >> 6] >> (i & 63)) & 1; };
    auto mark = [&](std::size_t i) { visited[i >> 6] |= std::uint64_t(1) << (i & 63); };
    // Tests an unvisited pixel and marks it, whatever the answer.
    auto take = [&](int x, int y) {
        const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
        if (seen(i)) return false;
        mark(i);
        return bool(qualifies(x, y));
    };

    struct Seed {
        int x;
        int y;
    };
    std::vector<Seed> stack;
    stack.reserve(std::size_t(seeds.size()));
    for (qsizetype i = seeds.size() - 1; i >= 0; --i)
        stack.push_back({seeds[i].x(), seeds[i].y()});

    qint64 filled = 0;
    while (!stack.empty()) {
        const Seed seed = stack.back();
        stack.pop_back();
        if (seed.x < 0 || seed.y < 0 || seed.x >= width || seed.y >= height) continue;
        if (!take(seed.x, seed.y)) continue;
        int left = seed.x;
        while (left > 0 && take(left - 1, seed.y))
            --left;
        int right = seed.x;
        while (right + 1 < width && take(right + 1, seed.y))
            ++right;
        for (int x = left; x <= right; ++x)
            fill(x, seed.y);
        filled += right - left + 1;
        // One seed per run of qualifying pixels above and below; the run itself is filled when popped.
        for (int y : {seed.y - 1, seed.y + 1}) {
            if (y < 0 || y >= height) continue;
            bool inRun = false;
            for (int x = left; x <= right; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
                if (seen(i)) {
                    inRun = false;
                    continue;
                }
                if (qualifies(x, y)) {
                    if (!inRun) stack.push_back({x, y});
                    inRun = true;
                } else {
                    mark(i);
                    inRun = false;
                }
            }
        }
    }
    return filled;
}

} // namespace Quillaby
