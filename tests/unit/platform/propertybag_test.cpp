#include "platform/propertybag.h"

#include <gtest/gtest.h>

using kest::PropertyBag;

TEST(PropertyBag, KeysAreLowerCaseAndMatchWithoutCase)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("BackColor"), QStringLiteral("16777215"), QStringLiteral("0"));
    EXPECT_EQ(bag.keys(), QStringList { QStringLiteral("backcolor") });
    EXPECT_EQ(
        bag.ReadProperty(QStringLiteral("BACKCOLOR"), 0).toString(), QStringLiteral("16777215"));
    bag.WriteProperty(QStringLiteral("backCOLOR"), QStringLiteral("5"), QStringLiteral("0"));
    EXPECT_EQ(bag.count(), 1);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("backcolor")).toString(), QStringLiteral("5"));
}

TEST(PropertyBag, DefaultsAreNotStoredAndWritingOneRemovesTheEntry)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Caption"), QString(), QString());
    bag.WriteProperty(QStringLiteral("Enabled"), true, true);
    EXPECT_EQ(bag.count(), 0);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool(), true);

    bag.WriteProperty(QStringLiteral("Max"), 50, 100);
    EXPECT_TRUE(bag.contains(QStringLiteral("max")));
    bag.WriteProperty(QStringLiteral("Max"), QStringLiteral("100"), 100); // same value as text
    EXPECT_FALSE(bag.contains(QStringLiteral("max")));
}

TEST(PropertyBag, RecordsReadAndWriteOrders)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("B"), 1, 0);
    bag.WriteProperty(QStringLiteral("A"), 2, 0);
    bag.ReadProperty(QStringLiteral("a"), 0);
    bag.ReadProperty(QStringLiteral("Z"), 0);
    EXPECT_EQ(bag.writeOrder(), (QStringList { QStringLiteral("b"), QStringLiteral("a") }));
    EXPECT_EQ(bag.readOrder(), (QStringList { QStringLiteral("a"), QStringLiteral("z") }));
    EXPECT_EQ(bag.keys(), (QStringList { QStringLiteral("b"), QStringLiteral("a") }));
}

TEST(PropertyBag, ExtentIsStoredInHimetric)
{
    PropertyBag bag;
    bag.setExtent(QSize(72, 18));
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("_extentx")).toInt(), 1905);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("_extenty")).toInt(), 476);
    EXPECT_EQ(bag.extent(), QSize(72, 18));
    EXPECT_FALSE(PropertyBag().extent().isValid());
}

TEST(PropertyBag, TextFormRoundTripsAndSkipsJunk)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Caption"), QStringLiteral("登录\nline=2\\x"), QString());
    bag.WriteProperty(QStringLiteral("Value"), -1, 0);
    const PropertyBag back
        = PropertyBag::fromText(bag.toText() + QStringLiteral("\n=nokey\nnoequals\n"));
    EXPECT_EQ(back.keys(), bag.keys());
    PropertyBag copy = back;
    EXPECT_EQ(
        copy.ReadProperty(QStringLiteral("caption")).toString(), QStringLiteral("登录\nline=2\\x"));
    EXPECT_EQ(copy.ReadProperty(QStringLiteral("value")).toInt(), -1);
}
