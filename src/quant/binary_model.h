#pragma once

#include <cstdint>

namespace nubo {

// An adaptive model of two symbols that counts, orders and halves exactly as a two-symbol FrequencyModel, so
// the arithmetic coder sees the same intervals, but keeps its state in a few plain words: the count of the symbol
// holding the first position (the larger count; on a tie the one that got there first), the other's count, and
// which symbol is first, and their total. The first position's interval lies above the other's, as in
// FrequencyModel's tree. Counts are kept by position rather than by symbol so that an update indexes nothing (a
// model copied into a local lives in registers), and the total apart from them because it grows by one whatever
// the symbol: the next symbol's division by it need not wait for this one.
class BinaryModel {
public:
    explicit BinaryModel(std::int32_t maxTotal) : maxTotal_(maxTotal) {}

    // Counts 1 and 1, symbol 0 first: FrequencyModel::initialise with even counts.
    void reset()
    {
        frontCount_ = 1;
        backCount_ = 1;
        total_ = 2;
        front_ = 0;
    }

    std::int32_t total() const { return total_; }
    std::int32_t count(int symbol) const { return symbol == front_ ? frontCount_ : backCount_; }
    std::int32_t cumulative(int symbol) const { return symbol == front_ ? backCount_ : 0; }
    // The symbol holding the first position, whose interval lies above the other's, and the other's count.
    int front() const { return front_; }
    std::int32_t backCount() const { return backCount_; }

    // Adds 1 to the symbol's count; a symbol tying with the first one takes the first position before it grows.
    // Halves (a count of 1 stays 1) when the total reaches its limit.
    void update(int symbol)
    {
        // Without a branch: which symbol comes is as good as random, so a branch would often be mispredicted.
        // The second symbol tying with the first swaps positions and grows as the first would have, so the
        // counts by position change alike; only the first symbol flips.
        const bool back = symbol != front_;
        const bool overtakes = back & (backCount_ == frontCount_);
        frontCount_ += static_cast<std::int32_t>(!back | overtakes);
        backCount_ += static_cast<std::int32_t>(back & !overtakes);
        front_ ^= static_cast<int>(overtakes);
        ++total_;
        if (total_ >= maxTotal_) {
            frontCount_ = halved(frontCount_);
            backCount_ = halved(backCount_);
            total_ = frontCount_ + backCount_;
        }
    }

    // The symbol whose interval holds target, with that interval; -1 when none does (damaged input).
    int find(std::int32_t target, std::int32_t& cumulative, std::int32_t& count) const
    {
        if (target < 0 || target >= total_)
            return -1;
        if (target >= backCount_) {
            cumulative = backCount_;
            count = frontCount_;
            return front_;
        }
        cumulative = 0;
        count = backCount_;
        return front_ ^ 1;
    }

private:
    static std::int32_t halved(std::int32_t c) { return c > 1 ? c / 2 : c; }

    std::int32_t frontCount_ = 1;
    std::int32_t backCount_ = 1;
    std::int32_t total_ = 2;
    std::int32_t maxTotal_;
    int front_ = 0;
};

} // namespace nubo
