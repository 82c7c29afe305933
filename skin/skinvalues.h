#pragma once

#include <QColor>
#include <QString>
#include <QVariant>

#include <cstdint>

namespace kest {

// Values as the controls' hosts and property bags hand them over: numbers that
// may arrive as text, 16-bit Booleans (True = -1) and colours in the 32-bit
// encoding the forms use (0x00BBGGRR, or 0x800000nn for system colour nn).
// Every conversion either gives a value or throws a SkinError: a text that is
// not a number is a type mismatch (13), a number outside the target's range an
// overflow (6). `what` names the property in the error text.

using OleColor = std::uint32_t;

// A number in text form: optional blanks and sign, decimal digits with an
// optional fraction (rounded half to even), or "&H" hexadecimal (its 32 bits
// taken as they are, so "&HFFFFFFFF" is -1).
std::int32_t textToLong(const QString& text, const QString& what);

std::int32_t toLong(const QVariant& value, const QString& what);
std::int16_t toInteger(const QVariant& value, const QString& what);
// Any non-zero number is True; so are the texts "True" and "-1".
bool toBoolean(const QVariant& value, const QString& what);

// How a Boolean is stored: True -1, False 0.
inline std::int16_t booleanValue(bool b)
{
    return b ? -1 : 0;
}

// Plain RGB colours and the 25 system colours are valid; anything else is not.
bool isValidOleColor(OleColor color);
// The colour to paint with; system colours come from the application palette.
// An invalid value throws InvalidPropertyValue (380).
QColor oleToColor(OleColor color, const QString& what);
OleColor colorToOle(const QColor& color);

} // namespace kest
