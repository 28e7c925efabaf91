#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Helpers shared by the fuzz harnesses: taking control bytes off the front of an input.
namespace nubo::fuzz {

// A read position over the fuzzer's bytes. Taking past the end yields 0, so every input is usable.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t takeByte()
    {
        if (position_ >= size_)
            return 0;
        return data_[position_++];
    }

    const std::uint8_t* rest() const { return data_ + position_; }
    std::size_t restSize() const { return size_ - position_; }
    std::string restAsString() const { return {reinterpret_cast<const char*>(rest()), restSize()}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace nubo::fuzz
