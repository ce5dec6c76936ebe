#include "Base64.h"
#include "ImageBudget.h"
#include "KittyPlacementImage.h"
#include "KittyTestData.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

// One APC "G" command: the control keys, then ";" and the Base64 of the data when there is data.
std::string kitty(const std::string& control, std::optional<std::string> data = std::nullopt) {
    std::string command = "\x1b_G" + control;
    if (data) command += ";" + Base64::encode(std::string_view(*data));
    return command + "\x1b\\";
}

std::string kittyText(const std::string& control, const std::string& payloadText) {
    return "\x1b_G" + control + ";" + payloadText + "\x1b\\";
}

std::string bytes(std::initializer_list<uint8_t> list) {
    return std::string(list.begin(), list.end());
}

// A terminal whose delegate's log is read as the replies: one "send" line per reply, joined by " | ".
struct KittyTerminal {
    TerminalHarness harness;

    explicit KittyTerminal(int64_t cacheLimit = 335544320)
        : harness(options(cacheLimit)) {
        // Displays ask for the cell size; only the replies are read here.
        harness.delegate().ignored.insert("cellSizeInPixels");
    }

    static TerminalOptions options(int64_t cacheLimit) {
        TerminalOptions o;
        o.cols = 20;
        o.rows = 5;
        o.kittyImageCacheLimitBytes = cacheLimit;
        return o;
    }

    Terminal& terminal() { return harness.terminal(); }

    std::string feed(const std::string& input) {
        harness.feed(input);
        std::string out;
        for (const std::string& line : harness.log())
            out += (out.empty() ? "" : " | ") + line;
        return out;
    }

    KittyGraphicsState& state() { return terminal().kittyGraphicsState; }

    std::string storedIds() { return storedImageIds(state()); }
};

const std::string rgbPixel = bytes({1, 2, 3});

struct TestStrip : KittyPlacementImage {
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return _col; }
    void setCol(int col) override { _col = col; }
    int _col = 0;
};

std::shared_ptr<TestStrip> strip(std::optional<uint32_t> imageId, bool isKitty = true) {
    auto s = std::make_shared<TestStrip>();
    s->kittyIsKitty = isKitty;
    s->kittyImageId = imageId;
    return s;
}

} // namespace

TEST(TerminalKitty, CommandsAndReplies) {
    struct Case {
        const char* name;
        std::vector<std::string> inputs;
        std::string expectedReplies; // of the last input
        std::string expectedStored;
    };
    const std::string oneRgb = "f=24,s=1,v=1";
    const Case cases[] = {
        {"G alone", {"\x1b_G\x1b\\"}, "send \\e_G;EINVAL: bad payload\\e\\\\", ""},
        {"query answers and stores nothing",
         {kitty("a=q,i=31,s=1,v=1,f=24", rgbPixel)},
         "send \\e_Gi=31;OK\\e\\\\",
         ""},
        {"query with bad data",
         {kitty("a=q,i=31,s=2,v=1,f=24", rgbPixel)},
         "send \\e_Gi=31;EINVAL: bad payload\\e\\\\",
         ""},
        {"query reads the data in the sequence whatever t says",
         {kitty("a=q,t=f,i=2," + oneRgb, rgbPixel)},
         "send \\e_Gi=2;OK\\e\\\\",
         ""},
        {"query does not check i and I",
         {kitty("a=q,i=2,I=3,p=4," + oneRgb, rgbPixel)},
         "send \\e_Gi=2,I=3,p=4;OK\\e\\\\",
         ""},
        {"missing payload", {kitty("a=t,i=1," + oneRgb)}, "send \\e_Gi=1;EINVAL: bad payload\\e\\\\", ""},
        {"not Base64",
         {kittyText("a=t,i=1," + oneRgb, "AQI")},
         "send \\e_Gi=1;EINVAL: bad payload\\e\\\\",
         ""},
        {"bytes outside the alphabet skipped",
         {kittyText("a=t,i=1," + oneRgb, "AQ\nID")},
         "send \\e_Gi=1;OK\\e\\\\",
         "1"},
        {"i and I together",
         {kitty("a=t,i=5,I=9," + oneRgb, rgbPixel)},
         "send \\e_Gi=5;EINVAL: i and I are mutually exclusive\\e\\\\",
         ""},
        {"I alone in an error", {kitty("a=t,I=9," + oneRgb)}, "send \\e_GI=9;EINVAL: bad payload\\e\\\\", ""},
        {"unsupported action", {kitty("a=f,i=1")}, "send \\e_Gi=1;EINVAL: unsupported action\\e\\\\", ""},
        {"unsupported transmission",
         {kitty("a=t,t=x,i=1," + oneRgb, rgbPixel)},
         "send \\e_Gi=1;ENOTSUP: unsupported transmission\\e\\\\",
         ""},
        {"transmit with id", {kitty("a=t,i=3,p=4," + oneRgb, rgbPixel)}, "send \\e_Gi=3,p=4;OK\\e\\\\", "3"},
        {"i=0 is no id: nothing stored or answered", {kitty("a=t,i=0," + oneRgb, rgbPixel)}, "", ""},
        {"no id: nothing stored or answered", {kitty("a=t," + oneRgb, rgbPixel)}, "", ""},
        {"display without id: shown, not stored, no reply", {kitty("a=T," + oneRgb, rgbPixel)}, "", ""},
        {"display with id", {kitty("a=T,i=8," + oneRgb, rgbPixel)}, "send \\e_Gi=8;OK\\e\\\\", "8"},
        {"q=1 silences OK", {kitty("a=t,i=1,q=1," + oneRgb, rgbPixel)}, "", "1"},
        {"q=1 keeps errors",
         {kitty("a=t,i=1,q=1," + oneRgb)},
         "send \\e_Gi=1;EINVAL: bad payload\\e\\\\",
         ""},
        {"q=2 silences errors", {kitty("a=t,i=1,q=2," + oneRgb)}, "", ""},
        {"q=3 silences everything", {kitty("a=x,i=1,q=3")}, "", ""},
        {"image number", {kitty("a=t,I=7," + oneRgb, rgbPixel)}, "send \\e_Gi=1,I=7;OK\\e\\\\", "1"},
        {"image number again: a new id",
         {kitty("a=t,I=7," + oneRgb, rgbPixel), kitty("a=t,I=7," + oneRgb, rgbPixel)},
         "send \\e_Gi=2,I=7;OK\\e\\\\",
         "1 2"},
        {"image number skips an id in use",
         {kitty("a=t,i=1," + oneRgb, rgbPixel), kitty("a=t,I=7," + oneRgb, rgbPixel)},
         "send \\e_Gi=2,I=7;OK\\e\\\\",
         "1 2"},
        {"id replaces",
         {kitty("a=t,I=7," + oneRgb, rgbPixel), kitty("a=t,i=1," + oneRgb, rgbPixel)},
         "send \\e_Gi=1;OK\\e\\\\",
         "1"},
        {"put by number",
         {kitty("a=t,I=3," + oneRgb, rgbPixel), kitty("a=p,I=3,p=2")},
         "send \\e_Gi=1,I=3,p=2;OK\\e\\\\",
         "1"},
        {"put of a missing image", {kitty("a=p,i=7")}, "send \\e_Gi=7;ENOENT: image not found\\e\\\\", ""},
        {"three chunks, one reply",
         {kittyText("a=T,i=5,f=24,s=2,v=1,m=1", "AQID"), kittyText("m=1", "BAUG"),
          kittyText("m=0,a=p,i=9", "")},
         "send \\e_Gi=5;OK\\e\\\\",
         "5"},
        {"chunks answer nothing until the last", {kittyText("a=t,i=5,f=24,s=1,v=1,m=1", "AQID")}, "", ""},
        {"chunk boundaries inside a quartet",
         {kittyText("a=t,i=5,f=24,s=2,v=1,m=1", "AQ"), kittyText("m=1", "IDBA"), kittyText("m=0", "UG")},
         "send \\e_Gi=5;OK\\e\\\\",
         "5"},
        {"every chunk padded on its own",
         {kittyText("i=1,s=2,v=2,m=1", "YWJjZA=="), kittyText("m=1", "ZWZnaA=="),
          kittyText("m=1", "aWprbA=="), kittyText("m=0", "bW5vcA==")},
         "send \\e_Gi=1;OK\\e\\\\",
         "1"},
        {"padding inside a chunk fails",
         {kittyText("a=t,i=5,f=24,s=2,v=1,m=1", "AQ==AQID"), kittyText("m=0", "")},
         "send \\e_Gi=5;EINVAL: bad payload\\e\\\\",
         ""},
        {"a deletion drops the chunks",
         {kittyText("a=t,i=5,f=24,s=1,v=1,m=1", "AQID"), kitty("a=d"), kitty("a=t,i=6," + oneRgb, rgbPixel)},
         "send \\e_Gi=6;OK\\e\\\\",
         "6"},
        {"m=1 on a file is a whole command",
         {kitty("a=t,t=f,m=1,i=4", "/nonexistent")},
         "send \\e_Gi=4;EINVAL: bad path\\e\\\\",
         ""},
        {"bad path: proc",
         {kitty("a=t,t=f,i=4," + oneRgb, "/proc/self/status")},
         "send \\e_Gi=4;EINVAL: bad path\\e\\\\",
         ""},
        {"bad path: dev",
         {kitty("a=t,t=f,i=4," + oneRgb, "/dev/zero")},
         "send \\e_Gi=4;EINVAL: bad path\\e\\\\",
         ""},
        {"temporary file without marker",
         {kitty("a=t,t=t,i=4," + oneRgb, "/tmp")},
         "send \\e_Gi=4;EINVAL: bad temp path\\e\\\\",
         ""},
        {"shared memory missing",
         {kitty("a=t,t=s,i=4," + oneRgb, "/tessaline-missing")},
         "send \\e_Gi=4;EINVAL: bad payload\\e\\\\",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KittyTerminal t;
        std::string replies;
        for (const std::string& input : c.inputs)
            replies = t.feed(input);
        EXPECT_EQ(replies, c.expectedReplies);
        EXPECT_EQ(t.storedIds(), c.expectedStored);
    }
}

TEST(TerminalKitty, StoredPixels) {
    std::vector<uint8_t> png = makePng(2, 2);
    std::string pngText(png.begin(), png.end());
    std::vector<uint8_t> packed = zlibCompress(bytesOf(bytes({9, 8, 7, 6, 5, 4})));
    std::string stream(packed.begin(), packed.end());
    struct Case {
        const char* name;
        std::string input;
        std::string reply;
        KittyGraphicsPayload expected;
    };
    const Case cases[] = {
        {"f=24 gains opaque alpha", kitty("a=t,i=1,f=24,s=2,v=1", bytes({1, 2, 3, 4, 5, 6})),
         "send \\e_Gi=1;OK\\e\\\\", KittyGraphicsPayload::rgba({1, 2, 3, 255, 4, 5, 6, 255}, 2, 1)},
        {"f=32 straight alpha as sent", kitty("a=t,i=1,s=1,v=2", bytes({200, 100, 50, 0, 10, 20, 30, 128})),
         "send \\e_Gi=1;OK\\e\\\\", KittyGraphicsPayload::rgba({200, 100, 50, 0, 10, 20, 30, 128}, 1, 2)},
        {"f=100 kept as sent", kitty("a=t,i=1,f=100", pngText), "send \\e_Gi=1;OK\\e\\\\",
         KittyGraphicsPayload::png(png)},
        {"o=z", kitty("a=t,i=1,f=24,s=2,v=1,o=z", stream), "send \\e_Gi=1;OK\\e\\\\",
         KittyGraphicsPayload::rgba({9, 8, 7, 255, 6, 5, 4, 255}, 2, 1)},
        {"o=z truncated",
         kitty("a=t,i=1,f=24,s=2,v=1,o=z", stream.substr(0, stream.size() - 3)),
         "send \\e_Gi=1;EINVAL: bad payload\\e\\\\",
         {}},
        {"o=x", kitty("a=t,i=1,f=24,s=2,v=1,o=x", stream), "send \\e_Gi=1;EINVAL: bad payload\\e\\\\", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KittyTerminal t;
        EXPECT_EQ(t.feed(c.input), c.reply);
        auto it = t.state().imagesById.find(1);
        if (c.reply.find("OK") == std::string::npos) {
            EXPECT_EQ(it, t.state().imagesById.end());
            continue;
        }
        ASSERT_NE(it, t.state().imagesById.end());
        EXPECT_EQ(*it->second.payload, c.expected);
        EXPECT_EQ(it->second.byteSize, int64_t(c.expected.bytes.size()));
        EXPECT_EQ(t.state().totalImageBytes, int64_t(c.expected.bytes.size()));
    }
}

TEST(TerminalKitty, FilesAndSharedMemoryThroughTheTerminal) {
    KittyTerminal t;
    TempFolder folder;
    std::string plain = folder.write("image", bytesOf(rgbPixel));
    std::string marked = folder.write("tty-graphics-protocol.rgb", bytesOf(rgbPixel));
    EXPECT_EQ(t.feed(kitty("a=t,t=f,i=1,f=24,s=1,v=1", plain)), "send \\e_Gi=1;OK\\e\\\\");
    EXPECT_EQ(t.feed(kitty("a=t,t=t,i=2,f=24,s=1,v=1", plain)), "send \\e_Gi=2;EINVAL: bad temp path\\e\\\\");
    EXPECT_EQ(::access(plain.c_str(), F_OK), 0);
    // Both i and I: refused before anything is read, the temporary file stays.
    EXPECT_EQ(t.feed(kitty("a=t,t=t,i=3,I=4,f=24,s=1,v=1", marked)),
              "send \\e_Gi=3;EINVAL: i and I are mutually exclusive\\e\\\\");
    EXPECT_EQ(::access(marked.c_str(), F_OK), 0);
    EXPECT_EQ(t.feed(kitty("a=t,t=t,i=3,f=24,s=1,v=1", marked)), "send \\e_Gi=3;OK\\e\\\\");
    EXPECT_NE(::access(marked.c_str(), F_OK), 0);

    std::string name = "/tessaline-kitty-" + std::to_string(::getpid());
    int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, rgbPixel.data(), 3), 3);
    ::close(fd);
    EXPECT_EQ(t.feed(kitty("a=t,t=s,i=4,f=24,s=1,v=1", name)), "send \\e_Gi=4;OK\\e\\\\");
    EXPECT_LT(::shm_open(name.c_str(), O_RDONLY, 0), 0);
    EXPECT_EQ(t.storedIds(), "1 3 4");
}

TEST(TerminalKitty, BudgetFromTheOptions) {
    // 400-byte images (10 x 10 RGBA) under a 1000-byte budget: the third evicts the oldest, its number with
    // it.
    KittyTerminal t(1000);
    std::string image(300, '\x11');
    t.feed(kitty("a=t,I=1,f=24,s=10,v=10", image));
    t.feed(kitty("a=t,I=2,f=24,s=10,v=10", image));
    EXPECT_EQ(t.feed(kitty("a=t,I=3,f=24,s=10,v=10", image)), "send \\e_Gi=3,I=3;OK\\e\\\\");
    EXPECT_EQ(t.storedIds(), "2 3");
    EXPECT_EQ(t.state().totalImageBytes, 800);
    EXPECT_FALSE(t.state().imageNumbers.contains(1));
    EXPECT_EQ(t.feed(kitty("a=p,I=1")), "send \\e_GI=1;ENOENT: image not found\\e\\\\");

    // A placement keeps its image; an image larger than the budget is answered OK and is gone at once, after
    // the older unplaced image 3.
    KittyPlacementRecord record;
    record.imageId = 2;
    record.placementId = 1;
    t.state().placementsByKey[{2, 1}] = record;
    EXPECT_EQ(t.feed(kitty("a=t,i=9,f=24,s=20,v=20", std::string(1200, '\x22'))), "send \\e_Gi=9;OK\\e\\\\");
    EXPECT_EQ(t.storedIds(), "2");

    // The option is read at each store: a budget of -5 acts as 0.
    t.terminal().options.kittyImageCacheLimitBytes = -5;
    EXPECT_EQ(t.feed(kitty("a=t,i=10,f=24,s=1,v=1", rgbPixel)), "send \\e_Gi=10;OK\\e\\\\");
    EXPECT_EQ(t.storedIds(), "");
    EXPECT_EQ(t.state().totalImageBytes, 0);
}

TEST(TerminalKitty, ImagesInUseComeFromStripsOfBothBuffersAndRecords) {
    KittyTerminal t;
    t.feed(std::string(12, '\n'));
    Terminal& terminal = t.terminal();
    // Entering the alternate screen frees the images nothing shows: switch before storing them.
    terminal.activateAltBuffer(std::nullopt);
    for (int id = 1; id <= 6; ++id)
        t.feed(kitty("a=t,f=24,s=1,v=1,i=" + std::to_string(id), rgbPixel));
    terminal.normalBuffer().attachImage(strip(1),
                                        0); // the oldest scroll-back line
    terminal.normalBuffer().attachImage(strip(std::nullopt), 1);
    terminal.altBuffer().attachImage(strip(2), 4);
    terminal.altBuffer().attachImage(strip(4, false),
                                     3); // not a Kitty strip, yet it names an id
    KittyPlacementRecord record;
    record.imageId = 3;
    record.placementId = 1;
    t.state().placementsByKey[{3, 1}] = record;

    EXPECT_EQ(terminal.collectUsedKittyImageIds(), (KittyImageIdSet{1, 2, 3, 4}));
    terminal.cleanupUnusedKittyImages();
    EXPECT_EQ(t.storedIds(), "1 2 3 4");
    EXPECT_EQ(t.state().totalImageBytes, 16);
}

TEST(TerminalKitty, EightBitRepliesAfterS8C1T) {
    KittyTerminal t;
    t.feed("\x1b G");
    EXPECT_EQ(t.feed(kitty("a=t,i=1,f=24,s=1,v=1", rgbPixel)), "send \\x9FGi=1;OK\\x9C");
    EXPECT_EQ(t.feed(kitty("a=x,I=2")), "send \\x9FGI=2;EINVAL: unsupported action\\x9C");
    t.feed("\x1b F");
    EXPECT_EQ(t.feed(kitty("a=t,i=1,f=24,s=1,v=1", rgbPixel)), "send \\e_Gi=1;OK\\e\\\\");
}

// Chunk texts used to be kept whole until the last chunk: a 100 MiB image held its 133 MiB of Base64 and then
// copies of the decoded data. Now each chunk is decoded as it arrives into one buffer of the image's size.
TEST(TerminalKitty, LargeChunkedTransmissionHoldsAboutItsDecodedSize) {
    KittyTerminal t;
    const int64_t side = 5120; // 5120 x 5120 x 4 = 100 MiB
    const size_t decoded = size_t(side * side * 4);
    const size_t chunkBytes = 3 * 4096;
    std::string chunkData(chunkBytes, '\0');
    for (size_t i = 0; i < chunkBytes; ++i)
        chunkData[i] = char(i * 7);
    const std::string chunkText = Base64::encode(std::string_view(chunkData));

    t.feed(kittyText("a=t,i=1,s=" + std::to_string(side) + ",v=" + std::to_string(side) + ",m=1", ""));
    size_t sent = 0;
    size_t peakHeld = 0;
    while (sent + chunkBytes < decoded) {
        t.terminal().feed(kittyText("m=1", chunkText));
        sent += chunkBytes;
        if (sent % (chunkBytes * 512) == 0) peakHeld = std::max(peakHeld, t.state().pendingHeldBytes());
    }
    std::string last = Base64::encode(std::string_view(chunkData).substr(0, decoded - sent));
    peakHeld = std::max(peakHeld, t.state().pendingHeldBytes());
    EXPECT_EQ(t.feed(kittyText("m=0", last)), "send \\e_Gi=1;OK\\e\\\\");

    EXPECT_LE(peakHeld, decoded);
    EXPECT_FALSE(t.state().pending);
    const KittyGraphicsImage& image = t.state().imagesById.at(1);
    EXPECT_EQ(image.byteSize, int64_t(decoded));
    EXPECT_EQ(image.payload->bytes.capacity(), decoded);
    EXPECT_EQ(image.payload->bytes[chunkBytes + 5], uint8_t(chunkData[5]));
}

// Past the data limit the chunks stop being collected; the transmission fails when it completes.
// A transmission that never finishes used to hold about twice the 400 MiB data limit.
TEST(TerminalKitty, ChunksPastThePendingBudgetFail) {
    KittyTerminal t;
    const int64_t chunkBytes = 3 << 15;
    const std::string chunkText = Base64::encode(std::string(size_t(chunkBytes), 'x'));
    t.feed(kittyText("a=t,i=1,f=100,m=1", chunkText));
    size_t peakHeld = 0;
    for (int64_t sent = chunkBytes; sent <= ImageBudget::maxPendingBytes; sent += chunkBytes) {
        t.terminal().feed(kittyText("m=1", chunkText));
        peakHeld = std::max(peakHeld, t.state().pendingHeldBytes());
    }
    EXPECT_LE(peakHeld, size_t(ImageBudget::maxPendingBytes));
    EXPECT_EQ(t.state().pendingHeldBytes(), 0u);
    EXPECT_EQ(t.feed(kittyText("m=0", "")), "send \\e_Gi=1;EINVAL: bad payload\\e\\\\");
    EXPECT_EQ(t.storedIds(), "");
}
