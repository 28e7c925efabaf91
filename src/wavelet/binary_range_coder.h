#pragma once

#include "wavelet/bit_stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace nubo {

inline constexpr int kMaxAdaptiveWindow = 4094;

// 65536 / (n + 3), rounded to nearest, for n = 0 ... kMaxAdaptiveWindow.
inline constexpr std::array<std::uint16_t, kMaxAdaptiveWindow + 1> kAdaptiveBitSteps = [] {
    std::array<std::uint16_t, kMaxAdaptiveWindow + 1> s{};
    for (int n = 0; n <= kMaxAdaptiveWindow; ++n)
        s[static_cast<std::size_t>(n)] = static_cast<std::uint16_t>((65536 + (n + 3) / 2) / (n + 3));
    return s;
}();

// The probability that a binary symbol is 1, learnt from the symbols seen. After n symbols the estimate moves
// towards the next one by 1 / (n + 3), so that it is (ones + 1) / (n + 2), as counts starting at 1 give, until
// n reaches the model's window; from there on by 1 / (window + 3), so it follows statistics that change. Kept in
// 32 bits so that a long run of one symbol keeps moving it; the coders take its top 16 bits, never 0.
class AdaptiveBit {
public:
    // window: 1 ... kMaxAdaptiveWindow symbols.
    explicit AdaptiveBit(int window = 1022) : window_(static_cast<std::uint16_t>(clampedWindow(window))) {}

    // Even odds, nothing seen.
    void reset()
    {
        one_ = 0x80000000u;
        seen_ = 0;
    }
    // The probability of a 1 in units of 2^-16: 1 ... 65535.
    std::uint32_t one() const { return (one_ >> 16) | 1u; }

    void update(int bit)
    {
        const std::uint64_t step = kAdaptiveBitSteps[seen_];
        if (bit != 0)
            one_ += static_cast<std::uint32_t>(((std::uint64_t{0xFFFFFFFFu} - one_) * step) >> 16);
        else
            one_ -= static_cast<std::uint32_t>((std::uint64_t{one_} * step) >> 16);
        seen_ = static_cast<std::uint16_t>(seen_ + (seen_ < window_ ? 1 : 0));
    }

private:
    static constexpr int clampedWindow(int window)
    {
        return window < 1 ? 1 : (window > kMaxAdaptiveWindow ? kMaxAdaptiveWindow : window);
    }
    std::uint32_t one_ = 0x80000000u;
    std::uint16_t seen_ = 0;
    std::uint16_t window_;
};

// Binary range coder with a 32-bit range, renormalised a byte at a time: a symbol costs one multiplication and,
// about once per byte of output, a shift. A 1 takes the lower part of the range, in proportion to its
// probability (in units of 2^-16, 1 ... 65535); a 0 the rest. The range stays at least 2^24, so both parts are
// never empty.
//
// The code may end after any symbol (ending): the bytes written so far, the byte held back for a carry and the
// 0xFF bytes after it, then the fewest bits that, followed by zeros, give a value inside the final range. A
// decoder that reads zeros past a code's end therefore decodes every symbol of it.
class BinaryRangeEncoder {
public:
    // Writes whole bytes to `bytes`, which it does not own. A copy writes to the same bytes: a loop that codes
    // many symbols works on a local copy, whose state the compiler may keep in registers, and assigns it back.
    explicit BinaryRangeEncoder(std::string& bytes) : bytes_(&bytes) {}

    [[gnu::always_inline]] void encode(std::uint32_t one, int bit)
    {
        const std::uint32_t bound = (range_ >> 16) * one;
        if (bit != 0) {
            range_ = bound;
        } else {
            low_ += bound;
            range_ -= bound;
        }
        while (range_ < kTop) {
            range_ <<= 8;
            shiftLow();
        }
    }

    // Where the code would end after the symbols coded so far: the bytes written by then, the held-back bytes
    // with the carry the end brings, and the last bits.
    struct Ending {
        std::int64_t bytes = 0;      // bytes written by then
        bool writesHeld = false;     // the held byte is written (not the phantom in front of the code)
        std::uint8_t held = 0;       // the held byte, carry added
        std::int64_t afterHeld = 0;  // the bytes after it, each 0xFF with the carry added
        std::uint8_t after = 0xFF;
        std::uint32_t tail = 0;      // the last bits, tailBits of them (0 ... 8)
        int tailBits = 0;
        std::int64_t bits() const { return (bytes + (writesHeld ? 1 : 0) + afterHeld) * 8 + tailBits; }
    };
    Ending ending() const;
    // The ending's bits after the first `ending.bytes` bytes of the code.
    static void writeEnding(BitOutput& output, const Ending& ending);

    // Bytes written so far: the code's bytes are these and then the ending's.
    std::int64_t bytesWritten() const { return static_cast<std::int64_t>(bytes_->size()); }

private:
    static constexpr std::uint32_t kTop = 1u << 24;

    [[gnu::always_inline]] void shiftLow()
    {
        // Bits 24 ... 31 of low move out; bit 32 is a carry into the bytes held back.
        if (static_cast<std::uint32_t>(low_) < 0xFF000000u || (low_ >> 32) != 0) {
            const auto carry = static_cast<std::uint8_t>(low_ >> 32);
            if (!phantom_)
                bytes_->push_back(static_cast<char>(static_cast<std::uint8_t>(held_ + carry)));
            for (std::int64_t k = 1; k < holding_; ++k)
                bytes_->push_back(static_cast<char>(static_cast<std::uint8_t>(0xFF + carry)));
            phantom_ = false;
            held_ = static_cast<std::uint8_t>(low_ >> 24);
            holding_ = 1;
        } else {
            // 0xFF: a later carry may still turn it to 0x00 and add 1 to the byte held.
            ++holding_;
        }
        low_ = (low_ & 0x00FFFFFFu) << 8;
    }

    std::string* bytes_;
    std::uint64_t low_ = 0;
    std::uint32_t range_ = 0xFFFFFFFFu;
    // The byte held back for a carry, and with the 0xFF bytes after it, how many. Until the first byte moves out
    // the held byte is a phantom 0 in front of the code, never written: the code lies inside [0, 1), so no carry
    // ever reaches it.
    std::uint8_t held_ = 0;
    std::int64_t holding_ = 1;
    bool phantom_ = true;
};

// Decodes a BinaryRangeEncoder's code from a byte buffer, reading zeros past its end.
class BinaryRangeDecoder {
public:
    BinaryRangeDecoder(const std::uint8_t* bytes, std::size_t length) : next_(bytes), end_(bytes + length)
    {
        for (int k = 0; k < 4; ++k)
            code_ = (code_ << 8) | nextByte();
    }

    [[gnu::always_inline]] int decode(std::uint32_t one)
    {
        const std::uint32_t bound = (range_ >> 16) * one;
        const bool isOne = code_ < bound;
        code_ = isOne ? code_ : code_ - bound;
        range_ = isOne ? bound : range_ - bound;
        while (range_ < kTop) {
            range_ <<= 8;
            code_ = (code_ << 8) | nextByte();
        }
        return isOne ? 1 : 0;
    }

    // False once the code has left the range, which no encoder's code does: the bytes were damaged.
    bool consistent() const { return code_ < range_; }

private:
    static constexpr std::uint32_t kTop = 1u << 24;

    [[gnu::always_inline]] std::uint32_t nextByte() { return next_ < end_ ? *next_++ : 0u; }

    const std::uint8_t* next_;
    const std::uint8_t* end_;
    std::uint32_t code_ = 0;
    std::uint32_t range_ = 0xFFFFFFFFu;
};

} // namespace nubo
