#include "wavelet/filters.h"
#include "wavelet/wavelet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace nubo {
namespace {

const FilterSet& named(std::string_view name)
{
    const FilterSet* set = findFilterSet(name);
    EXPECT_NE(set, nullptr) << name;
    return *set;
}

// Values must match the float bit for bit: the coded bytes are made from them.
void expectTaps(const Filter& filter, int firstIndex, const std::vector<float>& values)
{
    EXPECT_EQ(filter.firstIndex, firstIndex);
    EXPECT_EQ(filter.centre, -firstIndex);
    ASSERT_EQ(filter.size, static_cast<int>(values.size()));
    ASSERT_EQ(filter.coefficients.size(), values.size());
    for (std::size_t j = 0; j < values.size(); ++j)
        EXPECT_EQ(filter.coefficients[j], values[j]) << "element " << j;
}

double sum(const Filter& filter)
{
    double total = 0.0;
    for (float c : filter.coefficients)
        total += c;
    return total;
}

// cdf97's derived high-pass filters are the worked example: reversed low-pass arrays with alternating signs.
TEST(FilterSet, Cdf97DerivesBothHighPassFilters)
{
    const FilterSet& set = cdf97();
    EXPECT_EQ(&set, findFilterSet("cdf97"));
    EXPECT_EQ(set.symmetric, 1);
    expectTaps(set.analysisHigh, -2,
               {-0.06453888f, 0.040689416f, 0.41809228f, -0.7884856f, 0.41809228f, 0.040689416f, -0.06453888f});
    expectTaps(set.synthesisHigh, -3,
               {-0.037828457f, -0.023849465f, 0.1106244f, 0.37740284f, -0.8526987f, 0.37740284f, 0.1106244f,
                -0.023849465f, -0.037828457f});
    EXPECT_EQ(set.analysisLow.firstIndex, -4);
    EXPECT_EQ(set.synthesisLow.firstIndex, -3);
    EXPECT_EQ(Wavelet(set).padLength, 9);
}

// An even first index starts the sign at -1: g(-2) = +h(3), g(1) = -h(0).
TEST(FilterSet, Daub4HighPassFromEvenFirstIndex)
{
    const FilterSet& set = named("daub4");
    EXPECT_EQ(set.symmetric, 0);
    expectTaps(set.analysisHigh, -2, {-0.12940952f, -0.22414386f, 0.8365163f, -0.4829629f});
    EXPECT_EQ(set.analysisHigh.tap(-2), set.analysisLow.tap(3));
    EXPECT_EQ(set.analysisHigh.tap(1), -set.analysisLow.tap(0));
}

// haar's taps are 1/sqrt(2) rounded once to float, and its high-pass keeps tap 0 first.
TEST(FilterSet, HaarTapsAndHighPass)
{
    const FilterSet& set = named("haar");
    expectTaps(set.analysisLow, 0, {0.70710677f, 0.70710677f});
    expectTaps(set.analysisHigh, 0, {0.70710677f, -0.70710677f});
    EXPECT_EQ(Wavelet(set).padLength, 2);
}

// Derived filter geometry where analysis and synthesis lengths differ.
TEST(FilterSet, DerivedLengthsAndPadLength)
{
    const FilterSet& bior5x3 = named("bior5x3");
    EXPECT_EQ(bior5x3.analysisHigh.size, 3);
    EXPECT_EQ(bior5x3.analysisHigh.firstIndex, 0);
    EXPECT_EQ(bior5x3.synthesisHigh.size, 5);
    EXPECT_EQ(bior5x3.synthesisHigh.firstIndex, -1);
    EXPECT_EQ(Wavelet(bior5x3).padLength, 5);

    const FilterSet& bior10x18 = named("bior10x18");
    EXPECT_EQ(bior10x18.analysisHigh.size, 18);
    EXPECT_EQ(Wavelet(bior10x18).padLength, 18);
}

// Without synthesis coefficients the set owns four separate arrays: changing one copy leaves its twin alone.
TEST(FilterSet, OrthogonalCopiesAreIndependent)
{
    const float low[] = {0.5f, 0.25f, -0.125f};
    FilterSet set(0, low, 3, -1);
    expectTaps(set.synthesisLow, -1, {0.5f, 0.25f, -0.125f});
    expectTaps(set.synthesisHigh, set.analysisHigh.firstIndex, set.analysisHigh.coefficients);

    set.synthesisLow.coefficients[0] = 7.0f;
    set.synthesisHigh.coefficients[0] = 9.0f;
    EXPECT_EQ(set.analysisLow.coefficients[0], 0.5f);
    EXPECT_NE(set.analysisHigh.coefficients[0], 9.0f);
}

// The mirror rule in general: g(m) = (-1)^m h(1 - m) for every tap, odd and negative first indices included.
TEST(FilterSet, HighPassFollowsMirrorRule)
{
    for (int first : {-5, -4, -3, 0, 1, 2}) {
        const float values[] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
        const Filter low(5, first, values);
        const Filter high = deriveHighPass(low);
        EXPECT_EQ(high.firstIndex, 2 - first - 5);
        for (int m = high.firstIndex; m <= high.lastIndex(); ++m) {
            const float expected = (m % 2 == 0 ? 1.0f : -1.0f) * low.tap(1 - m);
            EXPECT_EQ(high.tap(m), expected) << "first " << first << " tap " << m;
        }
    }
}

// A filter built without coefficients starts at zero.
TEST(FilterSet, FilterWithoutValuesIsZero)
{
    const Filter filter(4, -1);
    EXPECT_EQ(filter.centre, 1);
    EXPECT_EQ(filter.coefficients, std::vector<float>(4, 0.0f));
}

// All sixteen sets are there, keep the size invariants, and every low-pass sums to sqrt(2).
TEST(FilterCatalogue, SixteenConsistentSets)
{
    const auto names = filterSetNames();
    ASSERT_EQ(names.size(), 16u);
    std::set<std::string_view> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), 16u);
    EXPECT_EQ(findFilterSet("cdf98"), nullptr);
    for (std::string_view name : names) {
        const FilterSet& set = named(name);
        EXPECT_EQ(set.analysisHigh.size, set.synthesisLow.size) << name;
        EXPECT_EQ(set.synthesisHigh.size, set.analysisLow.size) << name;
        EXPECT_NEAR(sum(set.analysisLow), std::sqrt(2.0), 1e-5) << name;
        EXPECT_NEAR(sum(set.synthesisLow), std::sqrt(2.0), 1e-5) << name;
        const bool orthogonal = name == "haar" || name.starts_with("daub");
        EXPECT_EQ(set.symmetric, orthogonal ? 0 : 1) << name;
    }
    // qmf9 has no synthesis filter of its own although it is symmetric.
    EXPECT_EQ(named("qmf9").synthesisLow.coefficients, named("qmf9").analysisLow.coefficients);
    EXPECT_EQ(named("cdf97b").analysisHigh.coefficients, cdf97().analysisHigh.coefficients);
    EXPECT_EQ(named("cdf97c").synthesisHigh.coefficients, cdf97().synthesisHigh.coefficients);
}

} // namespace
} // namespace nubo
