#include "wavelet/arith_coder.h"

#include "common/check.h"
#include "common/diagnostics.h"

namespace nubo {

void ArithEncoder::refuse(std::int32_t count, std::int32_t cumulative, std::int32_t total)
{
    checkFailed(__FILE__, __LINE__, "ArithEncoder::encode",
                formatText("cannot code interval [%d, %d) of %d", static_cast<int>(cumulative),
                           static_cast<int>(cumulative + count), static_cast<int>(total)));
}

void ArithEncoder::finish()
{
    for (int i = 0; i < 16; ++i) {
        if (low_ >= kArithHalf) {
            outputBit(1);
            low_ -= kArithHalf;
        } else {
            outputBit(0);
        }
        low_ = 2 * low_;
    }
    output_.padToByte();
}

ArithDecoder::ArithDecoder(BitInput& input) : input_(input), reciprocals_(reciprocalTable())
{
    for (int i = 0; i < 16; ++i)
        value_ = 2 * value_ + input_.getBit();
}

} // namespace nubo
