#include "wavelet/bit_stream.h"

namespace nubo {

void BitOutput::padToByte()
{
    while (bitCount_ != 0)
        putBit(0);
}

} // namespace nubo
