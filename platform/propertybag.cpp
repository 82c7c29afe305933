#include "platform/propertybag.h"

#include "platform/units.h"

namespace kest {

namespace {

QString normalKey(const QString& name)
{
    return name.toLower();
}

// Values compare as the user sees them: 5 and "5" are the same stored value.
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    if (a == b)
        return true;
    return a.toString() == b.toString() && !a.toString().isEmpty();
}

} // namespace

int PropertyBag::indexOf(const QString& key) const
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key)
            return static_cast<int>(i);
    }
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue)
{
    const QString key = normalKey(name);
    m_readOrder.append(key);
    const int i = indexOf(key);
    return i < 0 ? defaultValue : m_entries[static_cast<size_t>(i)].second;
}

void PropertyBag::WriteProperty(
    const QString& name, const QVariant& value, const QVariant& defaultValue)
{
    const QString key = normalKey(name);
    m_writeOrder.append(key);
    const int i = indexOf(key);
    if (defaultValue.isValid() && sameValue(value, defaultValue)) {
        if (i >= 0)
            m_entries.erase(m_entries.begin() + i);
        return;
    }
    if (i >= 0)
        m_entries[static_cast<size_t>(i)].second = value;
    else
        m_entries.emplace_back(key, value);
}

bool PropertyBag::contains(const QString& name) const
{
    return indexOf(normalKey(name)) >= 0;
}

QStringList PropertyBag::keys() const
{
    QStringList result;
    for (const auto& entry : m_entries)
        result.append(entry.first);
    return result;
}

void PropertyBag::setExtent(const QSize& pixels)
{
    WriteProperty(QStringLiteral("_extentx"), pixelsToHimetric(pixels.width()));
    WriteProperty(QStringLiteral("_extenty"), pixelsToHimetric(pixels.height()));
}

QSize PropertyBag::extent() const
{
    const int x = indexOf(QStringLiteral("_extentx"));
    const int y = indexOf(QStringLiteral("_extenty"));
    if (x < 0 || y < 0)
        return {};
    return QSize(himetricToPixels(m_entries[static_cast<size_t>(x)].second.toDouble()),
        himetricToPixels(m_entries[static_cast<size_t>(y)].second.toDouble()));
}

void PropertyBag::clearOrders()
{
    m_readOrder.clear();
    m_writeOrder.clear();
}

QString PropertyBag::toText() const
{
    QString text;
    for (const auto& [key, value] : m_entries) {
        QString v = value.toString();
        v.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"));
        text += key + QLatin1Char('=') + v + QLatin1Char('\n');
    }
    return text;
}

PropertyBag PropertyBag::fromText(const QString& text)
{
    PropertyBag bag;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue; // a line without a key carries nothing
        QString value;
        const QString raw = line.mid(eq + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size()) {
                ++i;
                value += raw[i] == QLatin1Char('n') ? QLatin1Char('\n') : raw[i];
            } else {
                value += raw[i];
            }
        }
        bag.WriteProperty(line.left(eq), value);
    }
    bag.clearOrders();
    return bag;
}

} // namespace kest
