#pragma once

#include <cstdint>

namespace nubo {

// An adaptive model of two symbols that counts, orders and halves exactly as a two-symbol FrequencyModel, so
// the arithmetic coder sees the same intervals, but keeps its state in a few plain words: the count of each
// symbol, their total, and which symbol holds the first position (the larger count; on a tie the one that got
// there first). The first position's interval lies above the other's, as in FrequencyModel's tree.
class BinaryModel {
public:
    explicit BinaryModel(std::int32_t maxTotal) : maxTotal_(maxTotal) {}

    // Counts 1 and 1, symbol 0 first: FrequencyModel::initialise with even counts.
    void reset()
    {
        counts_[0] = 1;
        counts_[1] = 1;
        total_ = 2;
        front_ = 0;
    }

    std::int32_t total() const { return total_; }
    std::int32_t count(int symbol) const { return counts_[symbol]; }
    std::int32_t cumulative(int symbol) const { return symbol == front_ ? counts_[symbol ^ 1] : 0; }
    // The symbol holding the first position, whose interval lies above the other's.
    int front() const { return front_; }

    // Adds 1 to the symbol's count; a symbol tying with the first one takes the first position before it grows.
    // Halves (a count of 1 stays 1) when the total reaches its limit.
    void update(int symbol)
    {
        // Without a branch: which symbol comes is as good as random, so a branch would often be mispredicted.
        // Symbols are 0 and 1, so taking the first position flips front_.
        front_ ^= static_cast<int>((symbol != front_) & (counts_[symbol] == counts_[front_]));
        ++counts_[symbol];
        ++total_;
        if (total_ >= maxTotal_) {
            counts_[0] = halved(counts_[0]);
            counts_[1] = halved(counts_[1]);
            total_ = counts_[0] + counts_[1];
        }
    }

    // The symbol whose interval holds target, with that interval; -1 when none does (damaged input).
    int find(std::int32_t target, std::int32_t& cumulative, std::int32_t& count) const
    {
        const int back = front_ ^ 1;
        if (target < 0 || target >= total_)
            return -1;
        if (target >= counts_[back]) {
            cumulative = counts_[back];
            count = counts_[front_];
            return front_;
        }
        cumulative = 0;
        count = counts_[back];
        return back;
    }

private:
    static std::int32_t halved(std::int32_t c) { return c > 1 ? c / 2 : c; }

    std::int32_t counts_[2] = {1, 1};
    std::int32_t total_ = 2;
    std::int32_t maxTotal_;
    int front_ = 0;
};

} // namespace nubo
