#include "RgbaScaler.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Tessaline;

namespace {

// A picture whose pixels all have one value per channel: (value, value, value, 255).
KittyRgbaBitmap grey(int width, int height, const std::vector<uint8_t>& values) {
    KittyRgbaBitmap picture{{}, width, height};
    for (uint8_t v : values)
        picture.bytes.insert(picture.bytes.end(), {v, v, v, 255});
    return picture;
}

// The first channel and the alpha of each pixel of a band of rows: "r/a r/a ...".
std::string channels(const std::vector<uint8_t>& rows) {
    std::string out;
    for (size_t at = 0; at < rows.size(); at += 4)
        out += (out.empty() ? "" : " ") + std::to_string(rows[at]) + "/" + std::to_string(rows[at + 3]);
    return out;
}

} // namespace

TEST(RgbaScaler, DrawsThePictureIntoItsRectangle) {
    struct Case {
        const char* name;
        int canvasWidth;
        double x, y, width, height;
        int firstRow, rowCount;
        std::string expected;
    };
    // 2 x 2 pixels: 0 40 / 80 120.
    const KittyRgbaBitmap picture = grey(2, 2, {0, 40, 80, 120});
    const Case cases[] = {
        {"unscaled: copied, the rest transparent", 3, 0, 0, 2, 2, 1, 2, "80/255 120/255 0/0 0/0 0/0 0/0"},
        {"unscaled at an offset", 3, 1, 1, 2, 2, 0, 2, "0/0 0/0 0/0 0/0 0/255 40/255"},
        {"halved: averages", 1, 0, 0, 1, 1, 0, 1, "60/255"},
        {"doubled across: interpolated", 4, 0, 0, 4, 2, 0, 1, "0/255 10/255 30/255 40/255"},
        {"a row half covered", 2, 0, 0, 2, 1.5, 1, 1, "40/128 60/128"},
        {"clipped on the right", 1, 0, 0, 2, 2, 0, 2, "0/255 80/255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RgbaScaler scaler(picture, c.canvasWidth, c.x, c.y, c.width, c.height);
        EXPECT_EQ(channels(scaler.renderRows(c.firstRow, c.rowCount)), c.expected);
    }
}
