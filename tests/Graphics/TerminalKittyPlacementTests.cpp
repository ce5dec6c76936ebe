#include "KittyPlacementFixture.h"
#include "KittyTestData.h"
#include "RgbaImageStrip.h"

#include <gtest/gtest.h>

#include <random>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Fixture = KittyPlacementFixture;

std::string kitty(const std::string& control) {
    return Fixture::kitty(control);
}

const RgbaImageStrip& firstStrip(Buffer& buffer, int line) {
    return dynamic_cast<const RgbaImageStrip&>(*(*buffer.lines()[line]->images)[0]);
}

} // namespace

TEST(TerminalKittyPlacement, PlacementAtTheCursorAndTheCursorPolicy) {
    struct Case {
        const char* name;
        std::optional<CellPixelSize> cell;
        std::pair<int, int> start;
        std::string command;
        std::string reply;
        std::string strips;
        std::pair<int, int> cursor;
    };
    const std::optional<CellPixelSize> cell = CellPixelSize{10, 20};
    // Image 1 is 20 x 40 pixels: 2 x 2 cells of 10 x 20.
    const Case cases[] = {
        {"policy 0: right of the image, on the row below it",
         cell,
         {2, 1},
         "a=p,i=1,p=5",
         "i=1,p=5;OK",
         "1:1/5@2 2:1/5@2",
         {4, 3}},
        {"C=1 leaves the cursor", cell, {2, 1}, "a=p,i=1,C=1", "i=1;OK", "1:1/-@2 2:1/-@2", {2, 1}},
        {"c and r", cell, {2, 1}, "a=p,i=1,c=5,r=1", "i=1;OK", "1:1/-@2", {7, 2}},
        {"c alone keeps the proportions",
         cell,
         {2, 1},
         "a=p,i=1,c=4",
         "i=1;OK",
         "1:1/-@2 2:1/-@2 3:1/-@2 4:1/-@2",
         {6, 5}},
        {"pixel offset X adds a column", cell, {2, 1}, "a=p,i=1,X=5", "i=1;OK", "1:1/-@2 2:1/-@2", {5, 3}},
        {"from the last row the screen scrolls",
         cell,
         {2, 5},
         "a=p,i=1",
         "i=1;OK",
         "5:1/-@2 6:1/-@2",
         {4, 5}},
        {"no cell size: cut at the default cell",
         std::nullopt,
         {2, 1},
         "a=p,i=1",
         "i=1;OK",
         "1:1/-@2 2:1/-@2",
         {4, 3}},
        {"no cell size, c and r: line feeds from the start",
         std::nullopt,
         {2, 5},
         "a=p,i=1,c=3,r=2",
         "i=1;OK",
         "5:1/-@2 6:1/-@2",
         {5, 5}},
        {"transmit and display", cell, {0, 0}, "a=T,f=32,s=20,v=40,i=9", "i=9;OK", "0:9/-@0 1:9/-@0", {2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(20, 6, 50, c.cell);
        f.image(1, 20, 40);
        f.at(c.start.first, c.start.second);
        const bool transmit = c.command.starts_with("a=T");
        EXPECT_EQ(f.feed(transmit ? Fixture::kitty(c.command, Fixture::pixels(20, 40)) : kitty(c.command)),
                  c.reply);
        EXPECT_EQ(f.strips(), c.strips);
        EXPECT_EQ(f.harness.cursor(), c.cursor);
    }
}

TEST(TerminalKittyPlacement, StripsAreOneCellRowOfThePicture) {
    Fixture f;
    // 3 x 2 pixels, one of them half transparent: straight alpha in, premultiplied on the strip.
    std::string pixels = Fixture::pixels(3, 2);
    pixels.replace(4, 4, std::string{char(200), char(100), char(50), char(128)});
    f.feed(Fixture::kitty("a=T,q=2,f=32,s=3,v=2,i=1,p=1", pixels));
    const RgbaImageStrip& strip = firstStrip(f.terminal().buffer(), 0);
    ASSERT_EQ(strip.pixelWidth(), 3);
    ASSERT_EQ(strip.pixelHeight(), 20);
    std::vector<uint8_t> expected(3 * 20 * 4, 0);
    std::copy(pixels.begin(), pixels.end(), expected.begin());
    premultiplyRgba(std::span(expected).first(24));
    EXPECT_EQ(strip.pixels(), expected);
    EXPECT_EQ(strip.kittyRows, 1);
    EXPECT_EQ(strip.kittyCols, 1);
    EXPECT_EQ(f.terminal().imageStripBytes(), 3 * 20 * 4 + 256);

    // A crop keeps the pixels it names.
    f.at(0, 2);
    EXPECT_EQ(f.feed(kitty("a=p,i=1,p=2,x=1,y=1,w=2,h=1")), "i=1,p=2;OK");
    const RgbaImageStrip& cropped = firstStrip(f.terminal().buffer(), 2);
    ASSERT_EQ(cropped.pixelWidth(), 2);
    EXPECT_EQ(std::vector<uint8_t>(cropped.pixels().begin(), cropped.pixels().begin() + 8),
              (std::vector<uint8_t>{1, 1, 7, 255, 2, 1, 7, 255}));

    EXPECT_EQ(f.feed(kitty("a=p,i=1,x=3")), "i=1;EINVAL: bad crop");
    f.feed(kitty("a=d,d=A"));
    EXPECT_EQ(f.terminal().imageStripBytes(), 0);
}

TEST(TerminalKittyPlacement, PngPlacementsAndCrops) {
    Fixture f;
    std::vector<uint8_t> png = makePng(4, 2);
    f.harness.feed(Fixture::kitty("a=t,q=2,f=100,i=1", textOf(png)));
    EXPECT_EQ(f.feed(kitty("a=p,i=1")), "i=1;OK");
    EXPECT_EQ(f.strips(), "0:1/-@0");
    EXPECT_EQ(firstStrip(f.terminal().buffer(), 0).pixelWidth(), 4);

    // A PNG whose header reads but whose pixels do not: shown as nothing, and not cropped.
    std::vector<uint8_t> broken = png;
    std::fill(broken.end() - 30, broken.end() - 12, uint8_t(0x55));
    f.harness.feed(Fixture::kitty("a=t,q=2,f=100,i=2", textOf(broken)));
    f.at(0, 3);
    EXPECT_EQ(f.feed(kitty("a=p,i=2")), "i=2;OK");
    EXPECT_EQ(f.strips(), "0:1/-@0");
    EXPECT_EQ(f.feed(kitty("a=p,i=2,x=1")), "i=2;ENOTSUP: cannot crop png");
}

TEST(TerminalKittyPlacement, SameIdsReplaceThePlacementOnEitherScreen) {
    Fixture f;
    f.image(1, 10, 20);
    f.at(0, 0);
    f.feed(kitty("a=p,i=1,p=5,C=1"));
    f.at(6, 3);
    EXPECT_EQ(f.feed(kitty("a=p,i=1,p=5,C=1")), "i=1,p=5;OK");
    EXPECT_EQ(f.strips(), "3:1/5@6");
    EXPECT_EQ(f.records(), "1/5:3,6 1x1");

    f.terminal().activateAltBuffer(std::nullopt);
    f.at(1, 1);
    f.feed(kitty("a=p,i=1,p=5,C=1"));
    EXPECT_EQ(Fixture::strips(f.terminal().normalBuffer()), "");
    EXPECT_EQ(f.strips(), "1:1/5@1");
    EXPECT_EQ(f.records(), "1/5:1,1 1x1 alt");
}

TEST(TerminalKittyPlacement, VirtualPlacements) {
    Fixture f;
    f.image(1, 10, 20);
    f.at(3, 2);
    EXPECT_EQ(f.feed(kitty("a=p,U=1,i=1")), "i=1;OK");
    EXPECT_EQ(f.feed(kitty("a=p,U=1,i=1")), "i=1;OK");
    EXPECT_EQ(f.feed(kitty("a=p,U=1,i=1,p=9,c=4,r=2,X=100")), "i=1,p=9;OK");
    EXPECT_EQ(f.records(), "1/1:2,3 0x0 virtual | 1/2:2,3 0x0 virtual | 1/9:2,3 4x2 virtual");
    EXPECT_EQ(f.state().placementsByKey.at({1, 9}).pixelOffsetX, 9);
    EXPECT_EQ(f.state().nextPlacementId, 3u);
    EXPECT_EQ(f.strips(), "");
    EXPECT_EQ(f.harness.cursor(), std::pair(3, 2));

    EXPECT_EQ(f.feed(kitty("a=p,U=1,i=1,P=1,Q=1")), "i=1;EINVAL: virtual placement cannot refer to parent");
    EXPECT_EQ(f.feed(kitty("a=p,U=1,i=1,Q=1")), "i=1;EINVAL: virtual placement cannot refer to parent");
    // Any other U is an ordinary placement.
    EXPECT_EQ(f.feed(kitty("a=p,U=2,i=1")), "i=1;OK");
    EXPECT_EQ(f.strips(), "2:1/-@3");

    // The counter skips 0 and wraps in 32 bits.
    f.state().nextPlacementId = 0;
    f.feed(kitty("a=p,U=1,i=1,q=2"));
    EXPECT_EQ(f.state().nextPlacementId, 2u);
    f.state().nextPlacementId = UINT32_MAX;
    f.feed(kitty("a=p,U=1,i=1,q=2"));
    EXPECT_EQ(f.state().nextPlacementId, 0u);
    EXPECT_TRUE(f.state().placementsByKey.contains({1, UINT32_MAX}));
}

TEST(TerminalKittyPlacement, PixelOffsetsAndBounds) {
    struct Case {
        const char* name;
        std::optional<CellPixelSize> cell;
        std::string command;
        std::string reply;
        std::pair<int64_t, int64_t> offsets;
    };
    const std::optional<CellPixelSize> cell = CellPixelSize{10, 20};
    const Case cases[] = {
        {"kept inside the first cell", cell, "a=p,i=1,p=1,X=100,Y=100", "i=1,p=1;OK", {9, 19}},
        {"negative raised to 0", cell, "a=p,i=1,p=1,X=-5,Y=3", "i=1,p=1;OK", {0, 3}},
        {"neither above 0: both 0", cell, "a=p,i=1,p=1,X=-5", "i=1,p=1;OK", {0, 0}},
        {"no cell size: not lowered", std::nullopt, "a=p,i=1,p=1,X=100", "i=1,p=1;OK", {100, 0}},
        {"a thousand cells across", cell, "a=p,i=1,p=1,c=1000,r=1", "i=1,p=1;OK", {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(20, 6, 50, c.cell);
        f.image(1, 10, 20);
        EXPECT_EQ(f.feed(kitty(c.command)), c.reply);
        const KittyPlacementRecord& record = f.state().placementsByKey.at({1, 1});
        EXPECT_EQ(std::pair(record.pixelOffsetX, record.pixelOffsetY), c.offsets);
    }

    Fixture f;
    f.image(1, 10, 20);
    EXPECT_EQ(f.feed(kitty("a=p,i=1,c=1001")), "i=1;EINVAL: placement out of range");
    EXPECT_EQ(f.feed(kitty("a=p,i=1,U=1,r=1001")), "i=1;EINVAL: placement out of range");
    EXPECT_EQ(f.strips(), "");
    // Records are bounded too.
    for (uint32_t p = 1; p <= Terminal::maxKittyPlacementRecords; ++p)
        f.state().placementsByKey[{7, p}] = KittyPlacementRecord{};
    EXPECT_EQ(f.feed(kitty("a=p,i=1,p=1")), "i=1;ENOSPC: too many placements");
    EXPECT_EQ(f.feed(kitty("a=p,U=1,i=1")), "i=1;ENOSPC: too many placements");
    EXPECT_EQ(f.feed(kitty("a=p,i=7,p=1,U=1,q=0")), "i=7;ENOENT: image not found");
    f.image(7, 10, 20);
    EXPECT_EQ(f.feed(kitty("a=p,i=7,p=1")), "i=7,p=1;OK"); // a replacement adds nothing
}

TEST(TerminalKittyPlacement, ParentRelativeOrigin) {
    struct Case {
        const char* name;
        int scrollsFirst;
        std::string command;
        std::string reply;
        std::string strips;
    };
    // The parent (image 1, one cell) sits at column 3, line 1; the child is image 2 from (0, 4).
    const Case cases[] = {
        {"offsets from the parent", 0, "a=p,i=2,p=1,P=1,Q=1,H=2,V=1", "i=2,p=1;OK", "1:1/1@3 2:2/1@5"},
        {"without p", 0, "a=p,i=2,P=1,Q=1,V=-1", "i=2;OK", "0:2/-@3 1:1/1@3"},
        {"column held on the screen", 0, "a=p,i=2,P=1,Q=1,H=100", "i=2;OK", "1:1/1@3 1:2/-@19"},
        {"P alone: at the cursor", 0, "a=p,i=2,P=1", "i=2;OK", "1:1/1@3 4:2/-@0"},
        {"no such parent", 0, "a=p,i=2,P=9,Q=1", "i=2;ENOPARENT: parent placement not found", "1:1/1@3"},
        {"below the screen", 0, "a=p,i=2,P=1,Q=1,V=5", "i=2;EINVAL: placement out of range", "1:1/1@3"},
        {"above the screen", 0, "a=p,i=2,P=1,Q=1,V=-2", "i=2;EINVAL: placement out of range", "1:1/1@3"},
        {"parent in the scroll-back", 3, "a=p,i=2,P=1,Q=1", "i=2;EINVAL: placement out of range", "1:1/1@3"},
        {"parent in the scroll-back, child on the screen", 3, "a=p,i=2,P=1,Q=1,V=3", "i=2;OK",
         "1:1/1@3 4:2/-@3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.image(1, 10, 20);
        f.image(2, 10, 20);
        f.at(3, 1);
        f.feed(kitty("a=p,i=1,p=1,C=1"));
        f.at(0, 5);
        f.harness.feed(std::string(size_t(c.scrollsFirst), '\n'));
        f.at(0, 4);
        EXPECT_EQ(f.feed(kitty(c.command)), c.reply);
        EXPECT_EQ(f.strips(), c.strips);
        // A relative placement puts the cursor back; a refused one leaves it.
        if (c.command.find("Q=") != std::string::npos) {
            EXPECT_EQ(f.harness.cursor(), std::pair(0, 4));
        }
    }

    Fixture f;
    f.image(1, 10, 20);
    f.feed(kitty("a=p,i=1,p=1"));
    f.terminal().activateAltBuffer(std::nullopt);
    EXPECT_EQ(f.feed(kitty("a=p,i=1,p=2,P=1,Q=1")), "i=1;ENOPARENT: parent placement not in current buffer");
}

TEST(TerminalKittyPlacement, ChildrenFollowAScrollInsideARegion) {
    Fixture f(20, 10);
    f.image(1, 10, 20);
    f.image(2, 10, 20);
    f.at(3, 5);
    f.feed(kitty("a=p,i=1,p=1,C=1"));
    f.feed(kitty("a=p,i=2,p=1,P=1,Q=1,H=1,V=-3"));
    EXPECT_EQ(f.strips(), "2:2/1@4 5:1/1@3");

    Buffer& buffer = f.terminal().buffer();
    buffer.setScrollTop(3);
    buffer.setScrollBottom(8);
    f.at(0, 8);
    f.harness.feed("\n");
    // The parent moved up with the region; the child, outside it, followed.
    EXPECT_EQ(f.strips(), "1:2/1@4 4:1/1@3");
    EXPECT_EQ(f.records(), "1/1:4,3 1x1 | 2/1:1,4 1x1");

    // Its parent gone, a child stays where it is and can no longer be a parent.
    f.feed(kitty("a=d,d=i,i=1"));
    f.harness.feed("\n");
    EXPECT_EQ(f.strips(), "1:2/1@4");
    EXPECT_EQ(f.feed(kitty("a=p,i=1,P=2,Q=1")), "i=1;ENOPARENT: parent placement not found");
}

TEST(TerminalKittyPlacement, ChildStripsLeavingTheRingAreDropped) {
    Fixture f(20, 6, 0);
    f.image(1, 10, 20);
    f.image(2, 10, 40);
    f.at(0, 3);
    f.feed(kitty("a=p,i=1,p=1,C=1"));
    f.at(5, 0);
    f.feed(kitty("a=p,i=2,p=1,P=1,Q=1,V=-3,C=1")); // lines 0 and 1
    Buffer& buffer = f.terminal().buffer();
    buffer.setScrollTop(2);
    buffer.setScrollBottom(5);
    f.at(0, 5);
    f.harness.feed("\n");
    // The child would move to line -1 and 0: the strip for -1 is gone, the record takes the position.
    EXPECT_EQ(f.strips(), "0:2/1@0 2:1/1@0");
    EXPECT_EQ(f.records(), "1/1:2,0 1x1 | 2/1:-1,0 1x2");
}

TEST(TerminalKittyPlacement, RecordsFollowTheirStripsWhenTheRingDropsLines) {
    Fixture f(20, 4, 2);
    f.image(1, 10, 20);
    f.at(0, 3);
    // The strip's line feed fills the ring; each later one drops the oldest line.
    f.feed(kitty("a=p,i=1,p=1,C=1"));
    f.harness.feed("\n\n\n");
    EXPECT_EQ(f.strips(), "1:1/1@0");
    EXPECT_EQ(f.records(), "1/1:1,0 1x1");
}

TEST(TerminalKittyPlacement, ParentCyclesAreRefusedWithoutLooping) {
    Fixture f;
    for (uint32_t id = 1; id <= 3; ++id)
        f.image(id, 10, 20);
    f.feed(kitty("a=p,i=1,p=1,C=1"));
    EXPECT_EQ(f.feed(kitty("a=p,i=2,p=1,P=1,Q=1,H=1")), "i=2,p=1;OK");
    // B resolves through A's old record before A is replaced.
    EXPECT_EQ(f.feed(kitty("a=p,i=1,p=1,P=2,Q=1,H=1")), "i=1,p=1;OK");
    EXPECT_EQ(f.strips(), "0:2/1@1 0:1/1@2");
    EXPECT_EQ(f.feed(kitty("a=p,i=3,P=1,Q=1")), "i=3;ENOPARENT: parent placement not found");
    EXPECT_EQ(f.feed(kitty("a=p,i=3,P=2,Q=1")), "i=3;ENOPARENT: parent placement not found");
    f.at(0, 5);
    f.harness.feed("\n\n");
    EXPECT_EQ(f.strips(), "0:2/1@1 0:1/1@2");
}

TEST(TerminalKittyPlacement, DeleteSelectors) {
    struct Case {
        const char* name;
        std::string command;
        std::string reply;
        std::string strips;
        std::string stored;
    };
    // Every placement is keyed except image 3's; image 4 was sent as number 7; image 5 is shown nowhere.
    const std::string all = "0:1/1@0 1:1/1@0 1:3/-@12 2:2/1@5 3:4/1@15 4:2/2@8";
    const std::string every = "1 2 3 4 5";
    const Case cases[] = {
        {"a: the screen", "d=a", "", "", every},
        {"A: and frees", "d=A", "", "", ""},
        {"default is a", "", "", "", every},
        {"i: an image", "d=i,i=2", "", "0:1/1@0 1:1/1@0 1:3/-@12 3:4/1@15", every},
        {"I: and frees it", "d=I,i=2", "", "0:1/1@0 1:1/1@0 1:3/-@12 3:4/1@15", "1 3 4"},
        {"i with p", "d=i,i=2,p=2", "", "0:1/1@0 1:1/1@0 1:3/-@12 2:2/1@5 3:4/1@15", every},
        {"i without i", "d=i", "EINVAL: missing image id", all, every},
        {"I without i frees nothing", "d=I", "EINVAL: missing image id", all, every},
        {"n: by number", "d=n,I=7", "", "0:1/1@0 1:1/1@0 1:3/-@12 2:2/1@5 4:2/2@8", every},
        {"N: by number, freed", "d=N,I=7", "", "0:1/1@0 1:1/1@0 1:3/-@12 2:2/1@5 4:2/2@8", "1 2 3"},
        {"N: unknown number frees the unused", "d=N,I=9", "", all, "1 2 3 4"},
        {"n without I", "d=n", "EINVAL: missing image number", all, every},
        {"c: under the cursor (5, 2)", "d=c", "", "0:1/1@0 1:1/1@0 1:3/-@12 3:4/1@15 4:2/2@8", every},
        {"p: a cell of a taller placement", "d=p,x=1,y=2", "", "1:3/-@12 2:2/1@5 3:4/1@15 4:2/2@8", every},
        {"p without y", "d=p,x=2", "EINVAL: missing cell position", all, every},
        {"q: z matches", "d=q,x=6,y=3,z=-1", "", "0:1/1@0 1:1/1@0 1:3/-@12 3:4/1@15 4:2/2@8", every},
        {"q: z differs", "d=q,x=6,y=3,z=0", "", all, every},
        {"q without x", "d=q,y=3", "EINVAL: missing cell position", all, every},
        {"x: a column", "d=x,x=13", "", "0:1/1@0 1:1/1@0 2:2/1@5 3:4/1@15 4:2/2@8", every},
        {"x: 0", "d=x,x=0", "EINVAL: missing column", all, every},
        {"y: a row", "d=y,y=5", "", "0:1/1@0 1:1/1@0 1:3/-@12 2:2/1@5 3:4/1@15", every},
        {"Y: a row of a taller placement, freed", "d=Y,y=1", "", "1:3/-@12 2:2/1@5 3:4/1@15 4:2/2@8",
         "2 3 4"},
        {"y without y", "d=y", "EINVAL: missing row", all, every},
        {"z", "d=z,z=-1", "", "0:1/1@0 1:1/1@0 1:3/-@12 3:4/1@15 4:2/2@8", every},
        {"r: ids 1 to 2", "d=r,x=2,y=1", "", "1:3/-@12 3:4/1@15", every},
        {"R: ids past 32 bits", "d=R,x=4,y=99999999999", "", "0:1/1@0 1:1/1@0 1:3/-@12 2:2/1@5 4:2/2@8",
         "1 2 3"},
        {"r without y", "d=r,x=1", "EINVAL: missing id range", all, every},
        {"unknown selector", "d=b", "EINVAL: unsupported delete", all, every},
        {"unknown selector without case frees", "d=%", "EINVAL: unsupported delete", all, "1 2 3 4"},
        {"q=2 silences errors", "d=x,q=2", "", all, every},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.image(1, 10, 40);
        f.image(2, 10, 20);
        f.image(3, 10, 20);
        f.harness.feed(Fixture::kitty("a=t,q=2,f=32,s=1,v=1,I=7", Fixture::pixels(1, 1)));
        f.image(5, 10, 20);
        ASSERT_EQ(f.state().imageNumbers.at(7), 4u);
        f.feed(kitty("a=p,i=1,p=1,C=1"));
        f.at(12, 1);
        f.feed(kitty("a=p,i=3,C=1"));
        f.at(5, 2);
        f.feed(kitty("a=p,i=2,p=1,z=-1,C=1"));
        f.at(8, 4);
        f.feed(kitty("a=p,i=2,p=2,C=1"));
        f.at(15, 3);
        f.feed(kitty("a=p,I=7,p=1,C=1,q=2"));
        ASSERT_EQ(f.strips(), all);
        f.at(5, 2);
        const std::string command = "a=d" + (c.command.empty() ? "" : "," + c.command);
        EXPECT_EQ(f.feed(kitty(command)), c.reply.empty() ? "" : ";" + c.reply);
        EXPECT_EQ(f.strips(), c.strips);
        EXPECT_EQ(f.stored(), c.stored);
        // Records go with their strips.
        for (const auto& [key, record] : f.state().placementsByKey)
            EXPECT_NE(f.strips().find(std::to_string(key.imageId) + "/" + std::to_string(key.placementId)),
                      std::string::npos);
    }
}

TEST(TerminalKittyPlacement, DeletingTheScreenLeavesTheScrollBack) {
    Fixture f;
    f.image(1, 10, 20);
    f.feed(kitty("a=p,i=1,p=1,C=1"));
    f.at(0, 5);
    f.harness.feed("\n\n");
    f.at(0, 0);
    f.feed(kitty("a=p,i=1,p=2,C=1"));
    f.feed(kitty("a=p,i=1,C=1,X=1"));
    EXPECT_EQ(f.strips(), "0:1/1@0 2:1/2@0 2:1/-@0");
    f.terminal().clearUpdateRange();
    f.feed(kitty("a=d,d=a"));
    EXPECT_EQ(f.strips(), "0:1/1@0");
    EXPECT_EQ(f.records(), "1/1:0,0 1x1");
    EXPECT_EQ(f.terminal().getUpdateRange(), (Terminal::UpdateRange{0, 0}));
}

TEST(TerminalKittyPlacement, ScreenSwitchesAndResetsClearImages) {
    Fixture f;
    f.image(1, 10, 20);
    Terminal& t = f.terminal();
    f.feed(kitty("a=p,i=1,p=1,C=1"));
    t.activateAltBuffer(std::nullopt);
    f.image(2, 10, 20);
    f.feed(kitty("a=p,i=2,p=1,C=1"));
    f.feed(kitty("a=p,i=2,p=2,U=1"));
    EXPECT_EQ(f.records(), "1/1:0,0 1x1 | 2/1:0,0 1x1 alt | 2/2:0,0 0x0 virtual alt");
    // Left without clearing, entered again: the alternate screen starts without placements.
    t.activateNormalBuffer(false);
    EXPECT_EQ(Fixture::strips(t.altBuffer()), "0:2/1@0");
    t.activateAltBuffer(std::nullopt);
    EXPECT_EQ(Fixture::strips(t.altBuffer()), "");
    EXPECT_EQ(f.records(), "1/1:0,0 1x1");
    EXPECT_EQ(f.stored(), "1");
    EXPECT_EQ(Fixture::strips(t.normalBuffer()), "0:1/1@0");

    f.image(2, 10, 20);
    f.feed(kitty("a=p,i=2,p=1,C=1"));
    t.activateNormalBuffer(true);
    EXPECT_EQ(f.records(), "1/1:0,0 1x1");
    EXPECT_EQ(f.stored(), "1");

    // A full reset empties the store; the id counters go on.
    f.harness.feed(Fixture::kitty("a=t,q=2,f=32,s=1,v=1,I=3", Fixture::pixels(1, 1)));
    const uint32_t lastId = f.state().imageNumbers.at(3);
    // Strips of other protocols go as well.
    t.activateAltBuffer(std::nullopt);
    t.altBuffer().attachImage(std::make_shared<RgbaImageStrip>(std::vector<uint8_t>(4), 1, 1), 2);
    f.harness.feed("\x1b"
                   "c");
    EXPECT_EQ(Fixture::strips(t.altBuffer()), "");
    EXPECT_FALSE(t.altBuffer().hasAnyImages());
    EXPECT_EQ(f.records(), "");
    EXPECT_EQ(f.stored(), "");
    EXPECT_EQ(f.state().totalImageBytes, 0);
    f.harness.feed(Fixture::kitty("a=t,q=2,f=32,s=1,v=1,I=3", Fixture::pixels(1, 1)));
    EXPECT_EQ(f.state().imageNumbers.at(3), lastId + 1);
}

TEST(TerminalKittyPlacement, CommandsThatClearImages) {
    struct Case {
        const char* name;
        std::string sequence;
        std::string normalStrips;
        std::string records;
        std::string stored;
    };
    // A keyed placement and a strip of another protocol on the normal screen's scroll-back and screen, a
    // keyed placement on the alternate screen; image 3 is shown nowhere.
    const std::string normal = "1:x@0 3:1/1@0";
    const Case cases[] = {
        {"ED 2 drops every image of both screens", "\x1b[2J", "", "", ""},
        {"ED 3 drops none", "\x1b[3J", normal, "1/1:3,0 1x1 | 2/1:0,0 1x1 alt", "1 2 3"},
        {"ED 0 drops none", "\x1b[J", normal, "1/1:3,0 1x1 | 2/1:0,0 1x1 alt", "1 2 3"},
        {"DECCOLM set", "\x1b[?3h", "", "", ""},
        {"DECCOLM reset", "\x1b[?3l", "", "", ""},
        {"RIS",
         "\x1b"
         "c",
         "", "", ""},
        {"1049 back and in again: the alternate screen's only", "\x1b[?1049l\x1b[?1049h", normal,
         "1/1:3,0 1x1", "1"},
        {"1047 leaves the alternate screen cleared", "\x1b[?1047l", normal, "1/1:3,0 1x1", "1"},
        {"47 leaves it as it is", "\x1b[?47l", normal, "1/1:3,0 1x1 | 2/1:0,0 1x1 alt", "1 2 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        Terminal& t = f.terminal();
        f.image(1, 10, 20);
        t.normalBuffer().attachImage(std::make_shared<RgbaImageStrip>(std::vector<uint8_t>(4), 1, 1), 1);
        f.at(0, 3);
        f.feed(kitty("a=p,i=1,p=1,C=1"));
        f.harness.feed("\x1b[?1049h");
        f.image(2, 10, 20);
        f.image(3, 10, 20);
        f.at(0, 0);
        f.feed(kitty("a=p,i=2,p=1,C=1"));
        f.harness.feed(c.sequence);
        EXPECT_EQ(Fixture::strips(t.normalBuffer()), c.normalStrips);
        EXPECT_EQ(f.records(), c.records);
        EXPECT_EQ(f.stored(), c.stored);
        if (c.records.empty()) {
            EXPECT_EQ(Fixture::strips(t.altBuffer()), "");
            EXPECT_FALSE(t.normalBuffer().hasAnyImages());
        }
    }
}

TEST(TerminalKittyPlacement, StripBudgetDropsTheOldestStrips) {
    Fixture f;
    f.image(1, 10, 20);
    // Room for ten strips of 10 x 20 pixels.
    const int64_t perStrip = 10 * 20 * 4 + 256;
    f.terminal().imageStripByteLimit = 10 * perStrip;
    for (int p = 1; p <= 4; ++p)
        f.feed(kitty("a=p,i=1,r=3,c=1,C=1,p=" + std::to_string(p)));
    // The fourth needed room: the oldest line lost its strips.
    EXPECT_EQ(f.strips(), "0:1/4@0 1:1/1@0 1:1/2@0 1:1/3@0 1:1/4@0 2:1/1@0 2:1/2@0 2:1/3@0 2:1/4@0");
    EXPECT_EQ(f.terminal().imageStripBytes(), 9 * perStrip);

    // One image larger than the whole budget is shown smaller.
    f.feed(kitty("a=d,d=a"));
    f.feed(kitty("a=p,i=1,r=20,c=1"));
    EXPECT_GT(f.terminal().imageStripBytes(), 0);
    EXPECT_LE(f.terminal().imageStripBytes(), f.terminal().imageStripByteLimit);
}

// The anchors that spare re-anchoring a scan of the ring must agree with the scan, whatever moved the
// lines: scrolls of the screen and of regions, lines moved or cleared by other commands, new widths.
TEST(TerminalKittyPlacement, RecordsAgreeWithTheStripsAfterEveryScroll) {
    std::mt19937 random(7);
    Fixture f(12, 6, 8);
    Terminal& t = f.terminal();
    for (uint32_t id = 1; id <= 3; ++id)
        f.image(id, 10, 20 * int(id));
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    for (int step = 0; step < 3000; ++step) {
        SCOPED_TRACE(step);
        Buffer& buffer = t.buffer();
        switch (pick(9)) {
        case 0: {
            f.at(pick(12), pick(6));
            const uint32_t id = uint32_t(1 + pick(3));
            std::string parent =
                pick(3) == 0 ? ",P=" + std::to_string(1 + pick(3)) + ",Q=1,V=" + std::to_string(pick(5) - 2)
                             : "";
            f.harness.feed(
                kitty("a=p,q=2,C=1,i=" + std::to_string(id) + ",p=" + std::to_string(1 + pick(2)) + parent));
            break;
        }
        case 1:
            buffer.setScrollTop(0);
            buffer.setScrollBottom(5);
            f.at(0, 5);
            break;
        case 2:
            buffer.setScrollTop(pick(3));
            buffer.setScrollBottom(3 + pick(3));
            f.at(0, buffer.scrollBottom());
            break;
        case 3: {
            // Commands that move, insert, delete or blank lines without re-anchoring.
            static const char* const moves[] = {"\x1b[L", "\x1b[2L", "\x1b[M",   "\x1b[3M",
                                                "\x1bM",  "\x1b[S",  "\x1b[2T",  "\x1b[2K",
                                                "\x1b[J", "\x1b[1J", "\x1b[2;5r"};
            f.at(0, pick(6));
            f.harness.feed(moves[pick(int(std::size(moves)))]);
            break;
        }
        case 4:
            if (pick(20) == 0) t.resize(10 + pick(4), 6);
            break;
        case 5:
            if (pick(10) == 0) f.harness.feed(kitty("a=d,d=" + std::string(1, "aiyz"[pick(4)]) + ",i=1,y=2"));
            break;
        default:
            f.harness.feed("\n");
            break;
        }
        if (step % 3 != 0) continue;
        // A scroll re-anchors; afterwards every record of a placement with strips sits on them.
        f.at(0, buffer.scrollBottom());
        f.harness.feed("\n");
        const Terminal::KittyPlacementPositions positions = t.collectKittyPlacementPositions(t.buffer());
        for (const auto& [key, record] : f.state().placementsByKey) {
            auto found = positions.find(key);
            // A child moved partly off the ring keeps the position its strips could not reach.
            if (found == positions.end() || record.isVirtual || record.row < 0) continue;
            EXPECT_EQ(found->second, (Terminal::KittyPlacementPosition{record.row, record.col}))
                << key.imageId << "/" << key.placementId;
        }
    }
}

// Found by fuzzing: while the user looks at the scroll-back, a placement that scrolls the screen
// re-anchors strips on lines below the view; those lines are not screen rows to redraw.
TEST(TerminalKittyPlacement, ChangesBelowTheViewStayOutOfTheScreenRange) {
    TerminalHarness h(11, 26, 35);
    Terminal& t = h.terminal();
    t.userScrolling = true;
    t.resize(1, 1);
    t.clearUpdateRange();
    h.feed("slue {\x1b_Ga=T,f=24,s=2,v=2;AAAAAAAAAAAAGgin\x1b_Ga=d\x1b");
    ASSERT_GT(t.buffer().yBase(), 0);
    const auto range = t.getUpdateRange();
    ASSERT_TRUE(range);
    EXPECT_GE(range->startY, 0);
    EXPECT_LT(range->endY, t.rows());
}
