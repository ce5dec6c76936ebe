#include "KittyGraphicsTransmission.h"

#include "KittyGraphicsMessages.h"
#include "Utf8.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

namespace Tessaline {

namespace {

using namespace KittyGraphicsLimits;
namespace Messages = KittyGraphicsMessages;

constexpr std::string_view tempMarker = "tty-graphics-protocol";

// A name or path carried in the payload: no zero byte, valid UTF-8.
std::optional<std::string> payloadText(std::span<const uint8_t> data) {
    if (data.empty()) return std::nullopt;
    std::string text(data.begin(), data.end());
    if (text.find('\0') != std::string::npos) return std::nullopt;
    std::u32string scalars;
    if (!Utf8::decode(text, scalars)) return std::nullopt;
    return text;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : _fd(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return _fd; }
    bool valid() const { return _fd >= 0; }
    void close() {
        if (_fd >= 0) ::close(_fd);
        _fd = -1;
    }

private:
    int _fd;
};

// Reads count bytes from the descriptor's position (or from offset with pread) in steps; a read error is a
// failure, an early end of file ends the data short.
std::optional<std::vector<uint8_t>> readSteps(int fd, size_t count, std::optional<int64_t> offset,
                                              size_t step) {
    std::vector<uint8_t> data(count);
    size_t done = 0;
    while (done < count) {
        size_t want = std::min(step, count - done);
        ssize_t n = offset ? ::pread(fd, data.data() + done, want, off_t(*offset + int64_t(done)))
                           : ::read(fd, data.data() + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    data.resize(done);
    return data;
}

// The inflation and format check shared by files and shared memory.
KittyLoadResult finishPayload(const KittyGraphicsControl& control, std::vector<uint8_t> raw) {
    auto inflated = decompressKittyData(std::move(raw), control.compression, kittyStoredDataSize(control));
    if (!inflated) return {std::nullopt, Messages::badPayload};
    auto payload = decodeKittyPayloadData(control, std::move(*inflated));
    if (!payload) return {std::nullopt, Messages::badPayload};
    return {std::move(payload), std::nullopt};
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::optional<std::string> resolveKittyRealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

bool isKittyTempPath(std::string_view path) {
    if (startsWith(path, "/tmp") || startsWith(path, "/dev/shm")) return true;
    std::error_code error;
    std::string tempDir = std::filesystem::temp_directory_path(error).string();
    if (error) return false;
    while (tempDir.size() > 1 && tempDir.back() == '/')
        tempDir.pop_back();
    // A temporary directory of "/" would make every path temporary.
    if (tempDir.empty() || tempDir == "/") return false;
    if (startsWith(path, tempDir)) return true;
    auto resolvedTempDir = resolveKittyRealPath(tempDir);
    return resolvedTempDir && *resolvedTempDir != "/" && startsWith(path, *resolvedTempDir);
}

KittyPathCheck checkKittyFilePath(const std::vector<uint8_t>& pathBytes, bool temporary) {
    auto path = payloadText(pathBytes);
    if (!path) return {std::nullopt, Messages::badPath};
    auto resolved = resolveKittyRealPath(*path);
    if (!resolved) return {std::nullopt, Messages::badPath};
    if (startsWith(*resolved, "/proc/") || startsWith(*resolved, "/sys/") ||
        (startsWith(*resolved, "/dev/") && !startsWith(*resolved, "/dev/shm/")))
        return {std::nullopt, Messages::badPath};
    if (temporary && (!isKittyTempPath(*resolved) || resolved->find(tempMarker) == std::string::npos))
        return {std::nullopt, Messages::badTempPath};
    return {std::move(resolved), {}};
}

std::optional<std::vector<uint8_t>> readKittyFileData(const std::string& path, int64_t offset, int64_t size,
                                                      bool deleteAfterRead) {
    if (offset < 0 || size < 0) return std::nullopt;
    // Checked on the opened descriptor: a path checked first and opened afterwards could meanwhile name a
    // FIFO, which would block the terminal for ever.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid()) return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxDataSize ||
        info.st_size < offset)
        return std::nullopt;

    std::optional<std::vector<uint8_t>> data;
    if (offset == 0 || ::lseek(file.get(), off_t(offset), SEEK_SET) == off_t(offset)) {
        int64_t limit = size >= 1 && size < maxDataSize ? size : maxDataSize;
        size_t count = size_t(std::min(int64_t(info.st_size) - offset, limit));
        data = readSteps(file.get(), count, std::nullopt, fileReadStep);
    }
    file.close();
    if (deleteAfterRead) ::unlink(path.c_str());
    return data;
}

std::optional<std::vector<uint8_t>> readKittySharedMemory(const std::string& name,
                                                          std::optional<int64_t> expectedSize, int64_t offset,
                                                          int64_t size) {
    if (offset < 0 || size < 0) return std::nullopt;
    // Without blocking: an object name can be a FIFO someone made in the shared-memory folder.
    FileDescriptor object(::shm_open(name.c_str(), O_RDONLY | O_NONBLOCK, 0));
    if (!object.valid()) return std::nullopt;

    std::optional<std::vector<uint8_t>> data;
    struct stat info {};
    if (::fstat(object.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 1 &&
        info.st_size <= maxDataSize) {
        int64_t length = info.st_size;
        int64_t end = expectedSize ? *expectedSize : length;
        if (size > 0 && size < end - offset) end = offset + size;
        if ((!expectedSize || length >= *expectedSize) && offset < end && end <= length) {
            // Read rather than mapped: an object cut short while it is copied would stop a mapped read
            // with SIGBUS, while a read just comes back short.
            data = readSteps(object.get(), size_t(end - offset), offset, size_t(end - offset));
            if (data && int64_t(data->size()) != end - offset) data.reset();
        }
    }
    object.close();
    ::shm_unlink(name.c_str());
    return data;
}

KittyLoadResult loadKittyFilePayload(const KittyGraphicsControl& control,
                                     std::optional<std::vector<uint8_t>> data, bool temporary) {
    if (!data || data->empty()) return {std::nullopt, Messages::badPayload};
    KittyPathCheck check = checkKittyFilePath(*data, temporary);
    if (!check.resolvedPath) return {std::nullopt, check.errorMessage};
    auto raw = readKittyFileData(*check.resolvedPath, control.dataOffset, control.dataSize, temporary);
    if (!raw) return {std::nullopt, Messages::badPayload};
    return finishPayload(control, std::move(*raw));
}

KittyLoadResult loadKittySharedMemoryPayload(const KittyGraphicsControl& control,
                                             std::optional<std::vector<uint8_t>> data) {
    if (!data) return {std::nullopt, Messages::badPayload};
    auto name = payloadText(*data);
    if (!name) return {std::nullopt, Messages::badPayload};
    auto expected = kittyExpectedDataSize(control);
    if (control.format != 100 && !expected) return {std::nullopt, Messages::badPayload};
    auto raw = readKittySharedMemory(*name, expected, control.dataOffset, control.dataSize);
    if (!raw) return {std::nullopt, Messages::badPayload};
    return finishPayload(control, std::move(*raw));
}

KittyLoadResult loadKittyPayload(const KittyGraphicsControl& control,
                                 std::optional<std::vector<uint8_t>> data) {
    switch (control.transmission) {
    case 'd': {
        auto payload = decodeKittyPayload(control, std::move(data));
        if (!payload) return {std::nullopt, Messages::badPayload};
        return {std::move(payload), std::nullopt};
    }
    case 'f':
        return loadKittyFilePayload(control, std::move(data), false);
    case 't':
        return loadKittyFilePayload(control, std::move(data), true);
    case 's':
        return loadKittySharedMemoryPayload(control, std::move(data));
    default:
        return {std::nullopt, Messages::unsupportedTransmission};
    }
}

} // namespace Tessaline
