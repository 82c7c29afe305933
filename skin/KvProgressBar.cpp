#include "skin/KvProgressBar.h"

#include "platform/eventlog.h"
#include "platform/pictures.h"
#include "skin/accessibility.h"
#include "skin/skinvalues.h"

#include <QPainter>

namespace kest {

namespace {
constexpr int kSkinBitmap = 101;
}

KvProgressBar::KvProgressBar(QWidget* parent)
    : QWidget(parent)
{
    a11y::installSkinAccessibility();
    setFixedHeight(progress::kBarHeight);
    m_skin = LoadResSkinAt(kSkinBitmap, QStringLiteral("BITMAP"), devicePixelRatioF());
    if (m_skin.isNull())
        logEvent(QStringLiteral("KvProgressBar: skin bitmap %1 is missing; the bar is not drawn")
                     .arg(kSkinBitmap));
    DrawBar();
}

KvProgressBar::~KvProgressBar() = default;

void KvProgressBar::setMin(std::int32_t New_Min)
{
    if (m_range.setMin(New_Min)) {
        DrawBar();
        a11y::progressValueChanged(this);
    }
    emit propertyChanged(QStringLiteral("Min"));
}

void KvProgressBar::setMax(std::int32_t New_Max)
{
    if (m_range.setMax(New_Max)) {
        DrawBar();
        a11y::progressValueChanged(this);
    }
    emit propertyChanged(QStringLiteral("Max"));
}

void KvProgressBar::setValue(std::int32_t New_Value)
{
    if (m_range.setValue(New_Value)) {
        DrawBar();
        a11y::progressValueChanged(this);
    }
    emit propertyChanged(QStringLiteral("Value"));
}

void KvProgressBar::setSkin(const QImage& skin)
{
    m_skin = skin;
    DrawBar();
}

void KvProgressBar::DrawBar()
{
    m_surface = progress::renderBar(m_skin, width(), m_range, devicePixelRatioF());
    update();
}

void KvProgressBar::InitProperties()
{
    m_range.max = 100;
    DrawBar();
}

void KvProgressBar::ReadProperties(PropertyBag& bag)
{
    const QSize extent = bag.extent();
    const QVariant min = bag.ReadProperty(QStringLiteral("Min"), 0);
    const QVariant max = bag.ReadProperty(QStringLiteral("Max"), 100);
    const QVariant value = bag.ReadProperty(QStringLiteral("Value"), 0);
    progress::Range range;
    range.min = toLong(min, QStringLiteral("Min"));
    range.max = toLong(max, QStringLiteral("Max"));
    range.value = toLong(value, QStringLiteral("Value"));
    m_range = range;
    if (extent.isValid())
        resize(extent);
    DrawBar();
    a11y::progressValueChanged(this);
}

void KvProgressBar::WriteProperties(PropertyBag& bag)
{
    bag.setExtent(size());
    bag.WriteProperty(QStringLiteral("Min"), m_range.min, 0);
    bag.WriteProperty(QStringLiteral("Max"), m_range.max, 100);
    bag.WriteProperty(QStringLiteral("Value"), m_range.value, 0);
}

void KvProgressBar::paintEvent(QPaintEvent*)
{
    if (m_surface.devicePixelRatio() != devicePixelRatioF())
        DrawBar();
    QPainter painter(this);
    painter.drawImage(0, 0, m_surface);
}

void KvProgressBar::resizeEvent(QResizeEvent*)
{
    DrawBar();
}

} // namespace kest
