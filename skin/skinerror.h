#pragma once

#include "platform/numberederror.h"

namespace kest {

// The run-time error the skinned controls raise to their host. A failing
// property assignment throws before anything changes. The numbers are the
// ones host code tests for; the text is for people.
class SkinError final : public NumberedError {
public:
    enum Number : int {
        Overflow = 6, // a number outside the property's range (16 or 32 bits)
        TypeMismatch = 13, // a text that is not a number, a value of the wrong kind
        InvalidPropertyValue = 380, // a number in range that the property does not take
    };

    SkinError(Number number, const QString& text)
        : NumberedError(number, text)
    { }

    Number number() const noexcept { return static_cast<Number>(code()); }
};

} // namespace kest
