#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace nubo {

// Adaptive frequency model of an alphabet of 2 to 2048 data symbols (0 ... n - 1), scaled to 2^15. Counts are
// folded into the distribution only every "update cycle" symbols; the cycle grows by a quarter each time up to
// 8 x (n + 6), which spreads the cost of recomputing the distribution over many symbols. Encoder and decoder of
// one stream must start from freshly built models of the same alphabet.
//
// Misuse (an alphabet size outside 2 ... 2048) is a programming error and ends the process (see ArithmeticCodec).
class AdaptiveSymbolModel {
public:
    // No alphabet yet: set one before coding.
    AdaptiveSymbolModel() = default;
    explicit AdaptiveSymbolModel(unsigned numberOfSymbols);
    AdaptiveSymbolModel(const AdaptiveSymbolModel&) = delete;
    AdaptiveSymbolModel& operator=(const AdaptiveSymbolModel&) = delete;

    // Lays the model out for n symbols (only resets it when n is the current size).
    void setAlphabet(unsigned numberOfSymbols);
    // Every count back to 1, as freshly built.
    void reset();

    unsigned symbolCount() const { return dataSymbols_; }
    // Entries of the decoder's lookup table: 0 for 16 symbols or fewer (decoded by bisection).
    unsigned tableSize() const { return tableSize_; }
    // Sum of the counts at the last update; never above 2^15 after an update.
    unsigned totalCount() const { return totalCount_; }

private:
    friend class ArithmeticCodec;

    void update(bool forDecoder);
    // The decoder table from the distribution as it stands.
    void fillDecoderTable();

    // One allocation: distribution (n words), counts (n words), then the decoder table (table size + 2 words).
    std::unique_ptr<std::uint32_t[]> block_;
    std::uint32_t* distribution_ = nullptr;
    std::uint32_t* counts_ = nullptr;
    std::uint32_t* decoderTable_ = nullptr;
    std::uint32_t totalCount_ = 0;
    std::uint32_t updateCycle_ = 0;
    std::uint32_t symbolsUntilUpdate_ = 0;
    std::uint32_t dataSymbols_ = 0;
    std::uint32_t lastSymbol_ = 0;
    std::uint32_t tableSize_ = 0;
    std::uint32_t tableShift_ = 0;
};

// Adaptive arithmetic codec in 32-bit unsigned integer arithmetic: turns symbols into code bytes in a code buffer
// and back. The code is fully determined by the symbols, so encoder and decoder stay in step as long as they use
// equal models and call in the same order.
//
// State machine: idle -> startEncoder -> encoding -> stopEncoder -> idle; idle -> startDecoder -> decoding ->
// stopDecoder -> idle. The buffer can be changed only while idle. Misuse of this state machine, an invalid buffer
// size or more code than the buffer holds is a programming error: the process ends with status 1 after writing
// "\n\n -> Arithmetic coding error: <message>\n Execution terminated!\n" to standard error. Callers that code
// untrusted content check sizes first (see lossless_region_coder.h).
class ArithmeticCodec {
public:
    // Code buffer sizes accepted by setBuffer.
    static constexpr std::uint32_t kMinBufferSize = 16;
    static constexpr std::uint32_t kMaxBufferSize = 1u << 24;
    // Spare bytes behind an own buffer, for the end of a code that just overflows it.
    static constexpr std::uint32_t kSpareBytes = 16;
    // The most bytes one encoded symbol can add to the code: after a symbol the interval length is at least
    // 2^24 >> 15 = 2^9, which two renormalisation shifts bring back above 2^24. stopEncoder adds at most 2 more.
    static constexpr std::uint32_t kMaxBytesPerSymbol = 2;
    static constexpr std::uint32_t kMaxBytesAtStop = 2;

    // No buffer: set one before starting.
    ArithmeticCodec() = default;
    // With a caller's buffer the codec reads or writes it but never owns it; without one it allocates its own.
    explicit ArithmeticCodec(std::uint32_t bufferSize, std::uint8_t* callersBuffer = nullptr);
    ArithmeticCodec(const ArithmeticCodec&) = delete;
    ArithmeticCodec& operator=(const ArithmeticCodec&) = delete;

    // A caller's buffer replaces any own buffer. Without one, a new own buffer of bufferSize + 16 bytes is taken
    // only when bufferSize exceeds the current size; otherwise the buffer that is there stays.
    void setBuffer(std::uint32_t bufferSize, std::uint8_t* callersBuffer = nullptr);
    // The code bytes: read them here after stopEncoder.
    std::uint8_t* buffer() { return codeBuffer_; }
    const std::uint8_t* buffer() const { return codeBuffer_; }
    std::uint32_t bufferSize() const { return bufferSize_; }

    void startEncoder();
    void encode(unsigned symbol, AdaptiveSymbolModel& model);
    // The same code as encode() called for each byte in turn, faster. Every byte must be a symbol of the model.
    void encodeBytes(const std::uint8_t* symbols, std::size_t count, AdaptiveSymbolModel& model);
    // Ends the code and returns the number of code bytes written.
    std::uint32_t stopEncoder();

    // The decoder reads up to 3 bytes beyond the code the encoder produced. It never reads beyond the buffer size:
    // bytes past it read as zeros, so a damaged code decodes to garbage but never leaves the buffer.
    void startDecoder();
    unsigned decode(AdaptiveSymbolModel& model);
    // The same as decode() called count times, each symbol stored as a byte, faster. Returns false when a symbol
    // above 255 was decoded (its byte holds the low 8 bits); the decoder stays in step either way.
    bool decodeBytes(std::uint8_t* into, std::size_t count, AdaptiveSymbolModel& model);
    void stopDecoder();

    // Bytes written so far while encoding, or read so far while decoding.
    std::size_t bytesUsed() const { return position_; }

private:
    enum class Mode : std::uint32_t { Idle = 0, Encoding = 1, Decoding = 2 };

    // One symbol step works on an interval state held in locals, so that a run of symbols keeps it in registers.
    // The single-symbol calls use these steps; the byte runs have their own loops (arithmetic_codec.cpp) that
    // give the same code and symbols, and fall back to these steps near the ends of the buffer.
    struct ModelView;
    struct IntervalState;
    static ModelView viewOf(const AdaptiveSymbolModel& model);
    static void encodeStep(IntervalState& state, unsigned symbol, const ModelView& model, std::uint8_t* code,
                           std::size_t writeLimit);
    static unsigned decodeStep(IntervalState& state, const ModelView& model, const std::uint8_t* code,
                               std::size_t size);
    static void countSymbol(AdaptiveSymbolModel& model, unsigned symbol, bool forDecoder);

    std::uint8_t* codeBuffer_ = nullptr;
    std::unique_ptr<std::uint8_t[]> ownBuffer_;
    std::size_t position_ = 0; // index of the next byte to write or read
    std::uint32_t base_ = 0;
    std::uint32_t value_ = 0;
    std::uint32_t length_ = 0;
    std::uint32_t bufferSize_ = 0; // 0: no buffer set
    std::uint32_t writeLimit_ = 0; // bytes the encoder may write: the buffer size, plus the spare of an own buffer
    Mode mode_ = Mode::Idle;
};

} // namespace nubo
