#include "wavelet/frequency_model.h"

#include "common/check.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace nubo {

FrequencyModel::FrequencyModel(int symbolCount, int maxTotal) : maxTotal_(maxTotal), symbolCount_(symbolCount)
{
    NUBO_CHECK(symbolCount >= 1, "a frequency model needs at least one symbol");
    if (isInline())
        std::fill(std::begin(storage_.inlined), std::end(storage_.inlined), 0);
    else
        storage_.heap = new std::int32_t[4 * static_cast<std::size_t>(symbolCount_)]();
    for (int i = 0; i < symbolCount_; ++i) {
        positions()[i] = i;
        symbols()[i] = i;
    }
}

FrequencyModel::FrequencyModel(const FrequencyModel& other) : maxTotal_(other.maxTotal_), symbolCount_(1)
{
    copyFrom(other);
}

FrequencyModel& FrequencyModel::operator=(const FrequencyModel& other)
{
    if (this != &other)
        copyFrom(other);
    return *this;
}

FrequencyModel::FrequencyModel(FrequencyModel&& other) noexcept : maxTotal_(other.maxTotal_), symbolCount_(1)
{
    takeFrom(other);
}

FrequencyModel& FrequencyModel::operator=(FrequencyModel&& other) noexcept
{
    if (this != &other) {
        release();
        takeFrom(other);
    }
    return *this;
}

FrequencyModel::~FrequencyModel()
{
    release();
}

void FrequencyModel::release()
{
    if (!isInline())
        delete[] storage_.heap;
    symbolCount_ = 1;
    total_ = 0;
    std::fill(std::begin(storage_.inlined), std::end(storage_.inlined), 0);
}

// Reuses this model's heap storage when the sizes match, and frees it when it is no longer needed.
void FrequencyModel::copyFrom(const FrequencyModel& other)
{
    if (other.isInline()) {
        if (!isInline())
            delete[] storage_.heap;
        storage_ = other.storage_;
    } else {
        const std::size_t entries = 4 * static_cast<std::size_t>(other.symbolCount_);
        if (isInline() || symbolCount_ != other.symbolCount_) {
            std::int32_t* const heap = new std::int32_t[entries];
            release();
            storage_.heap = heap;
        }
        std::copy(other.storage_.heap, other.storage_.heap + entries, storage_.heap);
    }
    symbolCount_ = other.symbolCount_;
    total_ = other.total_;
    maxTotal_ = other.maxTotal_;
}

// Expects this model's own storage released; leaves `other` an empty one-symbol model.
void FrequencyModel::takeFrom(FrequencyModel& other)
{
    storage_ = other.storage_;
    symbolCount_ = other.symbolCount_;
    total_ = other.total_;
    maxTotal_ = other.maxTotal_;
    other.symbolCount_ = 1; // its heap storage, if any, now belongs to this model
    other.total_ = 0;
    std::fill(std::begin(other.storage_.inlined), std::end(other.storage_.inlined), 0);
}

bool FrequencyModel::initialise(const std::int32_t* initialCounts)
{
    bool proper = true;
    std::int32_t* const count = counts();
    std::int64_t sum = 0; // a wide sum: the caller's counts may add up beyond 32 bits before halving
    for (int i = 0; i < symbolCount_; ++i) {
        std::int32_t c = initialCounts[i];
        if (c < 0) {
            c = 0;
            proper = false;
        }
        count[i] = c;
        sum += c;
        positions()[i] = i;
        symbols()[i] = i;
    }

    // Once every nonzero count is 1 halving changes nothing; stop there rather than loop.
    while (sum >= maxTotal_) {
        const std::int64_t halved = halveCounts();
        if (halved == sum) {
            proper = false;
            break;
        }
        sum = halved;
    }
    total_ = static_cast<std::int32_t>(sum);

    sortPositions(0, symbolCount_);
    rebuildLeftSums();
    return proper;
}

std::int64_t FrequencyModel::halveCounts()
{
    std::int32_t* const count = counts();
    std::int64_t sum = 0;
    for (int p = 0; p < symbolCount_; ++p) {
        if (count[p] != 0) {
            count[p] = count[p] / 2;
            if (count[p] == 0)
                count[p] = 1;
        }
        sum += count[p];
    }
    return sum;
}

void FrequencyModel::rebuildLeftSums()
{
    const std::int32_t* const count = counts();
    std::int32_t* const left = leftSums();
    for (int p = 0; p < symbolCount_; ++p)
        left[p] = 0;
    for (int v = symbolCount_ - 1; v >= 1; --v) {
        for (int node = v; node != 0;) {
            const int parent = (node - 1) / 2;
            if (node & 1)
                left[parent] += count[v];
            node = parent;
        }
    }
}

void FrequencyModel::swapPositions(int a, int b)
{
    std::int32_t* const count = counts();
    std::int32_t* const position = positions();
    std::int32_t* const symbolAtPosition = symbols();
    std::swap(count[a], count[b]);
    std::swap(symbolAtPosition[a], symbolAtPosition[b]);
    position[symbolAtPosition[a]] = a;
    position[symbolAtPosition[b]] = b;
}

// Quicksort into non-increasing counts with the middle element as pivot. The exact sequence of swaps fixes the
// order of equal counts, which the coded bytes depend on.
void FrequencyModel::sortPositions(int lo, int hi)
{
    const std::int32_t* const count = counts();
    while (hi - lo >= 2) {
        bool ordered = true;
        for (int i = lo; i + 1 < hi; ++i) {
            if (count[i] < count[i + 1]) {
                ordered = false;
                break;
            }
        }
        if (ordered)
            return;

        swapPositions(lo, (lo + hi) / 2);
        int p = lo;
        int end = hi;
        while (p + 1 < end) {
            if (count[p + 1] < count[p]) {
                --end;
                swapPositions(p + 1, end);
            } else {
                swapPositions(p, p + 1);
                ++p;
            }
        }
        sortPositions(lo, p);
        lo = p + 1;
    }
}

} // namespace nubo
