#pragma once

#include <QString>

#include <stdexcept>

namespace kest {

// The run-time error the skinned controls raise to their host. A failing
// property assignment throws before anything changes. The numbers are the
// ones host code tests for; the text is for people.
class SkinError final : public std::runtime_error {
public:
    enum Number : int {
        Overflow = 6, // a number outside the property's range (16 or 32 bits)
        TypeMismatch = 13, // a text that is not a number, a value of the wrong kind
        InvalidPropertyValue = 380, // a number in range that the property does not take
    };

    SkinError(Number number, const QString& text)
        : std::runtime_error(text.toStdString())
        , m_number(number)
    { }

    Number number() const noexcept { return m_number; }

private:
    Number m_number;
};

} // namespace kest
