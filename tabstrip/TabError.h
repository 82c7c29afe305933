#pragma once

#include "platform/numberederror.h"

namespace kest {

// The error the tab list raises to its caller. The numbers are part of the
// contract with host code (5 and 9 are fixed); the texts are for people.
class TabError final : public NumberedError {
public:
    enum Number : int {
        InvalidArgument = 5, // an index that is neither a number nor absent
        SubscriptOutOfRange = 9, // an insert position outside 0..Count
        DuplicateKey = 457, // the key is already used by another tab (keys ignore case)
        KeyNotFound = 35601, // no tab has that key
    };

    TabError(Number number, const QString& text)
        : NumberedError(number, text)
    { }

    Number number() const noexcept { return static_cast<Number>(code()); }
};

} // namespace kest
