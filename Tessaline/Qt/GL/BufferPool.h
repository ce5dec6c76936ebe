#pragma once

#include "FrameEncoder.h"
#include "GpuBuffer.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace Tessaline {

// GPU buffers for what is uploaded anew every frame (the caret, the rows of an aggregated frame), reused
// by exact length. A frame's buffers go back to the idle lists when the frame has been submitted: GL
// orders a later write into a buffer after every draw already issued that reads it, so no fence is
// needed before reuse.
class BufferPool : public FrameBufferSource {
public:
    static constexpr std::size_t alignment = 256;
    static constexpr std::size_t maxBuffersPerSize = 4;

    explicit BufferPool(GpuDevice& device)
        : _device(device) {}

    // A buffer holding the records, its length rounded up to the alignment; none for no records or when
    // the device cannot make one. The buffer joins the frame's list.
    template<class Record>
    std::shared_ptr<GpuBuffer> makeBuffer(std::span<const Record> records) {
        return makeBuffer(records.data(), records.size() * sizeof(Record));
    }
    template<class Record>
    std::shared_ptr<GpuBuffer> makeBuffer(const std::vector<Record>& records) {
        return makeBuffer(std::span<const Record>(records));
    }
    std::shared_ptr<GpuBuffer> makeBuffer(const void* data, std::size_t bytes) override;

    // An idle buffer of exactly `length` bytes, else a new one; none when the device cannot make one.
    std::shared_ptr<GpuBuffer> dequeue(std::size_t length);
    // Back to the idle lists, at most maxBuffersPerSize per length; the rest are let go.
    void recycle(const std::vector<std::shared_ptr<GpuBuffer>>& buffers);
    // The frame's buffers go back once its draws have been submitted.
    void commit();

    static std::size_t alignedLength(std::size_t bytes) {
        return (bytes + alignment - 1) / alignment * alignment;
    }
    std::size_t idleCount(std::size_t length) const;

    // The buffers handed out for the frame being drawn; the frame loop empties it when a frame starts.
    std::vector<std::shared_ptr<GpuBuffer>> frameBuffers;

private:
    GpuDevice& _device;
    mutable std::mutex _lock;
    std::map<std::size_t, std::vector<std::shared_ptr<GpuBuffer>>> _available;
};

} // namespace Tessaline
