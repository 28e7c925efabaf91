#include "roi/stream_fields.h"

#include <istream>
#include <ostream>

namespace nubo {

void writeField(std::ostream& out, std::int64_t value) { out << value << kFieldSeparator; }

bool readFieldUncheckedSeparator(std::istream& in, std::int64_t& value)
{
    long long number = 0;
    char separator = 0;
    if (!(in >> number) || !(in >> separator))
        return false;
    value = number;
    return true;
}

bool readField(std::istream& in, std::int64_t& value)
{
    long long number = 0;
    char separator = 0;
    if (!(in >> number) || !(in >> separator) || separator != kFieldSeparator)
        return false;
    value = number;
    return true;
}

std::int64_t remainingBytes(std::istream& in)
{
    if (!in.good())
        return -1;
    const std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1))
        return -1;
    in.seekg(0, std::ios::end);
    const std::istream::pos_type end = in.tellg();
    in.seekg(here);
    if (end == std::istream::pos_type(-1) || !in.good())
        return -1;
    return static_cast<std::int64_t>(end - here);
}

bool readBytes(std::istream& in, std::int64_t count, std::string& bytes)
{
    if (count < 0 || remainingBytes(in) < count)
        return false;
    bytes.resize(static_cast<std::size_t>(count));
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    return in.gcount() == static_cast<std::streamsize>(count);
}

bool skipBytes(std::istream& in, std::int64_t count)
{
    if (count < 0 || remainingBytes(in) < count)
        return false;
    in.seekg(static_cast<std::istream::off_type>(count), std::ios::cur);
    return in.good();
}

} // namespace nubo
