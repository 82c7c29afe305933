#pragma once

#include <QString>

#include <stdexcept>

namespace kest {

// A run-time error raised to host code: a number the host code tests for and
// a text for people. Each area names its numbers in a subclass of its own
// (SkinError, TabError), so a handler can catch one area or all of them.
class NumberedError : public std::runtime_error {
public:
    NumberedError(int number, const QString& text)
        : std::runtime_error(text.toStdString())
        , m_number(number)
    { }

    int code() const noexcept { return m_number; }

private:
    int m_number;
};

} // namespace kest
