#include "quant/coefficient_set.h"

#include "quant/layered_quantizer.h"
#include "wavelet/layered_symbol_coder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace nubo {
namespace {

// Tabulating a subband analyses it and prices precisions 0 ... n - 1: precision 0 costs nothing and leaves the
// base distortion; each further precision costs more bits and leaves less distortion.
TEST(CoefficientSet, TabulatesEveryPrecisionInOrder)
{
    std::vector<float> data;
    for (int i = 0; i < 64; ++i)
        data.push_back(10.0f * static_cast<float>((i * 37) % 29 - 14)); // T = 70 at layer 0, 0.27 at layer 8
    LayeredSymbolCoder coder(9, true, 512);
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer quantizer(coder, 4, true, 10, &metric);
    CoefficientSet set(data.data(), 64, quantizer);
    EXPECT_FALSE(set.tabulated());
    set.computeRateDistortion(10, 0.05f);
    ASSERT_EQ(set.precisionCount(), 10);
    EXPECT_EQ(set.rate(0), 0.0f);
    EXPECT_EQ(set.distortion(0), quantizer.baseDistortion());
    for (int p = 1; p < 10; ++p) {
        EXPECT_GT(set.rate(p), set.rate(p - 1)) << p;
        EXPECT_LT(set.distortion(p), set.distortion(p - 1)) << p;
    }
    // Each precision's figures are those of the quantiser's layer tables added in order.
    float rate = 0.0f;
    float distortion = quantizer.baseDistortion();
    for (int l = 0; l < 9; ++l) {
        rate += quantizer.layerRate(l);
        distortion += quantizer.layerDistortionChange(l);
        EXPECT_EQ(set.rate(l + 1), rate);
        EXPECT_EQ(set.distortion(l + 1), distortion);
    }
}

// A subband whose step falls to the minimum early has +infinity beyond that precision.
TEST(CoefficientSet, PrecisionsBelowTheMinimumStepAreInfinite)
{
    const std::vector<float> data = {0.3f, -0.1f, 0.2f, 0.0f}; // T = 0.15625, 0.078125, then 0.0390625
    LayeredSymbolCoder coder(9, true, 512);
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer quantizer(coder, 4, true, 10, &metric);
    CoefficientSet set(const_cast<float*>(data.data()), 4, quantizer);
    set.computeRateDistortion(10, 0.05f);
    EXPECT_TRUE(std::isfinite(set.rate(2)));
    for (int p = 3; p < 10; ++p) {
        EXPECT_EQ(set.rate(p), std::numeric_limits<float>::infinity());
        EXPECT_EQ(set.distortion(p), std::numeric_limits<float>::infinity());
    }
}

} // namespace
} // namespace nubo
