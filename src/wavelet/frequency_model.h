#pragma once

#include <cstddef>
#include <cstdint>

namespace nubo {

// Adaptive counts of symbols 0..n-1, kept at positions in non-increasing count order. Cumulative counts come
// from a binary tree over the positions (heap order; leftSums[p] is the sum of p's left subtree), so cumulative,
// find and update take logarithmic time and frequent symbols sit near the root.
//
// Models of up to kInlineSymbols symbols (the coder's 3-symbol models) keep their arrays inside the object, one
// cache line each, so thousands of them sit in one block and copying one is a plain copy of a few bytes.
class alignas(64) FrequencyModel {
public:
    static constexpr int kInlineSymbols = 3;

    // All counts and the total 0, positions in symbol order. symbolCount must be at least 1.
    FrequencyModel(int symbolCount, int maxTotal);
    FrequencyModel(const FrequencyModel& other);
    FrequencyModel& operator=(const FrequencyModel& other);
    FrequencyModel(FrequencyModel&& other) noexcept;
    FrequencyModel& operator=(FrequencyModel&& other) noexcept;
    ~FrequencyModel();

    // Position i gets symbol i with count counts[i]; halves while total >= maxTotal, then sorts and rebuilds.
    // Returns false when the counts cannot make a proper model: a negative count (taken as 0), or at least
    // maxTotal nonzero counts, where halving stops lowering the total. Halving then stops too, so total() stays
    // at or above maxTotal; the model is still consistent and every later update halves once.
    bool initialise(const std::int32_t* counts);
    // Adds 1 to the symbol's count, keeping the count order; halves when total reaches maxTotal.
    void update(int symbol);

    std::int32_t cumulative(int symbol) const;
    std::int32_t count(int symbol) const
    {
        const std::int32_t* const d = data();
        return d[d[2 * symbolCount_ + symbol]];
    }
    // The symbol whose interval holds target (0 <= target < total()), or -1 when no interval holds it.
    int find(std::int32_t target) const;
    // As find, also giving the symbol's interval [cumulative, cumulative + count) from the same tree walk.
    int find(std::int32_t target, std::int32_t& cumulative, std::int32_t& count) const;
    // find and update for a model of exactly kInlineSymbols symbols (the caller knows), with the size fixed at
    // compile time: the same walks and results without the storage and size tests.
    int findInline(std::int32_t target, std::int32_t& cumulative, std::int32_t& count) const;
    void updateInline(int symbol);
    // findInline giving the symbol's position instead of the symbol, for target = scaled / scale (0 < scale,
    // every count times scale below 2^32) without the division: target < x exactly when scaled < x * scale.
    // Gives the symbol's interval times scale in [scaledCumulative, scaledEnd) instead of the interval. Then
    // updateInlineAtPosition updates the symbol at that position and returns it: the decoder's step, the position
    // found once.
    [[gnu::always_inline]] int findInlinePositionScaled(std::uint32_t scaled, std::uint32_t scale,
                                                        std::uint32_t& scaledCumulative,
                                                        std::uint32_t& scaledEnd) const;
    [[gnu::always_inline]] int updateInlineAtPosition(int position);
    // countInline, cumulativeInline and total before updateInline(symbol), found on the way to the update: the
    // encoder's step, the symbol's position looked up once.
    [[gnu::always_inline]] void intervalThenUpdateInline(int symbol, std::int32_t& count, std::int32_t& cumulative,
                                                         std::int32_t& total);
    std::int32_t countInline(int symbol) const
    {
        const std::int32_t* const d = storage_.inlined;
        return d[d[2 * kInlineSymbols + symbol]];
    }
    std::int32_t cumulativeInline(int symbol) const { return cumulativeIn(storage_.inlined, kInlineSymbols, symbol); }
    // count, cumulative and update for a model of exactly N symbols, N at most kInlineSymbols (the caller knows):
    // the same walks on the inline storage with the size fixed at compile time.
    template <int N>
    std::int32_t countOf(int symbol) const
    {
        static_assert(N >= 1 && N <= kInlineSymbols, "a model kept inline");
        const std::int32_t* const d = storage_.inlined;
        return d[d[2 * N + symbol]];
    }
    template <int N>
    std::int32_t cumulativeOf(int symbol) const
    {
        static_assert(N >= 1 && N <= kInlineSymbols, "a model kept inline");
        return cumulativeIn(storage_.inlined, N, symbol);
    }
    template <int N>
    void updateOf(int symbol)
    {
        static_assert(N >= 1 && N <= kInlineSymbols, "a model kept inline");
        updateIn(storage_.inlined, N, symbol);
    }

    std::int32_t total() const { return total_; }
    std::int32_t maxTotal() const { return maxTotal_; }
    int symbolCount() const { return symbolCount_; }

    // Position of a symbol and symbol at a position (for tests and diagnostics).
    int positionOf(int symbol) const { return data()[2 * symbolCount_ + symbol]; }
    int symbolAt(int position) const { return data()[3 * symbolCount_ + position]; }

private:
    // The storage holds four arrays of symbolCount entries: counts and left sums by position, positionOf by
    // symbol, symbolAt by position.
    bool isInline() const { return symbolCount_ <= kInlineSymbols; }
    std::int32_t* data() { return isInline() ? storage_.inlined : storage_.heap; }
    const std::int32_t* data() const { return isInline() ? storage_.inlined : storage_.heap; }
    std::int32_t* counts() { return data(); }
    const std::int32_t* counts() const { return data(); }
    std::int32_t* leftSums() { return data() + symbolCount_; }
    const std::int32_t* leftSums() const { return data() + symbolCount_; }
    std::int32_t* positions() { return data() + 2 * symbolCount_; }
    std::int32_t* symbols() { return data() + 3 * symbolCount_; }
    const std::int32_t* symbols() const { return data() + 3 * symbolCount_; }
    void updateIn(std::int32_t* count, int n, int symbol);
    // The symbol at position i moves to position j, the first one of its count, and the symbol there to i.
    // Returns j.
    static int promote(std::int32_t* position, std::int32_t* symbolAtPosition, int symbol, int i, int j);
    // updateInline of the symbol at position i, whose count is c.
    [[gnu::always_inline]] void updateInlineAt(int symbol, int i, std::int32_t c);
    // Halves when the total has reached maxTotal.
    void halveAtLimit();
    static std::int32_t cumulativeIn(const std::int32_t* count, int n, int symbol);
    static int findIn(const std::int32_t* count, int n, std::int32_t target, std::int32_t& cumulativeCount,
                      std::int32_t& symbolCountHere);
    void copyFrom(const FrequencyModel& other);
    void takeFrom(FrequencyModel& other);
    void release();

    // Halves every nonzero count (a count of 1 stays 1) and returns the new sum, wide for initialise's sake.
    std::int64_t halveCounts();
    void halve() { total_ = static_cast<std::int32_t>(halveCounts()); }
    void rebuildLeftSums();
    void sortPositions(int lo, int hi);
    void swapPositions(int a, int b);

    union Storage {
        std::int32_t inlined[4 * kInlineSymbols];
        std::int32_t* heap; // 4 * symbolCount entries, owned
    };

    Storage storage_;
    std::int32_t total_ = 0;
    std::int32_t maxTotal_;
    int symbolCount_;
};

// Kept in the header: the symbol coder calls it for every symbol it prices or codes.
inline void FrequencyModel::update(int symbol)
{
    updateIn(counts(), symbolCount_, symbol);
}

inline void FrequencyModel::updateInline(int symbol)
{
    static_assert(kInlineSymbols == 3, "the promotion below is written for three positions");
    const int i = storage_.inlined[2 * kInlineSymbols + symbol];
    updateInlineAt(symbol, i, storage_.inlined[i]);
}

// findIn's walk written out for three positions: the root, then its left child (position 1) when the target lies
// below the root's interval, else its right child (position 2).
inline int FrequencyModel::findInlinePositionScaled(std::uint32_t scaled, std::uint32_t scale,
                                                    std::uint32_t& scaledCumulative, std::uint32_t& scaledEnd) const
{
    const std::int32_t* const count = storage_.inlined;
    const std::int32_t* const left = count + 3;
    const auto times = [scale](std::int32_t x) { return static_cast<std::uint32_t>(x) * scale; };
    const std::uint32_t below = times(left[0]);
    if (below <= scaled) {
        const std::uint32_t base = times(left[0] + count[0]);
        if (scaled < base) {
            scaledCumulative = below;
            scaledEnd = base;
            return 0;
        }
        const std::int32_t belowRight = left[0] + count[0] + left[2];
        const std::uint32_t end = times(belowRight + count[2]);
        if (times(belowRight) <= scaled && scaled < end) {
            scaledCumulative = times(belowRight);
            scaledEnd = end;
            return 2;
        }
        return -1;
    }
    const std::uint32_t end = times(left[1] + count[1]);
    if (times(left[1]) <= scaled && scaled < end) {
        scaledCumulative = times(left[1]);
        scaledEnd = end;
        return 1;
    }
    return -1;
}

inline int FrequencyModel::updateInlineAtPosition(int position)
{
    const int symbol = storage_.inlined[3 * kInlineSymbols + position];
    updateInlineAt(symbol, position, storage_.inlined[position]);
    return symbol;
}

// The three-position tree: position 1 is the root's left child and position 2 its right one, neither with
// children, so an interval starts at the left sum of its position, plus the root's count and left sum for
// position 2 (cumulativeIn's walk for three positions).
inline void FrequencyModel::intervalThenUpdateInline(int symbol, std::int32_t& symbolCount,
                                                     std::int32_t& cumulativeCount, std::int32_t& totalCount)
{
    const std::int32_t* const count = storage_.inlined;
    const std::int32_t* const left = count + 3;
    const int i = left[3 + symbol];
    const std::int32_t c = count[i];
    symbolCount = c;
    cumulativeCount = left[i] + (i == 2 ? count[0] + left[0] : 0);
    totalCount = total_;
    updateInlineAt(symbol, i, c);
}

// updateIn written out for three positions: the binary search for the first position of the symbol's count can
// only end at 0 or 1, and position 1 is the tree's only left child.
inline void FrequencyModel::updateInlineAt(int symbol, int i, std::int32_t c)
{
    std::int32_t* const count = storage_.inlined;
    std::int32_t* const left = count + 3;
    std::int32_t* const position = left + 3;
    std::int32_t* const symbolAtPosition = position + 3;
    if (i > 0 && count[i - 1] <= c)
        i = promote(position, symbolAtPosition, symbol, i, count[0] == c ? 0 : 1);
    count[i] = c + 1;
    ++total_;
    if (i == 1)
        ++left[0];
    halveAtLimit();
}

inline int FrequencyModel::promote(std::int32_t* const position, std::int32_t* const symbolAtPosition, int symbol,
                                   int i, int j)
{
    const int displaced = symbolAtPosition[j];
    symbolAtPosition[j] = symbol;
    symbolAtPosition[i] = displaced;
    position[symbol] = j;
    position[displaced] = i;
    return j;
}

inline void FrequencyModel::halveAtLimit()
{
    if (total_ >= maxTotal_) {
        halve();
        rebuildLeftSums();
    }
}

// The update on the given storage of n symbols; n is a constant where the caller knows the size.
inline void FrequencyModel::updateIn(std::int32_t* const count, const int n, int symbol)
{
    std::int32_t* const left = count + n;
    std::int32_t* const position = left + n;
    std::int32_t* const symbolAtPosition = position + n;
    int i = position[symbol];
    const std::int32_t c = count[i];

    // Promote the symbol to the first position of its count, so incrementing keeps the order.
    if (i > 0 && count[i - 1] <= c) {
        int j = 0;
        if (count[0] != c) {
            int hi = i;
            while (j != hi) {
                const int mid = (j + hi) / 2;
                if (count[mid] > c)
                    j = mid + 1;
                else
                    hi = mid;
            }
        }
        i = promote(position, symbolAtPosition, symbol, i, j);
    }

    count[i] = c + 1;
    ++total_;
    for (int node = i; node != 0;) {
        const int parent = (node - 1) / 2;
        if (node & 1)
            ++left[parent];
        node = parent;
    }
    halveAtLimit();
}

inline std::int32_t FrequencyModel::cumulative(int symbol) const
{
    return cumulativeIn(counts(), symbolCount_, symbol);
}

inline std::int32_t FrequencyModel::cumulativeIn(const std::int32_t* const count, const int n, int symbol)
{
    const std::int32_t* const left = count + n;
    int k = left[n + symbol];
    std::int32_t sum = left[k];
    while (k != 0) {
        const int parent = (k - 1) / 2;
        if ((k & 1) == 0)
            sum += count[parent] + left[parent];
        k = parent;
    }
    return sum;
}

inline int FrequencyModel::find(std::int32_t target) const
{
    std::int32_t cumulativeCount = 0;
    std::int32_t symbolCountHere = 0;
    return find(target, cumulativeCount, symbolCountHere);
}

// In-order walk of the tree: the left subtree's symbols lie below a node's interval, the right subtree's above.
inline int FrequencyModel::find(std::int32_t target, std::int32_t& cumulativeCount,
                                std::int32_t& symbolCountHere) const
{
    return findIn(counts(), symbolCount_, target, cumulativeCount, symbolCountHere);
}

inline int FrequencyModel::findInline(std::int32_t target, std::int32_t& cumulativeCount,
                                      std::int32_t& symbolCountHere) const
{
    return findIn(storage_.inlined, kInlineSymbols, target, cumulativeCount, symbolCountHere);
}

inline int FrequencyModel::findIn(const std::int32_t* const count, const int n, std::int32_t target,
                                  std::int32_t& cumulativeCount, std::int32_t& symbolCountHere)
{
    const std::int32_t* const left = count + n;
    int node = 0;
    std::int32_t base = 0;
    while (node < n) {
        const std::int32_t below = base + left[node];
        if (below <= target) {
            base = below + count[node];
            if (target < base) {
                cumulativeCount = below;
                symbolCountHere = count[node];
                return left[2 * n + node]; // symbolAt
            }
            node = 2 * node + 2;
        } else {
            node = 2 * node + 1;
        }
    }
    return -1;
}

} // namespace nubo
