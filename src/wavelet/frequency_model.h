#pragma once

#include <cstdint>
#include <vector>

namespace nubo {

// Adaptive counts of symbols 0..n-1, kept at positions in non-increasing count order. Cumulative counts come
// from a binary tree over the positions (heap order; leftSums[p] is the sum of p's left subtree), so cumulative,
// find and update take logarithmic time and frequent symbols sit near the root.
class FrequencyModel {
public:
    FrequencyModel(int symbolCount, int maxTotal);

    // Position i gets symbol i with count counts[i]; halves while total >= maxTotal, then sorts and rebuilds.
    void initialise(const std::int32_t* counts);
    void update(int symbol);

    std::int32_t cumulative(int symbol) const;
    std::int32_t count(int symbol) const;
    // The symbol whose interval holds target (0 <= target < total()).
    int find(std::int32_t target) const;
    std::int32_t total() const { return total_; }
    int symbolCount() const { return symbolCount_; }

    // Position of a symbol and symbol at a position (for tests and diagnostics).
    int positionOf(int symbol) const { return positionOf_[static_cast<std::size_t>(symbol)]; }
    int symbolAt(int position) const { return symbolAt_[static_cast<std::size_t>(position)]; }

private:
    void halve();
    void rebuildLeftSums();
    void sortPositions(int lo, int hi);
    void swapPositions(int a, int b);

    std::int32_t total_ = 0;
    std::int32_t maxTotal_;
    int symbolCount_;
    std::vector<std::int32_t> counts_;   // by position
    std::vector<std::int32_t> leftSums_; // by position
    std::vector<std::int32_t> positionOf_;
    std::vector<std::int32_t> symbolAt_;
};

} // namespace nubo
