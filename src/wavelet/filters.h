#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace nubo {

// One finite impulse response filter. Element j of `coefficients` holds tap firstIndex + j, so the taps run
// from firstIndex to lastIndex(); `centre` (= -firstIndex) is the array position of tap 0.
struct Filter {
    int size = 0;
    int firstIndex = 0;
    int centre = 0;
    std::vector<float> coefficients;

    Filter() = default;
    // Copies `size` values from `values`, or sets every tap to 0 when `values` is null. A size below 1 is a
    // programming error and is raised to 1.
    Filter(int tapCount, int first, const float* values = nullptr);

    int lastIndex() const { return firstIndex + size - 1; }
    // h(tap) for firstIndex <= tap <= lastIndex().
    float tap(int position) const { return coefficients[static_cast<std::size_t>(position - firstIndex)]; }
};

// The high-pass partner of a low-pass filter by the quadrature-mirror rule g(m) = (-1)^m h(1 - m): the
// coefficient array reversed with alternating signs, first tap 2 - firstIndex - size.
Filter deriveHighPass(const Filter& lowPass);

// The four filters of one analysis/synthesis bank. analysisHigh has as many taps as synthesisLow, and
// synthesisHigh as many as analysisLow.
struct FilterSet {
    // 1: symmetric filters, extend signals symmetrically by default; 0: extend them periodically.
    int symmetric = 0;
    Filter analysisLow;
    Filter analysisHigh;
    Filter synthesisLow;
    Filter synthesisHigh;

    // A biorthogonal set when `synthesisLowValues` is given (analysisHigh from synthesisLow, synthesisHigh from
    // analysisLow); otherwise an orthogonal set (synthesisLow a copy of analysisLow, analysisHigh derived from
    // it, synthesisHigh a copy of analysisHigh).
    FilterSet(int symmetricFlag, const float* analysisLowValues, int analysisLowSize, int analysisLowFirst,
              const float* synthesisLowValues = nullptr, int synthesisLowSize = 0, int synthesisLowFirst = 0);
};

// The catalogue of predefined filter sets, built once before first use and kept to the end of the program.
// Names: haar, daub4, daub6, daub8, cdf97, bior10x18, qmf9, cdf97b, bior10x10, cdf97c, bior13x11, bior6x10,
// bior5x3, bior2x6, bior9x3, bior9x7 (in catalogue order).
std::span<const std::string_view> filterSetNames();

// The catalogue set of that name, or null when there is none.
const FilterSet* findFilterSet(std::string_view name);

// The set the wavelet coder always uses: Cohen-Daubechies-Feauveau 9/7, each low-pass summing to sqrt(2).
const FilterSet& cdf97();

} // namespace nubo
