#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nubo {

// The entropy coder of the predictive lossless kind: a byte-oriented range coder (G. N. N. Martin's range
// coding, a carry added into the bytes already written) and adaptive multi-symbol
// frequency models whose cumulative table is rebuilt at growing intervals, so that coding a symbol costs a few
// table reads and, when decoding, one division; and raw bits kept beside the range code.
//
// Symbol frequencies are scaled to a total of 2^kFrequencyBits. Encoder and decoder stay in step as long as they
// use equal models and call in the same order. Everything is 32- and 64-bit unsigned integer arithmetic.

inline constexpr int kFrequencyBits = 15;
inline constexpr std::uint32_t kFrequencyTotal = std::uint32_t{1} << kFrequencyBits;

// An adaptive model of `Size` symbols (2 to 64). Counts start equal; every coded symbol adds kIncrement to its
// count, the counts are halved when their sum passes kCountLimit, and the scaled cumulative table the coder uses
// is rebuilt after a run of symbols that starts short and grows to kMaxRun, so that early symbols adapt fast and
// later ones cost little.
template <int Size>
class FrequencyModel {
public:
    static_assert(Size >= 2 && Size <= 64, "alphabet of 2 to 64 symbols");
    static constexpr int kSymbols = Size;
    static constexpr std::uint32_t kIncrement = 24;
    static constexpr std::uint32_t kCountLimit = 1u << 13;
    static constexpr int kMaxRun = 1024;
    // Decoding looks up the first candidate symbol by the top kLookupBits of the scaled value.
    static constexpr int kLookupBits = 9;

    FrequencyModel() { reset(); }

    void reset()
    {
        for (std::uint16_t& c : counts_)
            c = kIncrement / 2;
        run_ = 4;
        left_ = run_;
        rebuild();
    }

    std::uint32_t cumulative(int symbol) const { return cumulative_[symbol]; }
    std::uint32_t frequency(int symbol) const { return cumulative_[symbol + 1] - cumulative_[symbol]; }

    // The symbol whose scaled interval holds `value` (0 <= value < kFrequencyTotal).
    int find(std::uint32_t value) const
    {
        int symbol = lookup_[value >> (kFrequencyBits - kLookupBits)];
        while (cumulative_[symbol + 1] <= value)
            ++symbol;
        return symbol;
    }

    // Counts a coded symbol. Only a decoding model needs the lookup table, so an encoding one (`ForDecoding`
    // false) leaves it out of its rebuilds; a model serves one side only.
    template <bool ForDecoding>
    void update(int symbol)
    {
        counts_[symbol] = static_cast<std::uint16_t>(counts_[symbol] + kIncrement);
        if (--left_ == 0)
            rebuild<ForDecoding>();
    }

private:
    template <bool WithLookup = true>
    void rebuild()
    {
        std::uint32_t total = 0;
        for (std::uint16_t c : counts_)
            total += c;
        if (total > kCountLimit) {
            total = 0;
            for (std::uint16_t& c : counts_) {
                c = static_cast<std::uint16_t>((c + 1) >> 1);
                total += c;
            }
        }
        // Every count is at least 1 and, once halved, the total is at most (kCountLimit + kMaxRun x kIncrement) / 2
        // plus Size, below kFrequencyTotal, so every symbol keeps a scaled frequency of at least 1.
        std::uint32_t sum = 0;
        for (int s = 0; s < Size; ++s) {
            cumulative_[s] = static_cast<std::uint32_t>((std::uint64_t{sum} << kFrequencyBits) / total);
            sum += counts_[s];
        }
        cumulative_[Size] = kFrequencyTotal;
        if constexpr (WithLookup) {
            int symbol = 0;
            for (int slot = 0; slot < (1 << kLookupBits); ++slot) {
                const std::uint32_t start = static_cast<std::uint32_t>(slot) << (kFrequencyBits - kLookupBits);
                while (cumulative_[symbol + 1] <= start)
                    ++symbol;
                lookup_[slot] = static_cast<std::uint8_t>(symbol);
            }
        }
        run_ = run_ * 2 > kMaxRun ? kMaxRun : run_ * 2;
        left_ = run_;
    }

    std::uint16_t counts_[Size];
    std::uint32_t cumulative_[Size + 1];
    std::uint8_t lookup_[1 << kLookupBits];
    int run_ = 0;
    int left_ = 0;
};

class RangeEncoder {
public:
    // The code is appended to `out`, which holds it once finish() has returned.
    explicit RangeEncoder(std::vector<std::uint8_t>& out) : out_(out), start_(out.size()) {}
    RangeEncoder(const RangeEncoder&) = delete;
    RangeEncoder& operator=(const RangeEncoder&) = delete;

    template <int Size>
    [[gnu::always_inline]] void encode(FrequencyModel<Size>& model, int symbol)
    {
        const std::uint32_t r = range_ >> kFrequencyBits;
        low_ += std::uint64_t{r} * model.cumulative(symbol);
        range_ = r * model.frequency(symbol);
        model.template update<false>(symbol);
        if (low_ >> 32)
            carry();
        normalize();
    }

    // Writes the last bytes; the coder must not be used afterwards.
    void finish()
    {
        for (int i = 0; i < 4; ++i, low_ <<= 8)
            staged_[stagedCount_++] = static_cast<std::uint16_t>((low_ >> 24) & 0xFF);
        flush();
    }

private:
    // Bytes wait in 16-bit cells before they go to `out`: a store of a byte may alias anything, which would
    // make the compiler reload every value of the coding loop after each one; a 16-bit store does not.
    static constexpr std::size_t kStaged = 4096;

    // The interval is at least 2^9 wide after a symbol, so 0, 1 or 2 top bytes of low are moved out: both are
    // stored and the count taken, without a branch on it (which is as good as random).
    void normalize()
    {
        const unsigned bytes = static_cast<unsigned>(range_ < (1u << 24)) + static_cast<unsigned>(range_ < (1u << 16));
        staged_[stagedCount_] = static_cast<std::uint16_t>((low_ >> 24) & 0xFF);
        staged_[stagedCount_ + 1] = static_cast<std::uint16_t>((low_ >> 16) & 0xFF);
        stagedCount_ += bytes;
        low_ = (low_ << (8 * bytes)) & 0xFFFFFFFFu;
        range_ <<= 8 * bytes;
        if (stagedCount_ >= kStaged)
            flush();
    }

    // A carry out of low adds one to the bytes already written: the trailing 0xFF bytes become 0 and the byte
    // before them grows by one. The code stays below 1, so the carry never runs past the first byte.
    void carry()
    {
        low_ &= 0xFFFFFFFFu;
        std::size_t at = stagedCount_;
        while (at > 0 && staged_[at - 1] == 0xFF)
            staged_[--at] = 0;
        if (at > 0) {
            ++staged_[at - 1];
            return;
        }
        std::size_t byte = out_.size();
        while (byte > start_ && out_[byte - 1] == 0xFF)
            out_[--byte] = 0;
        if (byte > start_)
            ++out_[byte - 1];
    }

    void flush()
    {
        out_.insert(out_.end(), staged_, staged_ + stagedCount_);
        stagedCount_ = 0;
    }

    std::vector<std::uint8_t>& out_;
    std::size_t start_;
    std::uint64_t low_ = 0;
    std::uint32_t range_ = 0xFFFFFFFFu;
    std::size_t stagedCount_ = 0;
    std::uint16_t staged_[kStaged + 2];
};

// Reads what RangeEncoder wrote. Past the end of the code it reads zero bytes, so a damaged or cut-off code
// still decodes (to something) in bounded time; bytesRead() tells how far it went.
class RangeDecoder {
public:
    RangeDecoder(const std::uint8_t* code, std::size_t length) : code_(code), length_(length)
    {
        for (int i = 0; i < 4; ++i)
            value_ = (value_ << 8) | nextByte();
    }

    template <int Size>
    [[gnu::always_inline]] int decode(FrequencyModel<Size>& model)
    {
        const std::uint32_t r = range_ >> kFrequencyBits;
        std::uint32_t scaled = value_ / r;
        if (scaled >= kFrequencyTotal) // only a damaged code gets here
            scaled = kFrequencyTotal - 1;
        const int symbol = model.find(scaled);
        value_ -= r * model.cumulative(symbol);
        range_ = r * model.frequency(symbol);
        model.template update<true>(symbol);
        normalize();
        return symbol;
    }

    // Bytes taken from the code so far, counting those read past its end.
    std::size_t bytesRead() const { return position_; }

private:
    std::uint32_t nextByte()
    {
        const std::uint32_t byte = position_ < length_ ? code_[position_] : 0u;
        ++position_;
        return byte;
    }

    // As the encoder: 0, 1 or 2 bytes come in after a symbol, counted rather than looped over.
    void normalize()
    {
        const unsigned bytes = static_cast<unsigned>(range_ < (1u << 24)) + static_cast<unsigned>(range_ < (1u << 16));
        const std::uint32_t pair = byteAt(position_) << 8 | byteAt(position_ + 1);
        value_ = static_cast<std::uint32_t>(std::uint64_t{value_} << (8 * bytes) | pair >> (16 - 8 * bytes));
        range_ <<= 8 * bytes;
        position_ += bytes;
    }

    std::uint32_t byteAt(std::size_t at) const { return at < length_ ? code_[at] : 0u; }

    const std::uint8_t* code_;
    std::size_t length_;
    std::size_t position_ = 0;
    std::uint32_t value_ = 0;
    std::uint32_t range_ = 0xFFFFFFFFu;
};

// Raw bits beside the range code: written least significant first into bytes that are stored after the range
// code in reverse order, so that a reader walking back from the end of the whole code finds them in order. They
// cost no coder step, and decoding them needs no division.
class RawBitWriter {
public:
    // `count` (0 to 16) low bits of `value`.
    void put(std::uint32_t value, int count)
    {
        buffer_ |= std::uint64_t{value} << filled_;
        filled_ += count;
        // Whole 32-bit words leave the buffer (its bytes least significant first): one store in a few samples,
        // and not of a byte, which could alias anything the coding loop keeps.
        if (filled_ >= 32) {
            words_.push_back(static_cast<std::uint32_t>(buffer_));
            buffer_ >>= 32;
            filled_ -= 32;
        }
    }

    // Appends the bits, last byte first, to `code`.
    void appendTo(std::vector<std::uint8_t>& code)
    {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(words_.size() * 4 + 8);
        for (const std::uint32_t word : words_)
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
        for (; filled_ > 0; filled_ -= 8, buffer_ >>= 8)
            bytes.push_back(static_cast<std::uint8_t>(buffer_));
        filled_ = 0;
        buffer_ = 0;
        words_.clear();
        code.insert(code.end(), bytes.rbegin(), bytes.rend());
    }

private:
    std::vector<std::uint32_t> words_;
    std::uint64_t buffer_ = 0;
    int filled_ = 0;
};

// Reads RawBitWriter's bits from the end of a code backwards; beyond the start of the code it reads zeros.
class RawBitReader {
public:
    RawBitReader(const std::uint8_t* code, std::size_t length) : code_(code), length_(length) {}

    std::uint32_t get(int count)
    {
        if (filled_ < count)
            refill();
        const auto bits = static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << count) - 1));
        buffer_ >>= count;
        filled_ -= count;
        return bits;
    }

    // Whole bytes the bits read so far take, the last one counted even when partly used.
    std::size_t bytesUsed() const { return (bitsTaken() + 7) / 8; }

private:
    std::size_t bitsTaken() const { return taken_ * 8 - static_cast<std::size_t>(filled_); }

    void refill()
    {
        while (filled_ <= 48) {
            const std::uint64_t byte = taken_ < length_ ? code_[length_ - 1 - taken_] : 0u;
            ++taken_;
            buffer_ |= byte << filled_;
            filled_ += 8;
        }
    }

    const std::uint8_t* code_;
    std::size_t length_;
    std::size_t taken_ = 0;
    std::uint64_t buffer_ = 0;
    int filled_ = 0;
};

} // namespace nubo
