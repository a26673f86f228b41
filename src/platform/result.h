#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <variant>

namespace quillpost {

// What kind of system failure happened; handlers decide what the user sees from it.
enum class ErrorKind {
    NoWindow, // no top-level window has the title asked for
    FocusLost, // the target window does not hold the keyboard focus
    Notation, // keystroke text the notation cannot read
    Unmappable, // a character the keyboard cannot produce, even through a spare key
    Typing, // the display refused the synthetic keys
    File, // a file that cannot be opened or read
    Launch, // a program that cannot be started
    Registry, // a registry key or value that cannot be read
    Cancelled, // the user called the operation off
};

struct Error
{
    ErrorKind kind;
    std::string message; // for the user, complete in itself
    // Where the failure stopped, counted from 0 in the text handed in; npos when it does not apply.
    std::size_t position = std::string::npos;
};

struct Ok
{
};

// A value or the error that prevented it.
template <class T> class [[nodiscard]] Result
{
public:
    Result(T value) : v_(std::move(value)) { }
    Result(Error error) : v_(std::move(error)) { }

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T &value() & { return std::get<0>(v_); }
    const T &value() const & { return std::get<0>(v_); }
    T &&value() && { return std::get<0>(std::move(v_)); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    const Error &error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// Success without a value. (Not called Status: Xlib defines that as a macro.)
using Outcome = Result<Ok>;

} // namespace quillpost
