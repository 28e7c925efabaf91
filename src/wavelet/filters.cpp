#include "wavelet/filters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace nubo {

Filter::Filter(int tapCount, int first, const float* values)
    : size(std::max(tapCount, 1)), firstIndex(first), centre(-first), coefficients(static_cast<std::size_t>(size), 0.0f)
{
    if (values != nullptr && tapCount >= 1)
        std::copy(values, values + size, coefficients.begin());
}

Filter deriveHighPass(const Filter& lowPass)
{
    const int n = lowPass.size;
    const int f = lowPass.firstIndex;
    Filter high(n, 2 - f - n);
    // The sign starts at +1 for an odd first tap (f % 2 keeps f's sign, so -3 counts as odd) and flips per tap.
    float sign = (f % 2 != 0) ? 1.0f : -1.0f;
    for (int i = 0; i < n; ++i) {
        const int tap = f + i;
        high.coefficients[static_cast<std::size_t>(1 - tap - high.firstIndex)]
            = sign * lowPass.coefficients[static_cast<std::size_t>(i)];
        sign = -sign;
    }
    return high;
}

FilterSet::FilterSet(int symmetricFlag, const float* analysisLowValues, int analysisLowSize, int analysisLowFirst,
                     const float* synthesisLowValues, int synthesisLowSize, int synthesisLowFirst)
    : symmetric(symmetricFlag), analysisLow(analysisLowSize, analysisLowFirst, analysisLowValues)
{
    if (synthesisLowValues != nullptr) {
        synthesisLow = Filter(synthesisLowSize, synthesisLowFirst, synthesisLowValues);
        analysisHigh = deriveHighPass(synthesisLow);
        synthesisHigh = deriveHighPass(analysisLow);
    } else {
        synthesisLow = analysisLow;
        analysisHigh = deriveHighPass(analysisLow);
        synthesisHigh = analysisHigh;
    }
}

namespace {

// Low-pass coefficients in tap order, each the shortest decimal that converts back to the same float.
constexpr float kDaub4[] = {0.4829629f, 0.8365163f, 0.22414386f, -0.12940952f};
constexpr float kDaub6[] = {0.33267054f, 0.8068915f, 0.4598775f, -0.13501102f, -0.08544128f, 0.035226293f};
constexpr float kDaub8[] = {0.23037781f, 0.71484655f, 0.6308808f,  -0.02798377f,
                            -0.18703482f, 0.030841382f, 0.03288301f, -0.010597402f};
constexpr float kCdf97Analysis[] = {0.037828457f, -0.023849465f, -0.1106244f,   0.37740284f, 0.8526987f,
                                    0.37740284f,  -0.1106244f,   -0.023849465f, 0.037828457f};
constexpr float kCdf97Synthesis[] = {-0.06453888f, -0.040689416f, 0.41809228f, 0.7884856f,
                                     0.41809228f,  -0.040689416f, -0.06453888f};
constexpr float kBior10x18Analysis[] = {0.028852565f, 8.2444785e-05f, -0.15752645f, 0.07679049f,     0.75890774f,
                                        0.75890774f,  0.07679049f,    -0.15752645f, 8.2444785e-05f, 0.028852565f};
constexpr float kBior10x18Synthesis[] = {0.0009544159f, -2.7271963e-06f, -0.009452463f,  -0.0025280374f,
                                         0.030833734f,  -0.013765135f,   -0.08566119f,   0.16336854f,
                                         0.6233596f,    0.6233596f,      0.16336854f,    -0.08566119f,
                                         -0.013765135f, 0.030833734f,    -0.0025280374f, -0.009452463f,
                                         -2.7271963e-06f, 0.0009544159f};
constexpr float kQmf9[] = {0.028220367f, -0.060394127f, -0.07388188f,  0.41394752f, 0.7984298f,
                           0.41394752f,  -0.07388188f,  -0.060394127f, 0.028220367f};
constexpr float kBior10x10Analysis[] = {0.02691342f, -0.032303352f, -0.24110982f, 0.05410042f,   0.8995061f,
                                        0.8995061f,  0.05410042f,   -0.24110982f, -0.032303352f, 0.02691342f};
constexpr float kBior10x10Synthesis[] = {0.019843545f, 0.023817599f, -0.02325784f, 0.14557074f,  0.54113275f,
                                         0.54113275f,  0.14557074f,  -0.02325784f, 0.023817599f, 0.019843545f};
constexpr float kBior13x11Analysis[] = {-0.008472828f, 0.0037592102f, 0.047281753f,  -0.033475082f, -0.068878114f,
                                        0.38326925f,   0.7672452f,    0.38326925f,    -0.068878114f, -0.033475082f,
                                        0.047281753f,  0.0037592102f, -0.008472828f};
constexpr float kBior13x11Synthesis[] = {0.014182156f, 0.0062923157f, -0.108737364f, -0.06916271f,
                                         0.4481086f,   0.8328476f,    0.4481086f,    -0.06916271f,
                                         -0.108737364f, 0.0062923157f, 0.014182156f};
constexpr float kBior6x10Analysis[] = {-0.12907776f, 0.04769893f, 0.7884856f, 0.7884856f, 0.04769893f, -0.12907776f};
constexpr float kBior6x10Synthesis[] = {0.018914228f, 0.0069894954f, -0.06723694f,  0.13338922f, 0.6150508f,
                                        0.6150508f,   0.13338922f,   -0.06723694f, 0.0069894954f, 0.018914228f};
constexpr float kBior5x3Analysis[] = {-0.17677669f, 0.35355338f, 1.0606601f, 0.35355338f, -0.17677669f};
constexpr float kBior5x3Synthesis[] = {0.35355338f, 0.70710677f, 0.35355338f};
constexpr float kBior2x6Analysis[] = {0.70710677f, 0.70710677f};
constexpr float kBior2x6Synthesis[] = {-0.088388346f, 0.088388346f, 0.70710677f,
                                       0.70710677f,   0.088388346f, -0.088388346f};
constexpr float kBior9x3Analysis[] = {0.03314563f, -0.06629126f, -0.17677669f, 0.41984466f, 0.9943689f,
                                      0.41984466f, -0.17677669f, -0.06629126f, 0.03314563f};
constexpr float kBior9x3Synthesis[] = {0.35355338f, 0.70710677f, 0.35355338f};
constexpr float kBior9x7Analysis[] = {0.05286577f, -0.033418473f, -0.09306926f, 0.38697186f, 0.7875138f,
                                      0.38697186f, -0.09306926f,  -0.033418473f, 0.05286577f};
constexpr float kBior9x7Synthesis[] = {-0.08674832f, -0.054836925f, 0.44030172f, 0.8167806f,
                                       0.44030172f,  -0.054836925f, -0.08674832f};

constexpr std::array<std::string_view, 16> kNames = {
    "haar",      "daub4",  "daub6",     "daub8",     "cdf97",    "bior10x18", "qmf9",    "cdf97b",
    "bior10x10", "cdf97c", "bior13x11", "bior6x10",  "bior5x3",  "bior2x6",   "bior9x3", "bior9x7",
};

template <std::size_t N>
constexpr int count(const float (&)[N])
{
    return static_cast<int>(N);
}

struct Catalogue {
    std::vector<FilterSet> sets;

    Catalogue()
    {
        // 1/sqrt(2) is computed here rather than written out, rounded once to float (0.70710677).
        const float rootHalf = static_cast<float>(1.0 / std::sqrt(2.0));
        const float haar[] = {rootHalf, rootHalf};

        sets.reserve(kNames.size());
        sets.emplace_back(0, haar, 2, 0);
        sets.emplace_back(0, kDaub4, count(kDaub4), 0);
        sets.emplace_back(0, kDaub6, count(kDaub6), 0);
        sets.emplace_back(0, kDaub8, count(kDaub8), 0);
        addCdf97();
        sets.emplace_back(1, kBior10x18Analysis, count(kBior10x18Analysis), -4, kBior10x18Synthesis,
                          count(kBior10x18Synthesis), -8);
        // qmf9 is symmetric yet carries no synthesis filter, so it is built by the orthogonal rule.
        sets.emplace_back(1, kQmf9, count(kQmf9), -4);
        addCdf97();
        sets.emplace_back(1, kBior10x10Analysis, count(kBior10x10Analysis), -4, kBior10x10Synthesis,
                          count(kBior10x10Synthesis), -4);
        addCdf97();
        sets.emplace_back(1, kBior13x11Analysis, count(kBior13x11Analysis), -6, kBior13x11Synthesis,
                          count(kBior13x11Synthesis), -5);
        sets.emplace_back(1, kBior6x10Analysis, count(kBior6x10Analysis), -2, kBior6x10Synthesis,
                          count(kBior6x10Synthesis), -4);
        sets.emplace_back(1, kBior5x3Analysis, count(kBior5x3Analysis), -2, kBior5x3Synthesis,
                          count(kBior5x3Synthesis), -1);
        sets.emplace_back(1, kBior2x6Analysis, count(kBior2x6Analysis), 0, kBior2x6Synthesis,
                          count(kBior2x6Synthesis), -2);
        sets.emplace_back(1, kBior9x3Analysis, count(kBior9x3Analysis), -4, kBior9x3Synthesis,
                          count(kBior9x3Synthesis), -1);
        sets.emplace_back(1, kBior9x7Analysis, count(kBior9x7Analysis), -4, kBior9x7Synthesis,
                          count(kBior9x7Synthesis), -3);
    }

    void addCdf97()
    {
        sets.emplace_back(1, kCdf97Analysis, count(kCdf97Analysis), -4, kCdf97Synthesis, count(kCdf97Synthesis), -3);
    }
};

const Catalogue& catalogue()
{
    static const Catalogue instance;
    return instance;
}

// Built during static initialisation, so the catalogue exists before main() and before any coding thread.
[[maybe_unused]] const Catalogue& builtAtStartUp = catalogue();

} // namespace

std::span<const std::string_view> filterSetNames()
{
    return kNames;
}

const FilterSet* findFilterSet(std::string_view name)
{
    const auto* found = std::find(kNames.begin(), kNames.end(), name);
    if (found == kNames.end())
        return nullptr;
    return &catalogue().sets[static_cast<std::size_t>(found - kNames.begin())];
}

const FilterSet& cdf97()
{
    static const FilterSet& set = *findFilterSet("cdf97");
    return set;
}

} // namespace nubo
