#include "wavelet/bit_stream.h"

namespace nubo {

void BitOutput::padToByte()
{
    while (bitCount_ != 0)
        putBit(0);
}

void BitInput::fail(const char* reason)
{
    if (failure_.empty())
        failure_ = reason;
}

} // namespace nubo
