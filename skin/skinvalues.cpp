#include "skin/skinvalues.h"

#include "skin/skinerror.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>
#include <cmath>
#include <limits>

namespace kest {

namespace {

[[noreturn]] void mismatch(const QString& what, const QString& shown)
{
    throw SkinError(SkinError::TypeMismatch,
        QStringLiteral("Type mismatch: %1 cannot be \"%2\"").arg(what, shown));
}

[[noreturn]] void overflow(const QString& what, const QString& shown)
{
    throw SkinError(
        SkinError::Overflow, QStringLiteral("Overflow: %1 cannot hold %2").arg(what, shown));
}

std::int32_t doubleToLong(double v, const QString& what)
{
    if (!std::isfinite(v))
        overflow(what, QString::number(v));
    const double r = std::nearbyint(v); // half to even in the default rounding mode
    if (r < std::numeric_limits<std::int32_t>::min()
        || r > std::numeric_limits<std::int32_t>::max())
        overflow(what, QString::number(v, 'g', 17));
    return static_cast<std::int32_t>(r);
}

} // namespace

std::int32_t textToLong(const QString& text, const QString& what)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        bool ok = false;
        const QStringView digits = QStringView(t).mid(2);
        const qulonglong v = digits.toULongLong(&ok, 16);
        if (!ok || digits.isEmpty() || digits.startsWith(u'-') || digits.startsWith(u'+'))
            mismatch(what, text);
        if (v > std::numeric_limits<std::uint32_t>::max())
            overflow(what, text);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    // Only plain decimal notation: no exponent, no thousands separators, no
    // "inf"/"nan", which QString::toDouble would otherwise let through.
    bool sawDigit = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128)
            sawDigit = true;
        else if (!((c == u'-' || c == u'+') && i == 0) && c != u'.')
            mismatch(what, text);
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!sawDigit || !ok)
        mismatch(what, text);
    return doubleToLong(v, what);
}

std::int32_t toLong(const QVariant& value, const QString& what)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return value.toInt();
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const bool isUnsigned = value.typeId() == QMetaType::UInt
            || value.typeId() == QMetaType::ULong || value.typeId() == QMetaType::ULongLong;
        if (isUnsigned) {
            if (value.toULongLong()
                > static_cast<qulonglong>(std::numeric_limits<std::int32_t>::max()))
                overflow(what, value.toString());
            return static_cast<std::int32_t>(value.toULongLong());
        }
        const qlonglong v = value.toLongLong();
        if (v < std::numeric_limits<std::int32_t>::min()
            || v > std::numeric_limits<std::int32_t>::max())
            overflow(what, value.toString());
        return static_cast<std::int32_t>(v);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return doubleToLong(value.toDouble(), what);
    case QMetaType::QString:
        return textToLong(value.toString(), what);
    default:
        mismatch(what,
            value.isValid() ? QString::fromLatin1(value.typeName()) : QStringLiteral("empty"));
    }
}

std::int16_t toInteger(const QVariant& value, const QString& what)
{
    const std::int32_t v = toLong(value, what);
    if (v < std::numeric_limits<std::int16_t>::min()
        || v > std::numeric_limits<std::int16_t>::max())
        overflow(what, QString::number(v));
    return static_cast<std::int16_t>(v);
}

bool toBoolean(const QVariant& value, const QString& what)
{
    if (value.typeId() == QMetaType::QString) {
        const QString t = value.toString().trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return toLong(value, what) != 0;
}

namespace {

constexpr OleColor kSystemColorFlag = 0x80000000u;

// The system colour indices of the forms' colour space, each given the nearest
// role of the application palette.
constexpr std::array<QPalette::ColorRole, 25> kSystemRoles = {
    QPalette::Button, // scroll bar
    QPalette::Dark, // desktop
    QPalette::Highlight, // active caption
    QPalette::Mid, // inactive caption
    QPalette::Window, // menu
    QPalette::Base, // window
    QPalette::Shadow, // window frame
    QPalette::WindowText, // menu text
    QPalette::Text, // window text
    QPalette::HighlightedText, // caption text
    QPalette::Window, // active border
    QPalette::Window, // inactive border
    QPalette::Mid, // application workspace
    QPalette::Highlight, // highlight
    QPalette::HighlightedText, // highlighted text
    QPalette::Button, // button face
    QPalette::Mid, // button shadow
    QPalette::Dark, // grey text
    QPalette::ButtonText, // button text
    QPalette::WindowText, // inactive caption text
    QPalette::Light, // button highlight
    QPalette::Shadow, // 3D dark shadow
    QPalette::Midlight, // 3D light
    QPalette::ToolTipText, // tooltip text
    QPalette::ToolTipBase, // tooltip background
};

} // namespace

bool isValidOleColor(OleColor color)
{
    if (color & kSystemColorFlag)
        return (color & ~kSystemColorFlag) < kSystemRoles.size();
    return color <= 0x00FFFFFFu;
}

QColor oleToColor(OleColor color, const QString& what)
{
    if (!isValidOleColor(color)) {
        throw SkinError(SkinError::InvalidPropertyValue,
            QStringLiteral("Invalid property value: %1 is no colour (%2)")
                .arg(what)
                .arg(static_cast<std::int32_t>(color)));
    }
    if (color & kSystemColorFlag)
        return QGuiApplication::palette().color(kSystemRoles[color & ~kSystemColorFlag]);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
        static_cast<int>((color >> 16) & 0xFF));
}

OleColor colorToOle(const QColor& color)
{
    const QRgb rgb = color.rgb();
    return static_cast<OleColor>(qRed(rgb)) | static_cast<OleColor>(qGreen(rgb)) << 8
        | static_cast<OleColor>(qBlue(rgb)) << 16;
}

} // namespace kest
