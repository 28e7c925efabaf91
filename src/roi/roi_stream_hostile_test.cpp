// Damaged streams must never crash, hang, read out of bounds or allocate absurdly (run under the sanitizer build
// too); the decoder stops with what it has and says that it stopped.

#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"
#include "roi/roi_stream_info.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace nubo {
namespace {

using test::makeDocument;
using test::patternImage;
using test::region;

std::string encode(const DocumentData& document)
{
    std::string stream;
    const StatusOr<EncodeReport> outcome = encodeRoiStream(document, stream, discardSink());
    EXPECT_TRUE(outcome.ok()) << outcome.reason();
    return stream;
}

// Small valid streams of each shape: background only, lossless and wavelet regions.
std::vector<std::string> sampleStreams()
{
    return {
        encode(makeDocument(patternImage(24, 20, 2), {}, 3, 2)),
        encode(makeDocument(patternImage(48, 40, 3),
                            {region(1, 2, 12, 11, CoderKind::Arithmetic), region(14, 3, 47, 37, CoderKind::Wavelet, 4)},
                            5, 3)),
    };
}

void expectSoundResult(const DecodedPicture& decoded)
{
    if (!decoded.outcome.headerRead) {
        EXPECT_FALSE(decoded.image.isValid());
        return;
    }
    EXPECT_TRUE(decoded.image.isValid());
    EXPECT_EQ(decoded.image.size(), decoded.image.width() * decoded.image.height() * 3);
    for (int i = 0; i < decoded.regions.count(); ++i) {
        const Region& r = decoded.regions.at(i);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right < decoded.image.width() && r.bottom < decoded.image.height());
    }
    if (!decoded.outcome.complete()) {
        EXPECT_FALSE(decoded.outcome.reason().empty());
    }
}

// Every strict prefix of a valid stream decodes without fault and is reported as incomplete. Prefixes are decoded
// with only the background selected (header and skipping paths) and, at a stride that keeps the test fast under
// the sanitizers, with every record selected (payload decoding paths).
TEST(RoiStreamHostile, EveryPrefixIsRefusedSafely)
{
    for (const std::string& stream : sampleStreams()) {
        std::istringstream header(stream);
        StreamHeader h;
        ASSERT_TRUE(readStreamHeader(header, h));
        ASSERT_TRUE(decodeRoiStream(stream, test::selectEverything(h.regionCount())).outcome.complete());
        for (std::size_t length = 0; length < stream.size(); ++length) {
            const std::string prefix = stream.substr(0, length);
            const DecodedPicture background = decodeRoiStream(prefix, test::selection(h.regionCount(), {}, true));
            ASSERT_FALSE(background.outcome.complete()) << "prefix of " << length << " bytes";
            expectSoundResult(background);
            if (length % 5 == 0) {
                const DecodedPicture all = decodeRoiStream(prefix, test::selectEverything(h.regionCount()));
                ASSERT_FALSE(all.outcome.complete()) << "prefix of " << length << " bytes";
                expectSoundResult(all);
            }
            std::istringstream in(prefix, std::ios::in | std::ios::binary);
            EXPECT_FALSE(inspectRoiStream(in).complete());
        }
    }
}

// A flipped byte, at every position of the small stream and at random positions of the larger one, is survived.
TEST(RoiStreamHostile, SingleByteFlipsAreSurvived)
{
    const std::vector<std::string> streams = sampleStreams();
    std::mt19937 random(99);
    for (std::size_t s = 0; s < streams.size(); ++s) {
        const std::string& stream = streams[s];
        const std::size_t trials = s == 0 ? stream.size() : 300;
        for (std::size_t trial = 0; trial < trials; ++trial) {
            const std::size_t at = s == 0 ? trial : random() % stream.size();
            std::string damaged = stream;
            damaged[at] = static_cast<char>(static_cast<unsigned char>(damaged[at]) ^ (1u << (trial % 8)));
            expectSoundResult(decodeRoiStream(damaged, test::selectEverything(2)));
            std::istringstream in(damaged, std::ios::in | std::ios::binary);
            inspectRoiStream(in);
        }
    }
}

// Random bytes after a plausible header, and random text fields, are refused or decoded without fault.
TEST(RoiStreamHostile, RandomPayloadsAreSurvived)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::string stream = "32;24;3;3;";
        const int fields = static_cast<int>(random() % 8);
        for (int i = 0; i < fields; ++i)
            stream += std::to_string(static_cast<int>(random() % 64) - 4) + ";";
        const int tail = static_cast<int>(random() % 200);
        for (int i = 0; i < tail; ++i)
            stream += static_cast<char>(random() & 0xFF);
        expectSoundResult(decodeRoiStream(stream, test::selectEverything(2)));
        std::istringstream in(stream, std::ios::in | std::ios::binary);
        inspectRoiStream(in);
    }
}

} // namespace
} // namespace nubo
