#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace nubo {

// The working arrays of a ContextQuantizer while it prices, codes or decodes its band. Their contents never
// carry over: every band starts by resetting them; only their memory is worth keeping.
struct ContextBuffers {
    std::vector<std::uint8_t> flags;
    std::vector<std::uint8_t> neighbourCounts;
    std::vector<std::uint8_t> stripeActive;
    std::vector<std::uint32_t> orderCells;
    std::vector<std::int32_t> order;
    std::vector<float> orderResiduals;
};

// Working arrays handed from band to band among the quantisers of one coding job, which may work on several
// threads: a quantiser takes a set when it starts on its band and gives it back when done, so the bands that a
// thread codes one after another reuse memory it has already touched instead of each faulting in fresh pages.
class ContextBufferPool {
public:
    ContextBuffers take()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (free_.empty())
            return {};
        ContextBuffers buffers = std::move(free_.back());
        free_.pop_back();
        return buffers;
    }
    void give(ContextBuffers&& buffers)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(buffers));
    }

private:
    std::mutex mutex_;
    std::vector<ContextBuffers> free_;
};

} // namespace nubo
