// The progress bar: which skin column lands where for a given position, the
// setters' acceptance, its fixed height and its persisted properties.
#include "skin/KvProgressBar.h"
#include "skin/skinerror.h"
#include "skin_fixtures.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kest;
using namespace skintest;

namespace {

// A shown bar 100 pixels wide on the drawn skin.
struct Bar100 {
    std::unique_ptr<QWidget> host;
    KvProgressBar* bar;
    KvProgressBar* operator->() const { return bar; }
    KvProgressBar& operator*() const { return *bar; }
    KvProgressBar* get() const { return bar; }
};

Bar100 bar100()
{
    auto host = std::make_unique<QWidget>();
    auto* bar = new KvProgressBar(host.get());
    bar->setSkin(progressSkin());
    bar->resize(100, 10);
    host->resize(300, 40);
    host->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    return { std::move(host), bar };
}

int columnAt(const KvProgressBar& bar, int x)
{
    const QRgb p = bar.surface().pixel(x, 5);
    for (int c = 0; c < 10; ++c) {
        if (p == progressSkinColumn(c))
            return c;
    }
    return -1;
}

} // namespace

TEST(KvProgressBar, HalfWayFillsUpToColumn50)
{
    const auto bar = bar100();
    bar->setValue(50); // F = 98 / 100 * 50 + 1 = 50
    EXPECT_EQ(columnAt(*bar, 0), 0);
    EXPECT_EQ(columnAt(*bar, 2), 2);
    EXPECT_EQ(columnAt(*bar, 3), 3);
    EXPECT_EQ(columnAt(*bar, 40), 3);
    EXPECT_NE(columnAt(*bar, 49), 8);
    EXPECT_EQ(columnAt(*bar, 50), 8); // the empty track covers 50..98
    EXPECT_EQ(columnAt(*bar, 98), 9);
    EXPECT_EQ(columnAt(*bar, 99), 7); // the right cap's last column stays

    bar->setValue(0); // at Min only the outer columns show the filled style
    EXPECT_EQ(columnAt(*bar, 0), 0);
    EXPECT_EQ(columnAt(*bar, 1), 8);
    EXPECT_EQ(columnAt(*bar, 99), 7);

    bar->setValue(100); // at Max the track is not drawn at all
    EXPECT_EQ(columnAt(*bar, 97), 5);
    EXPECT_EQ(columnAt(*bar, 98), 6);
    EXPECT_EQ(columnAt(*bar, 60), 4);
}

TEST(KvProgressBar, SettersIgnoreValuesOutOfRangeButReportEveryAssignment)
{
    const auto bar = bar100();
    bar->setValue(30);
    const QImage at30 = bar->surface();
    QSignalSpy changed(bar.get(), &KvProgressBar::propertyChanged);
    bar->setValue(101);
    bar->setValue(-1);
    bar->setMin(-5);
    EXPECT_EQ(bar->Value(), 30);
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->surface(), at30);
    EXPECT_EQ(changed.count(), 3);

    bar->setMax(20); // a smaller file after a bigger one: the bar shows full
    EXPECT_EQ(bar->Value(), 20);
    EXPECT_EQ(columnAt(*bar, 98), 6);
}

TEST(KvProgressBar, HeightSnapsBackToTenPixels)
{
    const auto bar = bar100();
    bar->resize(100, 40);
    EXPECT_EQ(bar->height(), 10);
    bar->resize(273, 3);
    EXPECT_EQ(bar->size(), QSize(273, 10));
    EXPECT_EQ(bar->surface().size(), QSize(273, 10));
}

TEST(KvProgressBar, PropertyBagDefaultsOrderAndAnEmptyRange)
{
    const auto bar = bar100();
    PropertyBag bag;
    bar->WriteProperties(bag);
    EXPECT_EQ(bag.writeOrder(),
        (QStringList { QStringLiteral("_extentx"), QStringLiteral("_extenty"),
            QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("value") }));
    EXPECT_EQ(bag.count(), 2); // the extent only

    bar->setMax(500);
    bar->setValue(250);
    bar->WriteProperties(bag);
    KvProgressBar copy;
    copy.ReadProperties(bag);
    EXPECT_EQ(bag.readOrder(),
        (QStringList { QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("value") }));
    EXPECT_EQ(copy.Max(), 500);
    EXPECT_EQ(copy.Value(), 250);
    EXPECT_EQ(copy.width(), 100);

    // Max equal to Min, only possible from an edited bag: the empty track.
    PropertyBag edited = PropertyBag::fromText(QStringLiteral("MIN=7\nMAX=7\nVALUE=7\n"));
    copy.setSkin(progressSkin());
    copy.ReadProperties(edited);
    EXPECT_EQ(copy.Max(), 7);
    EXPECT_EQ(columnAt(copy, 0), 0);
    EXPECT_EQ(columnAt(copy, 1), 8);
    EXPECT_EQ(columnAt(copy, 98), 9);

    edited.WriteProperty(QStringLiteral("Value"), QStringLiteral("half"));
    EXPECT_EQ(skinErrorOf([&] { copy.ReadProperties(edited); }), SkinError::TypeMismatch);
    EXPECT_EQ(copy.Value(), 7);
}

TEST(KvProgressBar, ScreenReadersReadTheValueAndItsRange)
{
    const auto bar = bar100();
    bar->setValue(30);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar.get());
    ASSERT_TRUE(iface);
    EXPECT_EQ(iface->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->currentValue().toInt(), 30);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("30%"));
    value->setCurrentValue(80); // only the program moves the bar
    EXPECT_EQ(bar->Value(), 30);
}
