#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nubo {

// Bits packed into bytes most significant bit first, appended to a byte string.
class BitOutput {
public:
    explicit BitOutput(std::string& bytes) : bytes_(bytes) {}

    // Defined here: the arithmetic coder emits every bit through it.
    void putBit(int bit)
    {
        acc_ = (acc_ << 1) | static_cast<std::uint32_t>(bit & 1);
        if (++bitCount_ == 8) {
            bytes_.push_back(static_cast<char>(acc_));
            acc_ = 0;
            bitCount_ = 0;
        }
    }
    // The low `count` bits of `bits` (0 <= count <= 24), most significant first: as many putBit calls, each byte
    // appended as soon as it is whole.
    void putBits(std::uint32_t bits, int count)
    {
        acc_ = (acc_ << count) | (bits & ((std::uint32_t{1} << count) - 1));
        bitCount_ += count;
        while (bitCount_ >= 8) {
            bitCount_ -= 8;
            bytes_.push_back(static_cast<char>(acc_ >> bitCount_));
        }
        acc_ &= (std::uint32_t{1} << bitCount_) - 1;
    }
    // `count` copies of one bit (count >= 0).
    void putRepeated(int bit, std::int64_t count)
    {
        const std::uint32_t pattern = bit != 0 ? 0xFFFFu : 0u;
        for (; count > 16; count -= 16)
            putBits(pattern, 16);
        putBits(pattern, static_cast<int>(count));
    }
    // Completes the current byte with 0 bits.
    void padToByte();
    // Bits written so far, the unfinished byte's included.
    std::int64_t bitCount() const { return static_cast<std::int64_t>(bytes_.size()) * 8 + bitCount_; }
    // The first `count` bytes of `source` (at most all), as putBits of each would append them.
    void putBytes(const std::string& source, std::int64_t count);
    // The first `count` bits (at most its bitCount()) that `source` wrote, as that many putBit calls would
    // append them.
    void putBitsOf(const BitOutput& source, std::int64_t count);

private:
    std::string& bytes_;
    std::uint32_t acc_ = 0; // the bits of the unfinished byte, bitCount_ of them
    int bitCount_ = 0;      // bits already in acc_, 0..7
};

// Reads bits most significant first from a byte buffer it does not own. Past the end every bit is 0; reading
// never touches memory outside the buffer. A reader that meets an impossible code marks the input failed
// (sticky), so callers can tell a damaged stream from a good one.
class BitInput {
public:
    BitInput(const std::uint8_t* bytes, std::size_t length) : bytes_(bytes), length_(length) {}

    // Defined here: the arithmetic decoder takes every bit through it.
    int getBit()
    {
        if (bitCount_ == 0)
            loadNextByte();
        const int bit = acc_ >> 7;
        acc_ = static_cast<std::uint8_t>(acc_ << 1);
        --bitCount_;
        return bit;
    }
    // The next `count` bits (0 <= count <= 31), the first one most significant: as many getBit calls, a byte at
    // a time.
    std::uint32_t getBits(int count)
    {
        std::uint32_t bits = 0;
        while (count > 0) {
            if (bitCount_ == 0)
                loadNextByte();
            const int taken = count < bitCount_ ? count : bitCount_;
            bits = (bits << taken) | static_cast<std::uint32_t>(acc_ >> (8 - taken));
            acc_ = static_cast<std::uint8_t>(acc_ << taken);
            bitCount_ -= taken;
            count -= taken;
        }
        return bits;
    }

    // Moves over `count` bits (count >= 0) as that many getBit calls would, in time independent of count.
    void skipBits(std::int64_t count);
    // True once a bit beyond the last byte has been read.
    bool pastEnd() const { return pastEnd_; }
    // Bits read so far, the 0 bits past the end included.
    std::int64_t bitsRead() const
    {
        return static_cast<std::int64_t>(position_ + zeroBytes_) * 8 - bitCount_;
    }

    bool failed() const { return !failure_.empty(); }
    const std::string& failure() const { return failure_; }
    // Keeps the first reason only.
    void fail(const std::string& reason)
    {
        if (failure_.empty())
            failure_ = reason;
    }
    // The same, out of line: a decoder's per-symbol checks then cost no string building in its loop.
    [[gnu::cold, gnu::noinline]] void fail(const char* reason);

private:
    void loadNextByte()
    {
        bitCount_ = 8;
        // At the end acc_ keeps its fully shifted value, 0, so every further bit is 0.
        if (position_ < length_) {
            acc_ = bytes_[position_++];
        } else {
            pastEnd_ = true;
            ++zeroBytes_;
        }
    }

    const std::uint8_t* bytes_;
    std::size_t length_;
    std::size_t position_ = 0;
    std::size_t zeroBytes_ = 0; // bytes of 0 bits read past the end
    std::uint8_t acc_ = 0;
    int bitCount_ = 0; // bits of acc_ not yet read, 0..8
    bool pastEnd_ = false;
    std::string failure_;
};

} // namespace nubo
