#pragma once

#include "KittyGraphicsControl.h"
#include "KittyGraphicsPayload.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// The outcome of fetching a transmitted image: the payload, or the error text of the reply (none when
// the caller answers "EINVAL: bad payload" itself).
struct KittyLoadResult {
    std::optional<KittyGraphicsPayload> payload;
    std::optional<std::string_view> errorMessage;
};

// Fetches the image of a transmission from its medium (the control's t): 'd' the data itself, 'f' a
// regular file, 't' a temporary file removed after reading, 's' a POSIX shared-memory object; the data is
// the command's payload already decoded from Base64 (nothing when it did not decode). Reads block until
// they end. Paths under /proc, /sys and /dev (but for /dev/shm) are refused: the program in the terminal
// must not make it read those.
KittyLoadResult loadKittyPayload(const KittyGraphicsControl& control,
                                 std::optional<std::vector<uint8_t>> data);

// The data names a file: resolved, checked against the path rules, read, inflated and checked against the
// format. A temporary file must lie in a temporary directory and carry "tty-graphics-protocol" in its
// path; it is removed once opened, whatever happens next.
KittyLoadResult loadKittyFilePayload(const KittyGraphicsControl& control,
                                     std::optional<std::vector<uint8_t>> data, bool temporary);

// The data names a shared-memory object, which is unlinked once opened, whatever happens next.
KittyLoadResult loadKittySharedMemoryPayload(const KittyGraphicsControl& control,
                                             std::optional<std::vector<uint8_t>> data);

// Reads size bytes (0: all, up to the data limit) from offset of a regular file of at most the data
// limit. The file is opened without following a final symbolic link and without blocking, and checked on
// the opened descriptor, so that nothing can swap it for a FIFO or a device in between. Nothing is
// deleted when the checks fail; once they pass, the file is deleted on every outcome when asked.
std::optional<std::vector<uint8_t>> readKittyFileData(const std::string& path, int64_t offset, int64_t size,
                                                      bool deleteAfterRead);

// Reads the window [offset, end) of a shared-memory object of 1 byte to the data limit, where end is the
// expected size when known (the object must hold it), else the object's size, lowered to offset + size
// when size is above 0. The object is closed and unlinked on every outcome once opened.
std::optional<std::vector<uint8_t>> readKittySharedMemory(const std::string& name,
                                                          std::optional<int64_t> expectedSize, int64_t offset,
                                                          int64_t size);

// Whether a resolved path lies in a temporary directory: "/tmp" or "/dev/shm" as plain prefixes, or the
// system's temporary directory as given or resolved.
bool isKittyTempPath(std::string_view path);
// The system's realpath, or nothing.
std::optional<std::string> resolveKittyRealPath(const std::string& path);

// The path check of file transmissions: the resolved path, or the error text.
struct KittyPathCheck {
    std::optional<std::string> resolvedPath;
    std::string_view errorMessage;
};
KittyPathCheck checkKittyFilePath(const std::vector<uint8_t>& pathBytes, bool temporary);

} // namespace Tessaline
