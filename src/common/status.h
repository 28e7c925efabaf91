#pragma once

#include "common/check.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace nubo {

// Whether an operation succeeded, and when it did not, a one-line reason a caller can show ("truncated stream:
// record 3 of 5", "not a 24-bit bitmap: 8 bits per pixel"). Every function of nubo that can meet bad input or a
// failing system call returns one (or a StatusOr), and the result must be looked at: the reason travels up to
// the user instead of being dropped on the way.
class [[nodiscard]] Status {
public:
    // Success.
    Status() = default;

    // A failure with its reason.
    static Status failure(std::string reason) { return Status(std::move(reason)); }

    // A failure because the request does not fit its input (a region reaching outside the picture, a region
    // number the stream lacks): the caller asked for something impossible, and a command-line front end reports
    // it as a usage error.
    static Status badArgument(std::string reason)
    {
        Status status(std::move(reason));
        status.badArgument_ = true;
        return status;
    }

    bool ok() const noexcept { return !failed_; }
    // As ok(), so that a status reads as a condition ("if (!readStreamHeader(...))").
    explicit operator bool() const noexcept { return ok(); }

    bool isBadArgument() const noexcept { return badArgument_; }

    // The one-line reason of a failure; empty on success.
    const std::string& reason() const noexcept { return reason_; }

    // The same failure with `context` and ": " in front of its reason ("header: zero width"); success stays
    // success.
    Status withContext(std::string_view context) const&
    {
        if (ok())
            return Status();
        Status status(std::string(context) + ": " + reason_);
        status.badArgument_ = badArgument_;
        return status;
    }

    // Drops the result on purpose, where a failure changes nothing (a best-effort clean-up).
    void ignore() const noexcept {}

private:
    explicit Status(std::string reason) : failed_(true), reason_(std::move(reason)) {}

    bool failed_ = false;
    bool badArgument_ = false;
    std::string reason_;
};

// A failure with the reason `reason`.
inline Status failure(std::string reason)
{
    return Status::failure(std::move(reason));
}

// Either a value, or the failure that prevented it.
template <class T>
class [[nodiscard]] StatusOr {
public:
    StatusOr(T value) : value_(std::move(value)) {}

    // Only a failure converts: a success must come with its value.
    StatusOr(Status status) : status_(std::move(status))
    {
        NUBO_CHECK(!status_.ok(), "a StatusOr made from a status needs a failure");
    }

    bool ok() const noexcept { return status_.ok(); }
    explicit operator bool() const noexcept { return ok(); }
    const Status& status() const& noexcept { return status_; }
    Status status() && { return std::move(status_); }
    const std::string& reason() const noexcept { return status_.reason(); }

    // The value; reading it from a failure is a programming error.
    T& value() &
    {
        NUBO_CHECK(ok(), "the value of a failed StatusOr was read");
        return *value_;
    }
    const T& value() const&
    {
        NUBO_CHECK(ok(), "the value of a failed StatusOr was read");
        return *value_;
    }
    T&& value() &&
    {
        NUBO_CHECK(ok(), "the value of a failed StatusOr was read");
        return std::move(*value_);
    }

    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

private:
    Status status_;
    std::optional<T> value_;
};

} // namespace nubo

// Returns the status of `expression` from the enclosing function when it is a failure.
#define NUBO_RETURN_IF_ERROR(expression)                                                                           \
    do {                                                                                                           \
        ::nubo::Status nubo_status_ = (expression);                                                                \
        if (!nubo_status_.ok())                                                                                    \
            return nubo_status_;                                                                                   \
    } while (false)
