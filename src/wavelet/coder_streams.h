#pragma once

#include "wavelet/arith_coder.h"
#include "wavelet/bit_stream.h"

#include <optional>
#include <string>

namespace nubo {

// The pieces that share one coded plane's bit stream on the encoding side: raw integers and arithmetic-coded
// symbols. Every raw integer is written before the first symbol. The owner calls arith.finish() at the end.
struct EncoderStream {
    explicit EncoderStream(std::string& bytes) : bits(bytes), arith(bits) {}
    EncoderStream(const EncoderStream&) = delete;
    EncoderStream& operator=(const EncoderStream&) = delete;

    BitOutput bits;
    ArithEncoder arith;
};

// The decoding side. The arithmetic decoder is created at the first symbol, so it starts reading exactly after
// the last raw integer.
struct DecoderStream {
    DecoderStream(const std::uint8_t* bytes, std::size_t length) : bits(bytes, length) {}
    DecoderStream(const DecoderStream&) = delete;
    DecoderStream& operator=(const DecoderStream&) = delete;

    ArithDecoder& arithDecoder()
    {
        if (!arith)
            arith.emplace(bits);
        return *arith;
    }

    BitInput bits;
    std::optional<ArithDecoder> arith;
};

} // namespace nubo
