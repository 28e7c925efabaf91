// Feeds arbitrary bytes to the .roi stream decoder through its public entry, so every coder kind the stream
// dispatches to is reached, and to the stream inspector. The first two bytes choose the selection:
//   byte 0, bit 0: decode the background; bits 1-2: 0 every region, 1 none, otherwise the mask in byte 1;
//   byte 1: region i is selected when bit (i mod 8) is set.
// The rest is the stream.
#include "fuzz_input.h"

#include "regions/region_selection.h"
#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_info.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

nubo::RegionSelection selectionFor(std::uint8_t control, std::uint8_t mask, int regionCount)
{
    nubo::RegionSelection selection;
    selection.initRegions(regionCount);
    selection.setBackground((control & 1) != 0);
    const int mode = (control >> 1) & 3;
    for (int i = 0; i < regionCount; ++i) {
        if (mode == 0 || (mode >= 2 && (mask >> (i % 8) & 1) != 0))
            selection.select(i);
    }
    return selection;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    nubo::fuzz::FuzzInput input(data, size);
    const std::uint8_t control = input.takeByte();
    const std::uint8_t mask = input.takeByte();
    const std::string stream = input.restAsString();

    std::istringstream headerIn(stream, std::ios::binary);
    nubo::StreamHeader header;
    const int regionCount = nubo::peekStreamHeader(headerIn, header) ? header.regionCount() : 0;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // A short valid stream may describe a large flat picture, whose decoding then takes seconds under the
    // sanitizers in proportion to its size: not a hang. While fuzzing, pictures stay small; replayed fixtures
    // (normal builds) keep every size.
    constexpr std::int64_t kMaxFuzzedPixels = std::int64_t{1} << 19;
    if (std::int64_t{header.width} * header.height > kMaxFuzzedPixels)
        return 0;
#endif

    const nubo::DecodedPicture decoded = nubo::decodeRoiStream(stream, selectionFor(control, mask, regionCount));
    const nubo::DecodeOutcome& outcome = decoded.outcome;
    // A decode that stopped must say why; one that read the header yields a picture of the header's size.
    if (!outcome.complete() && outcome.reason().empty())
        std::abort();
    if (outcome.headerRead
        && (decoded.image.width() != header.width || decoded.image.height() != header.height))
        std::abort();

    std::istringstream infoIn(stream, std::ios::binary);
    const nubo::StreamInfo info = nubo::inspectRoiStream(infoIn);
    if (!info.complete() && info.reason().empty())
        std::abort();
    if (info.headerRead != outcome.headerRead)
        std::abort();
    return 0;
}
