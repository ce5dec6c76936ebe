#include "BufferPool.h"

namespace Tessaline {

std::shared_ptr<GpuBuffer> BufferPool::makeBuffer(const void* data, std::size_t bytes) {
    if (bytes == 0) return nullptr;
    std::shared_ptr<GpuBuffer> buffer = dequeue(alignedLength(bytes));
    if (!buffer) return nullptr;
    buffer->write(data, bytes);
    frameBuffers.push_back(buffer);
    return buffer;
}

std::shared_ptr<GpuBuffer> BufferPool::dequeue(std::size_t length) {
    {
        std::lock_guard lock(_lock);
        auto it = _available.find(length);
        if (it != _available.end() && !it->second.empty()) {
            std::shared_ptr<GpuBuffer> buffer = std::move(it->second.back());
            it->second.pop_back();
            return buffer;
        }
    }
    // Made outside the lock: the device may take its time.
    return _device.makeBuffer(length);
}

void BufferPool::recycle(const std::vector<std::shared_ptr<GpuBuffer>>& buffers) {
    std::lock_guard lock(_lock);
    for (const std::shared_ptr<GpuBuffer>& buffer : buffers) {
        if (!buffer) continue;
        std::vector<std::shared_ptr<GpuBuffer>>& idle = _available[buffer->length()];
        if (idle.size() < maxBuffersPerSize) idle.push_back(buffer);
    }
}

void BufferPool::commit() {
    if (frameBuffers.empty()) return;
    recycle(frameBuffers);
    frameBuffers.clear();
}

std::size_t BufferPool::idleCount(std::size_t length) const {
    std::lock_guard lock(_lock);
    auto it = _available.find(length);
    return it == _available.end() ? 0 : it->second.size();
}

} // namespace Tessaline
