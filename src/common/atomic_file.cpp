#include "common/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nubo {

namespace {

// The failure of a system call: what it was doing, and the system's words for errno.
Status systemFailure(const std::string& what)
{
    return failure(what + ": " + std::strerror(errno));
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes all of bytes to fd, or returns false with errno saying why.
bool writeAll(int fd, std::string_view bytes)
{
    const char* cursor = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, cursor, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        cursor += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

Status writeFileAtomically(const std::string& path, std::string_view bytes)
{
    return writeFileAtomically(path, std::span<const std::string_view>(&bytes, 1));
}

Status writeFileAtomically(const std::string& path, std::span<const std::string_view> pieces)
{
    std::string temporary = folderOf(path) + "/.nubo-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return systemFailure("cannot create a temporary file beside " + path);

    for (const std::string_view piece : pieces) {
        if (!writeAll(fd, piece)) {
            const int saved = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = saved;
            return systemFailure("cannot write " + path);
        }
    }
    // mkstemp makes the file private: keep the mode of the file being replaced, or give a new one rw-r--r--.
    struct stat existing {};
    ::fchmod(fd, ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return systemFailure("cannot write " + path);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return systemFailure("cannot replace " + path);
    }
    return {};
}

StatusOr<std::string> readWholeFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return systemFailure("cannot open " + path);
    std::string bytes;
    // A regular file is read in one call into a string of its size, so it is never copied as the string grows;
    // whatever the size said, the loop below reads to the end (a pipe, or a file that grows meanwhile).
    struct stat status {};
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        try {
            bytes.resize(static_cast<std::size_t>(status.st_size));
        } catch (const std::exception&) {
            std::fclose(file);
            return failure("cannot read " + path + ": it does not fit in memory");
        }
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
        return systemFailure("cannot read " + path);
    return bytes;
}

} // namespace nubo
