#pragma once

#include "Base64.h"
#include "KittyPlacementImage.h"
#include "KittyTestData.h"
#include "TerminalHarness.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace Tessaline::Testing {

// A terminal whose delegate reports a cell of 10 x 20 pixels (or none), with helpers that show the
// Kitty strips on the lines and the placement records as short texts.
struct KittyPlacementFixture {
    TerminalHarness harness;

    explicit KittyPlacementFixture(int cols = 20, int rows = 6, int scrollback = 50,
                                   std::optional<CellPixelSize> cell = CellPixelSize{10, 20})
        : harness(cols, rows, scrollback) {
        harness.delegate().cellSize = cell;
    }

    Terminal& terminal() { return harness.terminal(); }
    KittyGraphicsState& state() { return terminal().kittyGraphicsState; }

    // One APC "G" command with the Base64 of the data, if any.
    static std::string kitty(const std::string& control,
                             const std::optional<std::string>& data = std::nullopt) {
        std::string command = "\x1b_G" + control;
        if (data) command += ";" + Base64::encode(std::string_view(*data));
        return command + "\x1b\\";
    }

    // RGBA pixels (f=32) of the given size, each pixel (x, y, 7, 255).
    static std::string pixels(int width, int height) {
        std::string out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out += {char(x), char(y), char(7), char(255)};
        return out;
    }

    // Stores an image of width x height pixels under the id (silently).
    void image(uint32_t id, int width, int height) {
        harness.feed(kitty("a=t,q=2,f=32,i=" + std::to_string(id) + ",s=" + std::to_string(width) +
                               ",v=" + std::to_string(height),
                           pixels(width, height)));
    }

    // Feeds the input and answers the bodies of the Kitty replies it caused ("i=1;OK"), joined by " | ".
    std::string feed(const std::string& input) {
        harness.feed(input);
        std::string raw = harness.replies();
        std::string out;
        size_t at = 0;
        while ((at = raw.find("\x1b_G", at)) != std::string::npos) {
            size_t end = raw.find("\x1b\\", at);
            out += (out.empty() ? "" : " | ") + raw.substr(at + 3, end - at - 3);
            at = end;
        }
        return out;
    }

    void at(int col, int row) { terminal().setCursor(col, row); }

    // The strips of a buffer, line by line: "line:imageId/placementId@col" ("-" for an id missing, "x"
    // for a strip of another protocol), lines in order, strips in attachment order.
    static std::string strips(const Buffer& buffer) {
        std::string out;
        const CircularBufferLineList& lines = buffer.lines();
        for (int i = 0; i < lines.count(); ++i) {
            const BufferLinePtr& line = lines.peek(i);
            if (!line || !line->images) continue;
            for (const TerminalImagePtr& strip : *line->images) {
                auto* kitty = dynamic_cast<const KittyPlacementImage*>(strip.get());
                std::string text = std::to_string(i) + ":";
                if (kitty && kitty->kittyIsKitty) {
                    text += (kitty->kittyImageId ? std::to_string(*kitty->kittyImageId) : "-") + "/" +
                            (kitty->kittyPlacementId ? std::to_string(*kitty->kittyPlacementId) : "-");
                } else {
                    text += "x";
                }
                out += (out.empty() ? "" : " ") + text + "@" + std::to_string(strip->col());
            }
        }
        return out;
    }
    std::string strips() { return strips(terminal().buffer()); }

    // The records in key order: "imageId/placementId:row,col colsxrows" with " z=..", " virtual" and
    // " alt" when they apply.
    std::string records() {
        std::vector<std::pair<KittyPlacementKey, KittyPlacementRecord>> sorted(
            state().placementsByKey.begin(), state().placementsByKey.end());
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return std::pair(a.first.imageId, a.first.placementId) <
                   std::pair(b.first.imageId, b.first.placementId);
        });
        std::string out;
        for (const auto& [key, r] : sorted) {
            std::string text = std::to_string(key.imageId) + "/" + std::to_string(key.placementId) + ":" +
                               std::to_string(r.row) + "," + std::to_string(r.col) + " " +
                               std::to_string(r.cols) + "x" + std::to_string(r.rows);
            if (r.zIndex != 0) text += " z=" + std::to_string(r.zIndex);
            if (r.isVirtual) text += " virtual";
            if (r.isAlternateBuffer) text += " alt";
            out += (out.empty() ? "" : " | ") + text;
        }
        return out;
    }

    // The stored image ids, ascending.
    std::string stored() {
        return storedImageIds(state());
    }
};

} // namespace Tessaline::Testing
