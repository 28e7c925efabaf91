#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace nubo {

// The text fields of a .roi stream: a number in decimal (no padding, a minus sign only when negative) followed by
// the separator ";". Code bytes follow their text header as raw bytes.

inline constexpr char kFieldSeparator = ';';

void writeField(std::ostream& out, std::int64_t value);

// Reads a number by the stream's ordinary integer extraction (leading white space skipped), then one character
// with white space skipped, which must be ";". Returns false when the number or the separator is missing.
bool readField(std::istream& in, std::int64_t& value);

// Reads a number as readField does, then any one character (white space skipped) without checking it.
bool readFieldUncheckedSeparator(std::istream& in, std::int64_t& value);

// Bytes left between the read position and the end of the stream, without moving the read position; -1 when
// the stream cannot tell (a failed stream).
std::int64_t remainingBytes(std::istream& in);

// Reads exactly `count` bytes into bytes (replacing its content). Fails, with nothing allocated, when fewer than
// `count` bytes remain.
bool readBytes(std::istream& in, std::int64_t count, std::string& bytes);

// Moves the read position `count` bytes forward. Fails without moving when fewer than `count` bytes remain.
bool skipBytes(std::istream& in, std::int64_t count);

} // namespace nubo
