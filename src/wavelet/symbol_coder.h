#pragma once

namespace nubo {

struct EncoderStream;
struct DecoderStream;

// Codes small integer symbols in a (context1, context2) context and prices them in bits.
class SymbolCoder {
public:
    virtual ~SymbolCoder() = default;

    // Codes v when a stream is given, otherwise only prices it; returns the cost in bits before any update.
    // With update set the model adapts to v afterwards.
    virtual float write(EncoderStream* stream, int v, int update, int context1, int context2) = 0;
    virtual int read(DecoderStream& stream, int update, int context1, int context2) = 0;
    virtual float cost(int v, int update, int context1, int context2) = 0;
    // Restores every model to its starting counts.
    virtual void reset() = 0;
};

} // namespace nubo
