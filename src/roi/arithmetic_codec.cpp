#include "roi/arithmetic_codec.h"

#include "common/check.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace nubo {

namespace {

constexpr std::uint32_t kMinLength = 1u << 24;       // renormalise below this interval length
constexpr std::uint32_t kMaxLength = 0xFFFFFFFFu;    // initial interval length
constexpr unsigned kLengthShift = 15;                // distribution values are scaled to 2^15
constexpr std::uint32_t kCountLimit = 1u << 15;      // counts are halved when their sum passes this
constexpr unsigned kMinSymbols = 2;
constexpr unsigned kMaxSymbols = 2048;
// Direct symbol lookup of decodeBytes: one byte per quotient below 2^15. Refilled on every model update, it pays
// for itself from a few thousand symbols on.
constexpr std::uint32_t kLookupSize = 1u << 15;
constexpr std::size_t kLookupMinSymbols = 4096;

// The codec's errors end the process with status 1, as its callers expect; fatalExit does not run static
// destructors, so other coding threads still running are not pulled from under their objects.
[[noreturn]] void arithmeticCodingError(const char* message)
{
    fatalExit(std::string("\n\n -> Arithmetic coding error: ") + message + "\n Execution terminated!\n", 1);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// AdaptiveSymbolModel

AdaptiveSymbolModel::AdaptiveSymbolModel(unsigned numberOfSymbols)
{
    setAlphabet(numberOfSymbols);
}

void AdaptiveSymbolModel::setAlphabet(unsigned numberOfSymbols)
{
    if (numberOfSymbols < kMinSymbols || numberOfSymbols > kMaxSymbols)
        arithmeticCodingError("invalid number of data symbols");

    if (dataSymbols_ != numberOfSymbols) {
        dataSymbols_ = numberOfSymbols;
        lastSymbol_ = numberOfSymbols - 1;
        block_.reset();
        distribution_ = counts_ = decoderTable_ = nullptr;

        // Small alphabets decode by bisection. Larger ones get a table of 2^t slices: 8 up to 32 symbols, else
        // the smallest t with n <= 2^(t + 2), so that a slice holds about four symbols.
        std::size_t words = 2 * static_cast<std::size_t>(numberOfSymbols);
        if (numberOfSymbols > 16) {
            unsigned tableBits = 3;
            while (numberOfSymbols > (1u << (tableBits + 2)))
                ++tableBits;
            tableSize_ = 1u << tableBits;
            tableShift_ = kLengthShift - tableBits;
            words += tableSize_ + 2;
        } else {
            tableSize_ = 0;
            tableShift_ = 0;
        }
        block_.reset(new (std::nothrow) std::uint32_t[words]);
        if (!block_)
            arithmeticCodingError("cannot assign model memory");
        distribution_ = block_.get();
        counts_ = distribution_ + numberOfSymbols;
        if (tableSize_ > 0)
            decoderTable_ = counts_ + numberOfSymbols;
    }
    reset();
}

void AdaptiveSymbolModel::reset()
{
    if (dataSymbols_ == 0)
        return;
    totalCount_ = 0;
    updateCycle_ = dataSymbols_;
    for (std::uint32_t k = 0; k < dataSymbols_; ++k)
        counts_[k] = 1;
    update(true);
    symbolsUntilUpdate_ = updateCycle_ = (dataSymbols_ + 6) >> 1;
}

void AdaptiveSymbolModel::update(bool forDecoder)
{
    // The counts have grown by exactly one update cycle since the last update.
    totalCount_ += updateCycle_;
    if (totalCount_ > kCountLimit) {
        totalCount_ = 0;
        for (std::uint32_t k = 0; k < dataSymbols_; ++k)
            totalCount_ += (counts_[k] = (counts_[k] + 1) >> 1);
    }

    // scale * sum stays below 2^31: sum <= total count and scale = 2^31 / total count.
    const std::uint32_t scale = 0x80000000u / totalCount_;
    std::uint32_t sum = 0;
    for (std::uint32_t k = 0; k < dataSymbols_; ++k) {
        distribution_[k] = (scale * sum) >> (31 - kLengthShift);
        sum += counts_[k];
    }
    if (forDecoder)
        fillDecoderTable();

    updateCycle_ = (5 * updateCycle_) >> 2;
    const std::uint32_t maxCycle = (dataSymbols_ + 6) << 3;
    if (updateCycle_ > maxCycle)
        updateCycle_ = maxCycle;
    symbolsUntilUpdate_ = updateCycle_;
}

void AdaptiveSymbolModel::fillDecoderTable()
{
    if (tableSize_ == 0)
        return;
    std::uint32_t slice = 0;
    for (std::uint32_t k = 0; k < dataSymbols_; ++k) {
        const std::uint32_t w = distribution_[k] >> tableShift_;
        while (slice < w)
            decoderTable_[++slice] = k - 1;
    }
    decoderTable_[0] = 0;
    while (slice <= tableSize_)
        decoderTable_[++slice] = dataSymbols_ - 1;
}

// ---------------------------------------------------------------------------------------------------------------
// ArithmeticCodec

// The model fields a step reads.
struct ArithmeticCodec::ModelView {
    const std::uint32_t* distribution;
    const std::uint32_t* table; // none: decoded by bisection
    std::uint32_t tableSize;
    std::uint32_t lastSymbol;
    std::uint32_t tableShift;
    std::uint32_t dataSymbols;
};

struct ArithmeticCodec::IntervalState {
    std::uint32_t low; // base while encoding, value while decoding
    std::uint32_t length;
    std::size_t position;
};

namespace {

void propagateCarry(std::uint8_t* code, std::size_t position)
{
    // The code value stays below 1, so the carry always stops at a byte that is not 0xFF.
    std::size_t p = position - 1;
    while (code[p] == 0xFFu)
        code[p--] = 0;
    ++code[p];
}

// Bytes past the buffer read as zeros.
inline std::uint8_t codeByte(const std::uint8_t* code, std::size_t size, std::size_t at)
{
    return at < size ? code[at] : 0;
}

} // namespace

inline void ArithmeticCodec::encodeStep(IntervalState& state, unsigned symbol, const ModelView& model,
                                        std::uint8_t* code, std::size_t writeLimit)
{
    std::uint32_t x;
    const std::uint32_t initialBase = state.low;
    if (symbol == model.lastSymbol) {
        x = model.distribution[symbol] * (state.length >> kLengthShift);
        state.low += x;
        state.length -= x;
    } else {
        state.length >>= kLengthShift;
        x = model.distribution[symbol] * state.length;
        state.low += x;
        state.length = model.distribution[symbol + 1] * state.length - x;
    }
    // A carry (low wrapped) is added to the last byte written without a branch on it, which would be
    // mispredicted; only a byte that wraps in turn (it was 0xFF) takes the carry further. No carry comes before
    // the first byte, so at position 0 the byte there (written later) only gets 0 added.
    const std::uint32_t carry = static_cast<std::uint32_t>(initialBase > state.low);
    std::uint8_t& last = code[state.position - static_cast<std::size_t>(state.position != 0)];
    const std::uint32_t sum = last + carry;
    last = static_cast<std::uint8_t>(sum);
    if (sum > 0xFFu)
        propagateCarry(code, state.position - 1);
    if (state.length < kMinLength) {
        do {
            if (state.position >= writeLimit)
                arithmeticCodingError("code buffer overflow");
            code[state.position++] = static_cast<std::uint8_t>(state.low >> 24);
            state.low <<= 8;
        } while ((state.length <<= 8) < kMinLength);
    }
}

inline unsigned ArithmeticCodec::decodeStep(IntervalState& state, const ModelView& model, const std::uint8_t* code,
                                            std::size_t size)
{
    const std::uint32_t* distribution = model.distribution;
    unsigned s;
    std::uint32_t x;
    std::uint32_t y = state.length;
    state.length >>= kLengthShift;

    if (model.table) {
        // The table gives the first and last symbol whose range can hold d; bisect between them.
        const std::uint32_t d = state.low / state.length;
        // A valid code keeps d below 2^15 + 2^6, so t <= table size. A damaged one can drive value past length
        // and d far beyond; the last slice (which leads to the last symbol) keeps the lookup inside the table.
        const std::uint32_t t = std::min(d >> model.tableShift, model.tableSize);
        s = model.table[t];
        unsigned upper = model.table[t + 1] + 1;
        while (upper > s + 1) {
            const unsigned m = (s + upper) >> 1;
            if (distribution[m] > d)
                upper = m;
            else
                s = m;
        }
        x = distribution[s] * state.length;
        if (s != model.lastSymbol)
            y = distribution[s + 1] * state.length;
    } else {
        s = 0;
        x = 0;
        unsigned upper = model.dataSymbols;
        unsigned m = upper >> 1;
        do {
            const std::uint32_t z = distribution[m] * state.length;
            if (z > state.low) {
                upper = m;
                y = z;
            } else {
                s = m;
                x = z;
            }
        } while ((m = (s + upper) >> 1) != s);
    }

    state.low -= x;
    state.length = y - x;
    if (state.length < kMinLength) {
        do {
            state.low = (state.low << 8) | codeByte(code, size, state.position++);
        } while ((state.length <<= 8) < kMinLength);
    }
    return s;
}

ArithmeticCodec::ModelView ArithmeticCodec::viewOf(const AdaptiveSymbolModel& model)
{
    return ModelView{model.distribution_, model.decoderTable_, model.tableSize_, model.lastSymbol_,
                     model.tableShift_, model.dataSymbols_};
}

void ArithmeticCodec::countSymbol(AdaptiveSymbolModel& model, unsigned symbol, bool forDecoder)
{
    ++model.counts_[symbol];
    if (--model.symbolsUntilUpdate_ == 0)
        model.update(forDecoder);
}

ArithmeticCodec::ArithmeticCodec(std::uint32_t bufferSize, std::uint8_t* callersBuffer)
{
    setBuffer(bufferSize, callersBuffer);
}

void ArithmeticCodec::setBuffer(std::uint32_t bufferSize, std::uint8_t* callersBuffer)
{
    if (bufferSize < kMinBufferSize || bufferSize > kMaxBufferSize)
        arithmeticCodingError("invalid codec buffer size");
    if (mode_ != Mode::Idle)
        arithmeticCodingError("cannot set buffer while encoding or decoding");

    if (callersBuffer) {
        bufferSize_ = bufferSize;
        codeBuffer_ = callersBuffer;
        ownBuffer_.reset();
        writeLimit_ = bufferSize;
        return;
    }
    if (bufferSize > bufferSize_) {
        bufferSize_ = bufferSize;
        ownBuffer_.reset(new (std::nothrow) std::uint8_t[bufferSize + kSpareBytes]);
        if (!ownBuffer_)
            arithmeticCodingError("cannot assign memory for compressed data buffer");
        codeBuffer_ = ownBuffer_.get();
        writeLimit_ = bufferSize + kSpareBytes;
    }
}

void ArithmeticCodec::startEncoder()
{
    if (mode_ != Mode::Idle)
        arithmeticCodingError("cannot start encoder");
    if (bufferSize_ == 0)
        arithmeticCodingError("no code buffer set");
    mode_ = Mode::Encoding;
    base_ = 0;
    length_ = kMaxLength;
    position_ = 0;
}

void ArithmeticCodec::encode(unsigned symbol, AdaptiveSymbolModel& model)
{
    IntervalState state{base_, length_, position_};
    encodeStep(state, symbol, viewOf(model), codeBuffer_, writeLimit_);
    base_ = state.low;
    length_ = state.length;
    position_ = state.position;
    countSymbol(model, symbol, false);
}

namespace {

// Width of each byte symbol's range (distribution[s + 1] - distribution[s]); the last symbol's entry is unused.
void fillByteWidths(std::uint32_t* width, const std::uint32_t* distribution, std::uint32_t lastSymbol)
{
    const std::uint32_t end = std::min<std::uint32_t>(lastSymbol, 256);
    for (std::uint32_t s = 0; s < end; ++s)
        width[s] = distribution[s + 1] - distribution[s];
}

// Stores the four bytes of a word, most significant first.
inline void storeBigEndian(std::uint8_t* at, std::uint32_t word)
{
    word = __builtin_bswap32(word);
    std::memcpy(at, &word, sizeof word);
}

// (length << 8 * bytes) >> 15 for the 0, 1 or 2 bytes that renormalise a narrowed length of at least 2^9, picked
// from three candidates rather than shifted by the byte count, which takes longer to reach: it is what the next
// step waits for. The choice follows the data, so it must not become a branch; the compiler is not trusted with
// that where conditional moves can be asked for.
inline std::uint32_t scaledAfterRenormalisation(std::uint32_t narrowed)
{
    std::uint32_t scaled = narrowed >> kLengthShift;
#if defined(__x86_64__)
    const std::uint32_t afterOne = narrowed >> (kLengthShift - 8);
    const std::uint32_t afterTwo = narrowed << (16 - kLengthShift);
    asm("cmpl %[one], %[narrowed]\n\t"
        "cmovbl %[afterOne], %[scaled]\n\t"
        "cmpl %[two], %[narrowed]\n\t"
        "cmovbl %[afterTwo], %[scaled]"
        : [scaled] "+&r"(scaled)
        : [narrowed] "r"(narrowed), [afterOne] "r"(afterOne), [afterTwo] "r"(afterTwo), [one] "i"(kMinLength),
          [two] "i"(1u << 16)
        : "cc");
#else
    if (narrowed < kMinLength)
        scaled = narrowed >> (kLengthShift - 8);
    if (narrowed < (1u << 16))
        scaled = narrowed << (16 - kLengthShift);
#endif
    return scaled;
}

// The base and the last byte written above it (bits 32 to 39): a carry out of the base then lands in that byte
// by itself.
constexpr std::uint64_t kBaseAndLastByte = (std::uint64_t{1} << 40) - 1;

// Encodes count byte symbols whose steps cannot pass the write limit, with a byte already written before the
// position. The same code as encodeStep for each symbol; LastIsByte says whether a byte can be the model's last
// symbol, whose range ends at the length rather than at a distribution entry.
template <bool LastIsByte>
void encodeByteRun(std::uint32_t& baseOut, std::uint32_t& lengthOut, std::size_t& positionOut,
                   const std::uint8_t* symbols, std::size_t count, std::uint8_t* code,
                   const std::uint32_t* distribution, const std::uint32_t* width, std::uint32_t lastSymbol,
                   std::uint32_t* counts)
{
    std::size_t position = positionOut;
    std::uint64_t low = std::uint64_t{code[position - 1]} << 32 | baseOut;
    std::uint32_t length = lengthOut;
    std::uint32_t scaled = length >> kLengthShift;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned symbol = symbols[i];
        const std::uint32_t x = distribution[symbol] * scaled;
        low += x;
        if (LastIsByte && symbol == lastSymbol)
            length -= x;
        else
            length = width[symbol] * scaled;
        // Only a last byte of 0xFF passes the carry on, to the bytes before it.
        if (low > kBaseAndLastByte) {
            low &= kBaseAndLastByte;
            propagateCarry(code, position - 1);
        }
        // Renormalisation without a branch on the byte count, which follows the data: the last byte and the top
        // three of the base are always stored, and the position moves past the 0, 1 or 2 new bytes that belong
        // to the code (the length is at least 2^9 here); bytes stored beyond it are overwritten by later steps.
        const std::uint32_t bytes = static_cast<std::uint32_t>(length < kMinLength)
            + static_cast<std::uint32_t>(length < (1u << 16));
        const unsigned shift = 8 * bytes;
        storeBigEndian(code + position - 1, static_cast<std::uint32_t>(low >> 8));
        position += bytes;
        low = (low << shift) & kBaseAndLastByte;
        scaled = scaledAfterRenormalisation(length);
        length <<= shift;
        ++counts[symbol];
    }
    baseOut = static_cast<std::uint32_t>(low);
    lengthOut = length;
    positionOut = position;
}

} // namespace

void ArithmeticCodec::encodeBytes(const std::uint8_t* symbols, std::size_t count, AdaptiveSymbolModel& model)
{
    std::uint8_t* const code = codeBuffer_;
    const std::size_t writeLimit = writeLimit_;
    const std::uint32_t lastSymbol = model.lastSymbol_;
    std::uint32_t width[256];
    fillByteWidths(width, model.distribution_, lastSymbol);
    IntervalState state{base_, length_, position_};
    std::size_t i = 0;
    while (i < count) {
        // A step adds at most two bytes and the run stores four from the byte before the position, so this many
        // steps stay inside the write limit. The run needs a byte written before it: the first symbols, and those
        // of a buffer that runs short, take the checked step.
        const std::size_t room = state.position < writeLimit ? (writeLimit - state.position - 1) / 2 : 0;
        if (room == 0 || state.position == 0) {
            encodeStep(state, symbols[i], viewOf(model), code, writeLimit);
            ++model.counts_[symbols[i]];
            if (--model.symbolsUntilUpdate_ == 0) {
                model.update(false);
                fillByteWidths(width, model.distribution_, lastSymbol);
            }
            ++i;
            continue;
        }
        // Runs end where the model is updated.
        const std::size_t run = std::min({room, count - i, std::size_t{model.symbolsUntilUpdate_}});
        if (lastSymbol <= 0xFFu)
            encodeByteRun<true>(state.low, state.length, state.position, symbols + i, run, code,
                                model.distribution_, width, lastSymbol, model.counts_);
        else
            encodeByteRun<false>(state.low, state.length, state.position, symbols + i, run, code,
                                 model.distribution_, width, lastSymbol, model.counts_);
        i += run;
        model.symbolsUntilUpdate_ -= static_cast<std::uint32_t>(run);
        if (model.symbolsUntilUpdate_ == 0) {
            model.update(false);
            fillByteWidths(width, model.distribution_, lastSymbol);
        }
    }
    base_ = state.low;
    length_ = state.length;
    position_ = state.position;
}

std::uint32_t ArithmeticCodec::stopEncoder()
{
    if (mode_ != Mode::Encoding)
        arithmeticCodingError("invalid to stop encoder");
    mode_ = Mode::Idle;

    // Leave a value inside the final interval that one or two more bytes determine.
    const std::uint32_t initialBase = base_;
    if (length_ > 2 * kMinLength) {
        base_ += kMinLength;
        length_ = kMinLength >> 1;
    } else {
        base_ += kMinLength >> 1;
        length_ = kMinLength >> 9;
    }
    if (initialBase > base_)
        propagateCarry(codeBuffer_, position_);
    do {
        if (position_ >= writeLimit_)
            arithmeticCodingError("code buffer overflow");
        codeBuffer_[position_++] = static_cast<std::uint8_t>(base_ >> 24);
        base_ <<= 8;
    } while ((length_ <<= 8) < kMinLength);

    if (position_ > bufferSize_)
        arithmeticCodingError("code buffer overflow");
    return static_cast<std::uint32_t>(position_);
}

void ArithmeticCodec::startDecoder()
{
    if (mode_ != Mode::Idle)
        arithmeticCodingError("cannot start decoder");
    if (bufferSize_ == 0)
        arithmeticCodingError("no code buffer set");
    mode_ = Mode::Decoding;
    length_ = kMaxLength;
    // The buffer holds at least 16 bytes, so the first four are always there.
    value_ = 0;
    for (position_ = 0; position_ < 4; ++position_)
        value_ = (value_ << 8) | codeBuffer_[position_];
}

unsigned ArithmeticCodec::decode(AdaptiveSymbolModel& model)
{
    IntervalState state{value_, length_, position_};
    const unsigned symbol = decodeStep(state, viewOf(model), codeBuffer_, bufferSize_);
    value_ = state.low;
    length_ = state.length;
    position_ = state.position;
    countSymbol(model, symbol, true);
    return symbol;
}

namespace {

// The direct symbol lookup of decodeBytes for models of at most 257 symbols over long runs: every quotient below
// 2^15 looks its symbol up (all but the last symbol fit a byte; the last one is recognised by its start), with
// the start and width of each symbol's range beside it, which takes the table and the search off the path from
// one symbol to the next.
struct ByteSymbolLookup {
    std::uint8_t symbolOf[kLookupSize];
    std::uint32_t start[256];
    std::uint32_t width[256];

    void fill(const std::uint32_t* distribution, std::uint32_t lastSymbol)
    {
        for (std::uint32_t k = 0; k < lastSymbol; ++k) {
            start[k] = distribution[k];
            width[k] = distribution[k + 1] - distribution[k];
            std::memset(symbolOf + start[k], static_cast<int>(k), width[k]);
        }
    }
};

// Decodes count symbols into bytes while the next two code bytes of every step lie inside the buffer, with the
// same results as decodeStep. Returns false when the last symbol was decoded and is no byte.
bool decodeByteRun(std::uint32_t& valueOut, std::uint32_t& lengthOut, std::size_t& positionOut, std::uint8_t* into,
                   std::size_t count, const std::uint8_t* code, const ByteSymbolLookup& lookup,
                   std::uint32_t lastStart, std::uint32_t lastSymbol, std::uint32_t* counts)
{
    std::uint32_t value = valueOut;
    std::uint32_t length = lengthOut;
    std::size_t position = positionOut;
    std::uint32_t scaled = length >> kLengthShift;
    bool allBytes = true;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t d = value / scaled;
        unsigned symbol;
        std::uint32_t x;
        std::uint32_t narrowed;
        // The last symbol is recognised by its start, which also covers the quotients of 2^15 or more (possible
        // only for it, or in a damaged code), so that the lookup stays inside its table.
        if (d >= lastStart) {
            symbol = lastSymbol;
            x = lastStart * scaled;
            narrowed = length - x;
            allBytes = allBytes && symbol <= 0xFFu;
        } else {
            symbol = lookup.symbolOf[d];
            x = lookup.start[symbol] * scaled;
            narrowed = lookup.width[symbol] * scaled;
        }
        // Renormalisation takes the 0, 1 or 2 bytes needed (the length is at least 2^9 here) without a loop.
        const std::uint32_t pair = std::uint32_t{code[position]} << 8 | code[position + 1];
        const std::uint32_t kept = static_cast<std::uint32_t>(narrowed >= kMinLength)
            + static_cast<std::uint32_t>(narrowed >= (1u << 16));
        const std::uint32_t bytes = 2 - kept;
        value = static_cast<std::uint32_t>((std::uint64_t{value - x} << 16 | pair) >> (8 * kept));
        position += bytes;
        scaled = scaledAfterRenormalisation(narrowed);
        length = narrowed << (8 * bytes);
        ++counts[symbol];
        into[i] = static_cast<std::uint8_t>(symbol);
    }
    valueOut = value;
    lengthOut = length;
    positionOut = position;
    return allBytes;
}

} // namespace

bool ArithmeticCodec::decodeBytes(std::uint8_t* into, std::size_t count, AdaptiveSymbolModel& model)
{
    IntervalState state{value_, length_, position_};
    const ModelView view = viewOf(model);
    const std::uint8_t* code = codeBuffer_;
    const std::size_t size = bufferSize_;
    std::uint32_t* counts = model.counts_;
    unsigned allSymbols = 0;
    std::size_t i = 0;

    if (view.dataSymbols <= 257 && count >= kLookupMinSymbols) {
        const std::unique_ptr<ByteSymbolLookup> lookup(new ByteSymbolLookup);
        lookup->fill(view.distribution, view.lastSymbol);
        // The model's own decoder table is not read here: it is brought up to date once, after the runs.
        bool tableStale = false;
        // A step takes at most two bytes and reads the two at the position, so runs last while the two bytes of
        // their last step lie inside the buffer; they end where the model is updated.
        while (i < count && state.position + 2 <= size) {
            const std::size_t steps = (size - state.position - 2) / 2 + 1;
            const std::size_t run = std::min({steps, count - i, std::size_t{model.symbolsUntilUpdate_}});
            if (!decodeByteRun(state.low, state.length, state.position, into + i, run, code, *lookup,
                               view.distribution[view.lastSymbol], view.lastSymbol, counts))
                allSymbols = 0x100u;
            i += run;
            model.symbolsUntilUpdate_ -= static_cast<std::uint32_t>(run);
            if (model.symbolsUntilUpdate_ == 0) {
                model.update(false);
                tableStale = true;
                lookup->fill(view.distribution, view.lastSymbol);
            }
        }
        if (tableStale)
            model.fillDecoderTable();
    }
    // The rest, and short runs, by the plain step, which reads zeros past the buffer.
    std::uint32_t untilUpdate = model.symbolsUntilUpdate_;
    for (; i < count; ++i) {
        const unsigned symbol = decodeStep(state, view, code, size);
        ++counts[symbol];
        if (--untilUpdate == 0) {
            model.update(true);
            untilUpdate = model.symbolsUntilUpdate_;
        }
        into[i] = static_cast<std::uint8_t>(symbol);
        allSymbols |= symbol;
    }
    model.symbolsUntilUpdate_ = untilUpdate;
    value_ = state.low;
    length_ = state.length;
    position_ = state.position;
    return allSymbols <= 0xFFu;
}

void ArithmeticCodec::stopDecoder()
{
    if (mode_ != Mode::Decoding)
        arithmeticCodingError("invalid to stop decoder");
    mode_ = Mode::Idle;
}

} // namespace nubo
