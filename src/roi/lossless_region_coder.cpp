#include "roi/lossless_region_coder.h"

#include "common/limits.h"
#include "roi/arithmetic_codec.h"
#include "roi/stream_fields.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <vector>

namespace nubo {

namespace {

// Each byte is one symbol; symbol 256 is never coded but takes its share of the initial counts.
constexpr unsigned kSymbols = 257;

// Code bytes are read from a stream in pieces of this size, so that a byte count the stream cannot back never
// allocates more than one piece beyond what really arrived.
constexpr std::size_t kReadPiece = std::size_t{1} << 20;

std::string sizeText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// Encoder buffer: big enough for the worst case of every symbol (2 bytes each, 2 more at the end), so that no
// content can overflow it, within the codec's limits.
std::uint32_t encoderBufferSize(std::int64_t regionBytes)
{
    const std::int64_t worstCase = regionBytes * ArithmeticCodec::kMaxBytesPerSymbol + ArithmeticCodec::kMaxBytesAtStop;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(worstCase, ArithmeticCodec::kMinBufferSize,
                                                                ArithmeticCodec::kMaxBufferSize));
}

// Reads "<integer>;" (white space before the number and the separator skipped), naming the field on failure.
Status readPayloadField(std::istream& in, std::int64_t& value, const char* what)
{
    if (!readField(in, value))
        return failure(std::string("damaged lossless payload: no ") + what + " followed by \";\"");
    return {};
}

// Takes exactly count bytes from the stream, in pieces, failing if it ends first.
bool readCodeBytes(std::istream& in, std::vector<std::uint8_t>& bytes, std::size_t count)
{
    bytes.clear();
    while (bytes.size() < count) {
        const std::size_t piece = std::min(kReadPiece, count - bytes.size());
        const std::size_t at = bytes.size();
        bytes.resize(at + piece);
        in.read(reinterpret_cast<char*>(bytes.data() + at), static_cast<std::streamsize>(piece));
        if (static_cast<std::size_t>(in.gcount()) != piece)
            return false;
    }
    return true;
}

} // namespace

Status encodeLosslessRegion(const RasterImage& region, std::ostream& out)
{
    if (!region.isValid())
        return failure("cannot code an empty region losslessly");
    const std::int64_t regionBytes = region.size();
    if (regionBytes > kMaxLosslessRegionBytes)
        return failure("region of " + sizeText(region.width(), region.height())
                + " pixels is too large for lossless coding (at most 16777216 bytes)");

    const std::uint32_t bufferSize = encoderBufferSize(regionBytes);
    ArithmeticCodec codec(bufferSize);
    AdaptiveSymbolModel model(kSymbols);
    codec.startEncoder();

    // Only a buffer capped at the codec's maximum can run short, and only for content that does not compress. The
    // symbols go in runs that are sure to fit even in the worst case; when no further symbol is sure to fit the
    // region is refused rather than letting the codec overflow.
    const std::uint8_t* bytes = region.data();
    const std::size_t total = static_cast<std::size_t>(regionBytes);
    std::size_t next = 0;
    while (next < total) {
        const std::size_t room =
            (bufferSize - codec.bytesUsed() - ArithmeticCodec::kMaxBytesAtStop) / ArithmeticCodec::kMaxBytesPerSymbol;
        if (room == 0)
            return failure("region of " + sizeText(region.width(), region.height())
                    + " pixels does not compress: its code would pass 16777216 bytes");
        const std::size_t run = std::min(room, total - next);
        codec.encodeBytes(bytes + next, run, model);
        next += run;
    }
    const std::uint32_t codeBytes = codec.stopEncoder();

    writeField(out, codeBytes);
    writeField(out, region.width());
    writeField(out, region.height());
    out.write(reinterpret_cast<const char*>(codec.buffer()), codeBytes);
    if (!out)
        return failure("cannot write the lossless payload");
    return {};
}

Status decodeLosslessRegion(RasterImage& region, std::istream& in)
{
    region.clear();
    std::int64_t codeBytes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    NUBO_RETURN_IF_ERROR(readPayloadField(in, codeBytes, "code byte count"));
    NUBO_RETURN_IF_ERROR(readPayloadField(in, width, "width"));
    NUBO_RETURN_IF_ERROR(readPayloadField(in, height, "height"));

    // The encoder never writes more than the codec's largest buffer, and always at least one byte.
    if (codeBytes < 1 || codeBytes > ArithmeticCodec::kMaxBufferSize)
        return failure("damaged lossless payload: code byte count " + std::to_string(codeBytes)
                + " is out of range");
    if (!imageSizeAllowed(width, height))
        return failure("damaged lossless payload: region size " + sizeText(width, height)
                + " is outside the picture limits");
    const std::int64_t regionBytes = width * height * 3;
    if (regionBytes > kMaxLosslessRegionBytes)
        return failure("damaged lossless payload: region of " + sizeText(width, height)
                + " pixels is too large for lossless coding");
    const std::int64_t remaining = remainingBytes(in);
    if (remaining >= 0 && remaining < codeBytes)
        return failure("truncated lossless payload: " + std::to_string(codeBytes) + " code bytes announced, "
                + std::to_string(remaining) + " left in the stream");

    // The decoder reads up to three bytes past the code, and at least the codec's minimum buffer: zeros there.
    std::vector<std::uint8_t> code;
    if (!readCodeBytes(in, code, static_cast<std::size_t>(codeBytes)))
        return failure("truncated lossless payload: the stream ends inside the code bytes");
    code.resize(std::max<std::size_t>(code.size(), ArithmeticCodec::kMinBufferSize) + 3, 0);
    const auto bufferSize = static_cast<std::uint32_t>(
        std::min<std::size_t>(code.size(), ArithmeticCodec::kMaxBufferSize));

    RasterImage decoded;
    if (!decoded.allocate(static_cast<int>(width), static_cast<int>(height)))
        return failure("cannot hold a region of " + sizeText(width, height) + " pixels");
    ArithmeticCodec codec(bufferSize, code.data());
    AdaptiveSymbolModel model(kSymbols);
    // A whole code is read to its end and at most three bytes beyond: the four bytes the decoder starts ahead,
    // less the one or two bytes that ended it. Anything else means the code does not belong to this region.
    const auto announced = static_cast<std::size_t>(codeBytes);
    codec.startDecoder();
    // In runs, so that a short code announcing a large region stops once the decoder has read past its end
    // rather than decoding millions of bytes from zeros (the runs decode exactly as one call would).
    constexpr std::size_t kRun = std::size_t{1} << 20;
    bool allBytes = true;
    const auto total = static_cast<std::size_t>(regionBytes);
    for (std::size_t start = 0; start < total && allBytes && codec.bytesUsed() <= announced + 3; start += kRun)
        allBytes = codec.decodeBytes(decoded.data() + start, std::min(kRun, total - start), model);
    codec.stopDecoder();
    // Symbol 256 is never coded: decoding it means damage.
    if (!allBytes)
        return failure("damaged lossless payload: the code holds a symbol that is no byte");

    const std::size_t used = codec.bytesUsed();
    if (used < announced + 2 || used > announced + 3)
        return failure("damaged lossless payload: the code does not match a region of "
                + sizeText(width, height) + " pixels");

    region = std::move(decoded);
    return {};
}

} // namespace nubo
