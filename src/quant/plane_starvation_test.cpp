#include "quant/plane_encoder.h"

#include "quant/plane_test_planes.h"
#include "regions/region_set.h"
#include "wavelet/filters.h"
#include "wavelet/wavelet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace nubo {
namespace {

using test::testPlane;

EncodedPlane encodeToBudget(const FloatImage& plane, int budget, int stages)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> weights(static_cast<std::size_t>(3 * stages + 1), 1.0f);
    PlaneCodingParameters parameters;
    parameters.stages = stages;
    parameters.weights = weights;
    return encodePlaneInDetail(plane, wavelet, parameters, budget, nullptr, false, discardSink());
}

bool everyPrecisionZero(const EncodedPlane& encoded)
{
    return std::all_of(encoded.precisions.begin(), encoded.precisions.end(), [](int p) { return p == 0; });
}

// A budget under the header reserve codes every subband at precision 0 and says so, with the smallest budget at
// which a layer is coded: at that budget something is coded and the plane is no longer starved, one byte below it
// nothing is. The stream is the same as before.
TEST(PlaneStarvation, StarvedPlaneNamesTheSmallestWorkableBudget)
{
    const FloatImage plane = testPlane(41, 41, 3);
    for (const int stages : {1, 3, 5}) {
        SCOPED_TRACE(stages);
        const int reserve = kHeaderReserveBytes * (3 * stages + 1);
        const EncodedPlane starved = encodeToBudget(plane, 3, stages);
        ASSERT_TRUE(starved.status.ok());
        EXPECT_EQ(starved.budgetBytes, 3);
        EXPECT_TRUE(starved.starved);
        EXPECT_TRUE(everyPrecisionZero(starved));
        const int workable = starved.workableBudgetBytes;
        EXPECT_GT(workable, reserve);

        const EncodedPlane atWorkable = encodeToBudget(plane, workable, stages);
        EXPECT_FALSE(atWorkable.starved);
        EXPECT_FALSE(everyPrecisionZero(atWorkable));
        EXPECT_EQ(atWorkable.workableBudgetBytes, 0);

        const EncodedPlane below = encodeToBudget(plane, workable - 1, stages);
        EXPECT_TRUE(below.starved);
        EXPECT_TRUE(everyPrecisionZero(below));
        EXPECT_EQ(below.workableBudgetBytes, workable);
        // A starved plane whose target is not negative is starved all the same.
        const EncodedPlane atReserve = encodeToBudget(plane, reserve, stages);
        EXPECT_TRUE(atReserve.starved);
        EXPECT_EQ(atReserve.workableBudgetBytes, workable);
    }
}

// A healthy budget is not starved, and neither is a flat plane, which the mean codes as well as any layer could.
TEST(PlaneStarvation, HealthyAndFlatPlanesAreNotStarved)
{
    const EncodedPlane healthy = encodeToBudget(testPlane(64, 48, 2), 64 * 48 / 10, 5);
    ASSERT_TRUE(healthy.status.ok());
    EXPECT_FALSE(healthy.starved);
    EXPECT_EQ(healthy.workableBudgetBytes, 0);

    FloatImage flat(40, 40);
    std::fill(flat.data.begin(), flat.data.end(), 96.0f);
    const EncodedPlane flatCoded = encodeToBudget(flat, 3, 3);
    ASSERT_TRUE(flatCoded.status.ok());
    EXPECT_TRUE(everyPrecisionZero(flatCoded));
    EXPECT_FALSE(flatCoded.starved);
}

// The ratio entry point reports the budget it derived (width * height / ratio) and the same starvation.
TEST(PlaneStarvation, RatioEntryPointReportsItsBudget)
{
    const FloatImage plane = testPlane(41, 41, 3);
    const EncodedPlane starved = encodePlaneForRatio(plane, 500, 5, nullptr, discardSink());
    EXPECT_EQ(starved.budgetBytes, 41 * 41 / 500);
    EXPECT_TRUE(starved.starved);
    const EncodedPlane healthy = encodePlaneForRatio(plane, 4, 5, nullptr, discardSink());
    EXPECT_EQ(healthy.budgetBytes, 41 * 41 / 4);
    EXPECT_FALSE(healthy.starved);
}

} // namespace
} // namespace nubo
