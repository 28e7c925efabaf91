#include "quant/binary_model.h"
#include "wavelet/frequency_model.h"

#include <gtest/gtest.h>

#include <random>

namespace nubo {
namespace {

// The colour coder's bytes rest on BinaryModel giving the very intervals of a two-symbol FrequencyModel: through
// ties, reorderings and halvings, for skewed and even symbol streams, and the same answers for every target.
TEST(BinaryModel, CountsAsATwoSymbolFrequencyModel)
{
    for (const double skew : {0.5, 0.8, 0.97}) {
        for (const int limit : {16, 512, 2048}) {
            FrequencyModel reference(2, limit);
            const std::int32_t even[2] = {1, 1};
            reference.initialise(even);
            BinaryModel model(limit);
            model.reset();
            std::mt19937 random(static_cast<std::uint32_t>(limit));
            std::bernoulli_distribution ones(skew);
            for (int step = 0; step < 5000; ++step) {
                ASSERT_EQ(model.total(), reference.total());
                for (int symbol = 0; symbol < 2; ++symbol) {
                    ASSERT_EQ(model.count(symbol), reference.count(symbol));
                    ASSERT_EQ(model.cumulative(symbol), reference.cumulative(symbol));
                }
                for (const std::int32_t target : {-1, 0, model.count(0) - 1, model.count(1), model.total() - 1,
                                                  model.total()}) {
                    std::int32_t cumulative = -7;
                    std::int32_t count = -7;
                    std::int32_t expectedCumulative = -7;
                    std::int32_t expectedCount = -7;
                    const int found = model.find(target, cumulative, count);
                    ASSERT_EQ(found, reference.find(target, expectedCumulative, expectedCount));
                    if (found >= 0) {
                        ASSERT_EQ(cumulative, expectedCumulative);
                        ASSERT_EQ(count, expectedCount);
                    }
                }
                const int symbol = ones(random) ? 1 : 0;
                model.update(symbol);
                reference.update(symbol);
            }
        }
    }
}

} // namespace
} // namespace nubo
