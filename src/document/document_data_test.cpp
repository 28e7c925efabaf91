#include "document/document_data.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

// A new document: empty picture, no regions, background ratio 1 unset, 5 stages, labels hidden and transparent.
TEST(DocumentData, StartsEmptyWithDefaults)
{
    const DocumentData document;
    EXPECT_FALSE(document.image().isValid());
    EXPECT_EQ(document.regions().count(), 0);
    EXPECT_EQ(document.background().ratio(), 1);
    EXPECT_TRUE(document.background().ratioUnset());
    EXPECT_EQ(document.waveletStages(), 5);
    EXPECT_EQ(document.descriptionMode(), DescriptionMode::Hidden);
    EXPECT_FALSE(document.opaqueLabels());
    EXPECT_EQ(document.lastEncoding(), nullptr);
}

// showDescriptions moves Hidden to Short once and refreshes; Full stays Full without a refresh.
TEST(DocumentData, ShowDescriptionsOnlyLeavesHidden)
{
    DocumentData document;
    int refreshes = 0;
    document.setRefreshViews([&] { ++refreshes; });
    document.showDescriptions();
    EXPECT_EQ(document.descriptionMode(), DescriptionMode::Short);
    EXPECT_EQ(refreshes, 1);
    document.setDescriptionMode(DescriptionMode::Full);
    document.showDescriptions();
    EXPECT_EQ(document.descriptionMode(), DescriptionMode::Full);
    EXPECT_EQ(refreshes, 1);
}

// A newer stream replaces the one held before.
TEST(DocumentData, LastEncodingIsReplaced)
{
    DocumentData document;
    document.replaceLastEncoding("first");
    document.replaceLastEncoding("second");
    ASSERT_NE(document.lastEncoding(), nullptr);
    EXPECT_EQ(*document.lastEncoding(), "second");
}

} // namespace
} // namespace nubo
