#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

namespace kest {

// The container's store of a control's persisted properties. Keys are kept in
// lower case and matched without regard to case; a value equal to its default
// is not stored (a stored one is removed); the container adds the control's
// size as "_extentx" / "_extenty" in HIMETRIC. Entries keep the order in which
// they were first written, and every key read or written is recorded, so the
// orders in which controls save and restore themselves can be checked.
class PropertyBag final {
public:
    // The stored value of `name`, or `defaultValue` when none is stored.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = {});
    // Stores `value` under `name`, or removes the entry when it equals `defaultValue`.
    void WriteProperty(
        const QString& name, const QVariant& value, const QVariant& defaultValue = {});

    bool contains(const QString& name) const;
    QStringList keys() const; // stored keys, lower case, in first-write order
    int count() const { return static_cast<int>(m_entries.size()); }

    // Size of the control in pixels, written as "_extentx"/"_extenty" HIMETRIC.
    void setExtent(const QSize& pixels);
    // The size stored by setExtent, in pixels; an invalid size when none is stored.
    QSize extent() const;

    const QStringList& readOrder() const { return m_readOrder; }
    const QStringList& writeOrder() const { return m_writeOrder; }
    void clearOrders();

    // A text form, one "key=value" line per entry, for saving a bag in a file.
    QString toText() const;
    static PropertyBag fromText(const QString& text);

private:
    int indexOf(const QString& key) const;

    std::vector<std::pair<QString, QVariant>> m_entries;
    QStringList m_readOrder;
    QStringList m_writeOrder;
};

} // namespace kest
