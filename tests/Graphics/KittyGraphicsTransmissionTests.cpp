#include "KittyGraphicsMessages.h"
#include "KittyGraphicsTransmission.h"
#include "KittyTestData.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

using namespace Tessaline;
using namespace Tessaline::Testing;
namespace Messages = KittyGraphicsMessages;

namespace {

KittyGraphicsControl control(char transmission, int64_t format, int64_t width = 0, int64_t height = 0) {
    KittyGraphicsControl c;
    c.transmission = transmission;
    c.format = format;
    c.width = width;
    c.height = height;
    return c;
}

// "ok rgba WxH", "ok png", or the error text.
std::string outcome(const KittyLoadResult& result) {
    if (result.payload)
        return result.payload->isPng() ? "ok png"
                                       : "ok rgba " + std::to_string(result.payload->width) + "x" +
                                             std::to_string(result.payload->height);
    return result.errorMessage ? std::string(*result.errorMessage) : "no message";
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string shmName(const char* tag) {
    return "/tessaline-test-" + std::to_string(::getpid()) + "-" + tag;
}

void makeSharedMemory(const std::string& name, std::span<const uint8_t> content) {
    int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
    ::close(fd);
}

bool sharedMemoryExists(const std::string& name) {
    int fd = ::shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace

TEST(KittyGraphicsTransmission, MediaAndDirectData) {
    EXPECT_EQ(outcome(loadKittyPayload(control('x', 32, 1, 1), bytesOf("abcd"))),
              Messages::unsupportedTransmission);
    EXPECT_EQ(outcome(loadKittyPayload(control('d', 32, 1, 1), bytesOf("abcd"))), "ok rgba 1x1");
    EXPECT_EQ(outcome(loadKittyPayload(control('d', 32, 1, 1), bytesOf("abc"))), Messages::badPayload);
    EXPECT_EQ(outcome(loadKittyPayload(control('d', 32, 1, 1), std::nullopt)), Messages::badPayload);
    EXPECT_EQ(outcome(loadKittyPayload(control('f', 32, 1, 1), std::nullopt)), Messages::badPayload);
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 32, 1, 1), std::vector<uint8_t>{})),
              Messages::badPayload);

    // The Base64 step of every medium skips bytes outside the alphabet.
    EXPECT_EQ(decodeKittyBase64(bytesOf("YW\nJj")), bytesOf("abc"));
    EXPECT_EQ(decodeKittyBase64(bytesOf("YWJ")), std::nullopt);
    EXPECT_EQ(decodeKittyBase64(bytesOf("")), std::nullopt);
}

// The program in the terminal names the files: only regular files outside /proc, /sys and /dev (but for
// /dev/shm) are read, and nothing can make the read block.
TEST(KittyGraphicsTransmission, FilePathRules) {
    TempFolder folder;
    std::string image = folder.write("image.rgba", std::vector<uint8_t>{1, 2, 3, 4});
    std::string link = folder.path() + "/status-link";
    ASSERT_EQ(::symlink("/proc/self/status", link.c_str()), 0);
    std::string fifo = folder.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string shmFile = "/dev/shm/tessaline-test-" + std::to_string(::getpid()) + ".rgba";
    {
        FILE* f = std::fopen(shmFile.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite("\x01\x02\x03\x04", 1, 4, f);
        std::fclose(f);
    }

    struct Case {
        const char* name;
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"regular file", image, "ok rgba 1x1"},
        {"relative dots resolved",
         folder.path() + "/../" + std::filesystem::path(folder.path()).filename().string() + "/image.rgba",
         "ok rgba 1x1"},
        {"missing file", folder.path() + "/missing", std::string(Messages::badPath)},
        {"proc", "/proc/self/status", std::string(Messages::badPath)},
        {"link into proc", link, std::string(Messages::badPath)},
        {"sys", "/sys/kernel/mm/transparent_hugepage/enabled", std::string(Messages::badPath)},
        {"dev", "/dev/zero", std::string(Messages::badPath)},
        {"dev shm allowed", shmFile, "ok rgba 1x1"},
        {"zero byte", image + std::string(1, '\0') + "x", std::string(Messages::badPath)},
        {"invalid UTF-8", folder.path() + "/\xff", std::string(Messages::badPath)},
        {"directory", folder.path(), std::string(Messages::badPayload)},
        {"fifo does not block", fifo, std::string(Messages::badPayload)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outcome(loadKittyPayload(control('f', 32, 1, 1), bytesOf(c.path))), c.expected);
    }
    ::unlink(shmFile.c_str());
}

TEST(KittyGraphicsTransmission, FileOffsetsAndSizes) {
    TempFolder folder;
    std::vector<uint8_t> content(10000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 13);
    std::string path = folder.write("data", content);
    auto slice = [&](size_t from, size_t count) {
        return std::vector<uint8_t>(content.begin() + ptrdiff_t(from),
                                    content.begin() + ptrdiff_t(from + count));
    };
    EXPECT_EQ(readKittyFileData(path, 0, 0, false), content);
    EXPECT_EQ(readKittyFileData(path, 100, 0, false), slice(100, 9900));
    EXPECT_EQ(readKittyFileData(path, 100, 5000, false), slice(100, 5000));
    EXPECT_EQ(readKittyFileData(path, 9000, 5000, false), slice(9000, 1000));
    EXPECT_EQ(readKittyFileData(path, 10000, 0, false), std::vector<uint8_t>());
    EXPECT_EQ(readKittyFileData(path, 10001, 0, false), std::nullopt);
    EXPECT_EQ(readKittyFileData(path, -1, 0, false), std::nullopt);
    EXPECT_EQ(readKittyFileData(path, 0, -1, false), std::nullopt);
    EXPECT_TRUE(exists(path));

    // O beyond the file and O at its end both fail the command.
    KittyGraphicsControl c = control('f', 32, 1, 1);
    c.dataOffset = 10001;
    EXPECT_EQ(outcome(loadKittyPayload(c, bytesOf(path))), Messages::badPayload);
    c.dataOffset = 10000;
    EXPECT_EQ(outcome(loadKittyPayload(c, bytesOf(path))), Messages::badPayload);
    c.dataOffset = 8;
    c.dataSize = 4;
    EXPECT_EQ(outcome(loadKittyPayload(c, bytesOf(path))), "ok rgba 1x1");

    // o=z on a file.
    std::string packed = folder.write("packed", zlibCompress(std::vector<uint8_t>(16, 7)));
    KittyGraphicsControl z = control('f', 32, 2, 2);
    z.compression = 'z';
    EXPECT_EQ(outcome(loadKittyPayload(z, bytesOf(packed))), "ok rgba 2x2");
}

TEST(KittyGraphicsTransmission, TemporaryFiles) {
    TempFolder folder;
    std::vector<uint8_t> pixel = {1, 2, 3, 4};

    // Without the marker: refused and left alone.
    std::string plain = folder.write("image.rgba", pixel);
    EXPECT_EQ(outcome(loadKittyPayload(control('t', 32, 1, 1), bytesOf(plain))), Messages::badTempPath);
    EXPECT_TRUE(exists(plain));

    // With the marker: read, then removed, also when the content is no image.
    std::string marked = folder.write("tty-graphics-protocol-a", pixel);
    EXPECT_EQ(outcome(loadKittyPayload(control('t', 32, 1, 1), bytesOf(marked))), "ok rgba 1x1");
    EXPECT_FALSE(exists(marked));
    std::string junk = folder.write("tty-graphics-protocol-b", bytesOf("junk"));
    EXPECT_EQ(outcome(loadKittyPayload(control('t', 100), bytesOf(junk))), Messages::badPayload);
    EXPECT_FALSE(exists(junk));

    // The marker in the folder's name counts too.
    std::filesystem::create_directory(folder.path() + "/tty-graphics-protocol");
    std::string nested = folder.write("tty-graphics-protocol/img", pixel);
    EXPECT_EQ(outcome(loadKittyPayload(control('t', 32, 1, 1), bytesOf(nested))), "ok rgba 1x1");
    EXPECT_FALSE(exists(nested));

    // A marked file outside the temporary folders is not temporary; nothing is removed.
    std::string outside = (std::filesystem::current_path() / "tty-graphics-protocol-outside").string();
    {
        FILE* f = std::fopen(outside.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(pixel.data(), 1, pixel.size(), f);
        std::fclose(f);
    }
    if (!isKittyTempPath(*resolveKittyRealPath(outside))) {
        EXPECT_EQ(outcome(loadKittyPayload(control('t', 32, 1, 1), bytesOf(outside))), Messages::badTempPath);
        EXPECT_TRUE(exists(outside));
    }
    ::unlink(outside.c_str());

    // A marked FIFO is neither read (no hang) nor removed.
    std::string fifo = folder.path() + "/tty-graphics-protocol-fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(outcome(loadKittyPayload(control('t', 32, 1, 1), bytesOf(fifo))), Messages::badPayload);
    EXPECT_TRUE(exists(fifo));

    EXPECT_TRUE(isKittyTempPath("/tmp"));
    EXPECT_TRUE(isKittyTempPath("/tmpx/file"));
    EXPECT_TRUE(isKittyTempPath("/dev/shm/file"));
    EXPECT_FALSE(isKittyTempPath("/home/user/file"));
}

TEST(KittyGraphicsTransmission, SharedMemory) {
    std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8};

    // Read, then unlinked.
    std::string name = shmName("a");
    makeSharedMemory(name, pixels);
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 32, 2, 1), bytesOf(name))), "ok rgba 2x1");
    EXPECT_FALSE(sharedMemoryExists(name));

    // An object shorter than the image: failure, unlinked all the same.
    makeSharedMemory(name, std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 32, 1, 1), bytesOf(name))), Messages::badPayload);
    EXPECT_FALSE(sharedMemoryExists(name));

    // No expected size for a raw format: refused before the object is opened.
    makeSharedMemory(name, pixels);
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 32, 0, 1), bytesOf(name))), Messages::badPayload);
    EXPECT_TRUE(sharedMemoryExists(name));
    KittyGraphicsControl negative = control('s', 32, 1, 1);
    negative.dataOffset = -1;
    EXPECT_EQ(outcome(loadKittyPayload(negative, bytesOf(name))), Messages::badPayload);
    EXPECT_TRUE(sharedMemoryExists(name));

    // With a known image size the window ends at that size, offset or not.
    KittyGraphicsControl window = control('s', 32, 1, 1);
    window.dataOffset = 4;
    EXPECT_EQ(outcome(loadKittyPayload(window, bytesOf(name))), Messages::badPayload);
    EXPECT_FALSE(sharedMemoryExists(name));
    makeSharedMemory(name, pixels);
    EXPECT_EQ(readKittySharedMemory(name, 4, 0, 0), (std::vector<uint8_t>{1, 2, 3, 4}));
    makeSharedMemory(name, pixels);
    EXPECT_EQ(readKittySharedMemory(name, 4, 1, 0), (std::vector<uint8_t>{2, 3, 4}));
    EXPECT_FALSE(sharedMemoryExists(name));
    makeSharedMemory(name, pixels);
    EXPECT_EQ(readKittySharedMemory(name, std::nullopt, 2, 3), (std::vector<uint8_t>{3, 4, 5}));
    makeSharedMemory(name, pixels);
    EXPECT_EQ(readKittySharedMemory(name, std::nullopt, 8, 0), std::nullopt);

    // f=100 with S=0, O=0: the whole object.
    std::vector<uint8_t> png = makePng(4, 4);
    makeSharedMemory(name, png);
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 100), bytesOf(name))), "ok png");
    EXPECT_FALSE(sharedMemoryExists(name));

    // Empty objects, missing objects, bad names.
    makeSharedMemory(name, {});
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 100), bytesOf(name))), Messages::badPayload);
    EXPECT_FALSE(sharedMemoryExists(name));
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 100), bytesOf(name))), Messages::badPayload);
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 100), bytesOf("/a/../../etc/passwd"))),
              Messages::badPayload);
    EXPECT_EQ(outcome(loadKittyPayload(control('s', 100), bytesOf(std::string("a\0b", 3)))),
              Messages::badPayload);

    // A FIFO in the shared-memory folder neither blocks nor is read.
    std::string fifoName = shmName("fifo");
    std::string fifoPath = "/dev/shm" + fifoName;
    if (::mkfifo(fifoPath.c_str(), 0600) == 0) {
        EXPECT_EQ(outcome(loadKittyPayload(control('s', 32, 1, 1), bytesOf(fifoName))), Messages::badPayload);
        ::unlink(fifoPath.c_str());
    }
}
