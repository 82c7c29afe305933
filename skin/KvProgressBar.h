#pragma once

#include "platform/propertybag.h"
#include "skin/progresslogic.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace kest {

// The updater's horizontal progress bar, 10 pixels high, drawn from a 10 x 10
// skin (the updater's bitmap 101) with the end caps kept and the middle
// stretched. It holds an integer range and position and redraws on every
// accepted change; refused values are ignored without error.
class KvProgressBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KvProgressBar)
    Q_PROPERTY(std::int32_t Min READ Min WRITE setMin)
    Q_PROPERTY(std::int32_t Max READ Max WRITE setMax)
    Q_PROPERTY(std::int32_t Value READ Value WRITE setValue)
    Q_CLASSINFO("Min", "返回/设置进度条的最小值。")
    Q_CLASSINFO("Max", "返回/设置进度条的最大值。")
    Q_CLASSINFO("Value", "返回/设置进度条的当前值。")

public:
    explicit KvProgressBar(QWidget* parent = nullptr);
    ~KvProgressBar() override;

    // Takes 0 <= New_Min < Max; pulls Value up to it.
    std::int32_t Min() const { return m_range.min; }
    void setMin(std::int32_t New_Min);
    // Takes Min < New_Max; pulls Value down to it.
    std::int32_t Max() const { return m_range.max; }
    void setMax(std::int32_t New_Max);
    // Takes Min <= New_Value <= Max.
    std::int32_t Value() const { return m_range.value; }
    void setValue(std::int32_t New_Value);

    void DrawBar();

    void InitProperties();
    // Takes the stored numbers as they are (an edited bag may hold a range
    // the setters would refuse). Throws SkinError for a value that is no
    // 32-bit number; nothing changes then.
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag);

    // The skin, bitmap 101 of the updater unless a host or test gives another.
    void setSkin(const QImage& skin);
    QImage skin() const { return m_skin; }
    // The bar's kept drawing.
    QImage surface() const { return m_surface; }

signals:
    // The container is told that a persisted property changed; every
    // assignment tells it, whether the value was taken or not.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    progress::Range m_range;
    QImage m_skin;
    QImage m_surface;
};

} // namespace kest
