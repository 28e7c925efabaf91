#include "wavelet/frequency_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace nubo {
namespace {

struct Interval {
    std::int32_t low;
    std::int32_t high;
    bool operator==(const Interval&) const = default;
};

Interval intervalOf(const FrequencyModel& model, int symbol)
{
    const std::int32_t low = model.cumulative(symbol);
    return {low, low + model.count(symbol)};
}

std::vector<int> ranking(const FrequencyModel& model)
{
    std::vector<int> symbols;
    for (int p = 0; p < model.symbolCount(); ++p)
        symbols.push_back(model.symbolAt(p));
    return symbols;
}

// Checks everything the coder relies on: counts in non-increasing position order, both maps inverse, intervals
// that tile [0, total) in tree order, and find agreeing with every interval (and refusing targets outside).
void expectConsistent(const FrequencyModel& model)
{
    const int n = model.symbolCount();
    std::int32_t sum = 0;
    std::vector<std::int32_t> covered(static_cast<std::size_t>(model.total()), -1);
    for (int p = 0; p < n; ++p) {
        const int symbol = model.symbolAt(p);
        ASSERT_EQ(model.positionOf(symbol), p);
        if (p > 0) {
            ASSERT_GE(model.count(model.symbolAt(p - 1)), model.count(symbol));
        }
        const Interval interval = intervalOf(model, symbol);
        ASSERT_GE(interval.low, 0);
        ASSERT_LE(interval.high, model.total());
        for (std::int32_t t = interval.low; t < interval.high; ++t) {
            ASSERT_EQ(covered[static_cast<std::size_t>(t)], -1) << "overlapping intervals";
            covered[static_cast<std::size_t>(t)] = symbol;
        }
        sum += model.count(symbol);
    }
    ASSERT_EQ(sum, model.total());
    for (std::int32_t t = 0; t < model.total(); ++t) {
        std::int32_t low = -1;
        std::int32_t count = -1;
        ASSERT_EQ(model.find(t), covered[static_cast<std::size_t>(t)]);
        ASSERT_EQ(model.find(t, low, count), covered[static_cast<std::size_t>(t)]);
        ASSERT_EQ(low, model.cumulative(covered[static_cast<std::size_t>(t)]));
        ASSERT_EQ(count, model.count(covered[static_cast<std::size_t>(t)]));
    }
    EXPECT_EQ(model.find(model.total()), -1);
    EXPECT_EQ(model.find(-1), -1);
}

// A zero count ranks last and gets an empty interval; equal counts keep the sort's order.
TEST(FrequencyModelTest, InitialisesZeroOneOne)
{
    FrequencyModel model(3, 512);
    const std::int32_t counts[] = {0, 1, 1};
    EXPECT_TRUE(model.initialise(counts));
    EXPECT_EQ(ranking(model), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(model.total(), 2);
    EXPECT_EQ(intervalOf(model, 1), (Interval{0, 1}));
    EXPECT_EQ(intervalOf(model, 2), (Interval{1, 2}));
    EXPECT_EQ(model.count(0), 0);
    expectConsistent(model);
}

// Equal counts already in order stay in symbol order; the root's interval lies after its left child's.
TEST(FrequencyModelTest, InitialisesOneOneOne)
{
    FrequencyModel model(3, 512);
    const std::int32_t counts[] = {1, 1, 1};
    EXPECT_TRUE(model.initialise(counts));
    EXPECT_EQ(ranking(model), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(intervalOf(model, 1), (Interval{0, 1}));
    EXPECT_EQ(intervalOf(model, 0), (Interval{1, 2}));
    EXPECT_EQ(intervalOf(model, 2), (Interval{2, 3}));
    expectConsistent(model);
}

// Updates promote a symbol past its equals, so the example sequence ends ranked 2, 1, 0 with counts 3, 2, 1.
TEST(FrequencyModelTest, UpdatesKeepCountOrder)
{
    FrequencyModel model(3, 512);
    const std::int32_t counts[] = {0, 1, 1};
    model.initialise(counts);
    for (int symbol : {2, 2, 1, 0})
        model.update(symbol);
    EXPECT_EQ(ranking(model), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(model.count(2), 3);
    EXPECT_EQ(model.count(1), 2);
    EXPECT_EQ(model.count(0), 1);
    EXPECT_EQ(model.total(), 6);
    EXPECT_EQ(intervalOf(model, 1), (Interval{0, 2}));
    EXPECT_EQ(intervalOf(model, 2), (Interval{2, 5}));
    EXPECT_EQ(intervalOf(model, 0), (Interval{5, 6}));
    expectConsistent(model);
}

// An update of a symbol tied with those before it swaps it to the first position of its count.
TEST(FrequencyModelTest, UpdatePromotesPastEqualCounts)
{
    FrequencyModel model(3, 512);
    const std::int32_t counts[] = {1, 1, 1};
    model.initialise(counts);
    model.update(2);
    EXPECT_EQ(ranking(model), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(model.count(2), 2);
    expectConsistent(model);
}

// Reaching 512 halves every nonzero count (a count of 1 stays 1, 0 stays 0) and keeps the ranking.
TEST(FrequencyModelTest, HalvesWhenTotalReachesMaximum)
{
    FrequencyModel model(4, 512);
    const std::int32_t counts[] = {300, 0, 1, 210};
    model.initialise(counts);
    EXPECT_EQ(model.total(), 511);
    EXPECT_EQ(ranking(model), (std::vector<int>{0, 3, 2, 1}));
    model.update(3);
    EXPECT_EQ(model.count(0), 150);
    EXPECT_EQ(model.count(3), 105);
    EXPECT_EQ(model.count(2), 1);
    EXPECT_EQ(model.count(1), 0);
    EXPECT_EQ(model.total(), 256);
    EXPECT_EQ(ranking(model), (std::vector<int>{0, 3, 2, 1}));
    expectConsistent(model);
}

// Counts at or above the maximum are halved before sorting, as often as needed.
TEST(FrequencyModelTest, InitialiseHalvesLargeCounts)
{
    FrequencyModel model(3, 512);
    const std::int32_t counts[] = {2000, 3, 0x7FFFFFFF};
    EXPECT_TRUE(model.initialise(counts));
    EXPECT_LT(model.total(), 512);
    EXPECT_EQ(ranking(model), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(model.count(1), 1);
    expectConsistent(model);
}

// With more ones than the maximum total halving cannot help: initialise stops and says so instead of looping,
// and the model stays usable (each update halves once).
TEST(FrequencyModelTest, RefusesCountsHalvingCannotLower)
{
    FrequencyModel model(600, 512);
    std::vector<std::int32_t> counts(600, 1);
    counts[5] = 4;
    EXPECT_FALSE(model.initialise(counts.data()));
    EXPECT_EQ(model.total(), 600);
    expectConsistent(model);
    model.update(7);
    EXPECT_EQ(model.total(), 600);
    expectConsistent(model);

    FrequencyModel negative(3, 512);
    const std::int32_t withNegative[] = {-4, 2, 1};
    EXPECT_FALSE(negative.initialise(withNegative));
    EXPECT_EQ(negative.count(0), 0);
    EXPECT_EQ(negative.total(), 3);
}

// A long random run of updates on larger models (heap storage, deeper trees) matches plain counting with the
// halving rule, and keeps every interval consistent.
TEST(FrequencyModelTest, RandomUpdatesMatchPlainCounting)
{
    for (int n : {1, 2, 3, 4, 5, 9, 17}) {
        std::mt19937 random(static_cast<unsigned>(n));
        FrequencyModel model(n, 200);
        std::vector<std::int32_t> reference(static_cast<std::size_t>(n));
        for (auto& c : reference)
            c = static_cast<std::int32_t>(random() % 4);
        model.initialise(reference.data());
        for (int step = 0; step < 3000; ++step) {
            // Skewed choice, so that ranks change and halving happens often.
            const int symbol = static_cast<int>(random() % static_cast<unsigned>(n)) * static_cast<int>(random() % 2);
            model.update(symbol);
            ++reference[static_cast<std::size_t>(symbol)];
            std::int32_t sum = 0;
            for (auto c : reference)
                sum += c;
            if (sum >= 200)
                for (auto& c : reference)
                    c = c == 0 ? 0 : (c / 2 == 0 ? 1 : c / 2);
            for (int s = 0; s < n; ++s)
                ASSERT_EQ(model.count(s), reference[static_cast<std::size_t>(s)]) << "n " << n << " step " << step;
            if (step % 97 == 0)
                expectConsistent(model);
        }
        expectConsistent(model);
    }
}

// The encoder's one-step interval and update gives the interval of count, cumulative and total before an update,
// and leaves the model as updateInline does, through promotions and halvings, from both starting models.
TEST(FrequencyModelTest, IntervalThenUpdateMatchesTheSeparateSteps)
{
    const std::int32_t starts[2][3] = {{0, 1, 1}, {1, 1, 1}};
    for (const auto& start : starts) {
        std::mt19937 random(static_cast<unsigned>(start[0]) + 3);
        FrequencyModel separate(3, 40);
        separate.initialise(start);
        FrequencyModel fused(separate);
        for (int step = 0; step < 2000; ++step) {
            // Skewed, so that ranks change often.
            const int symbol = static_cast<int>(random() % 5) % 3;
            std::int32_t count = -1;
            std::int32_t cumulative = -1;
            std::int32_t total = -1;
            fused.intervalThenUpdateInline(symbol, count, cumulative, total);
            ASSERT_EQ(count, separate.countInline(symbol)) << "step " << step;
            ASSERT_EQ(cumulative, separate.cumulativeInline(symbol)) << "step " << step;
            ASSERT_EQ(total, separate.total()) << "step " << step;
            separate.updateInline(symbol);
            for (int s = 0; s < 3; ++s) {
                ASSERT_EQ(fused.positionOf(s), separate.positionOf(s)) << "step " << step;
                ASSERT_EQ(fused.cumulative(s), separate.cumulative(s)) << "step " << step;
            }
        }
        expectConsistent(fused);
    }
}

// Copies and moves carry the full state, for inline and heap-stored models alike.
TEST(FrequencyModelTest, CopiesAndMovesKeepState)
{
    for (int n : {3, 8}) {
        FrequencyModel model(n, 512);
        std::vector<std::int32_t> counts(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            counts[static_cast<std::size_t>(i)] = i * 3 % 7;
        model.initialise(counts.data());
        model.update(n - 1);

        FrequencyModel copy(model);
        FrequencyModel assigned(1, 2);
        assigned = model;
        model.update(0); // the copies must not share storage with the original
        EXPECT_NE(copy.count(0), model.count(0));
        FrequencyModel moved(std::move(copy));
        for (int s = 0; s < n; ++s) {
            EXPECT_EQ(moved.count(s), assigned.count(s));
            EXPECT_EQ(moved.cumulative(s), assigned.cumulative(s));
        }
        expectConsistent(moved);
        expectConsistent(assigned);
    }
}

} // namespace
} // namespace nubo
