// Text from web pages on its way to the event log: one line, no login token.
#include "platform/eventlog.h"
#include "platform/plaintext.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct AddressRow {
    const char* name;
    QString address;
    QString logged;
};

void PrintTo(const AddressRow& row, std::ostream* os)
{
    *os << row.name;
}

class AddressForLogTable : public ::testing::TestWithParam<AddressRow> { };

TEST_P(AddressForLogTable, LeavesOutWhatIdentifiesThePlayer)
{
    EXPECT_EQ(kest::addressForLog(GetParam().address), GetParam().logged);
}

const AddressRow kAddressRows[] = {
    { "plain", QStringLiteral("http://127.0.0.1:8080/game/alice"),
        QStringLiteral("http://127.0.0.1:8080/game/alice") },
    { "query", QStringLiteral("http://h/game?token=s3cret&user=alice"),
        QStringLiteral("http://h/game") },
    { "fragment", QStringLiteral("https://h/game#token=s3cret"), QStringLiteral("https://h/game") },
    { "fragmentThenQuery", QStringLiteral("https://h/g#a?token=s3cret"),
        QStringLiteral("https://h/g") },
    { "emptyQuery", QStringLiteral("http://h/g?"), QStringLiteral("http://h/g") },
    { "credentials", QStringLiteral("http://alice:pw@h:81/g?t=1"),
        QStringLiteral("http://h:81/g") },
    { "atInThePath", QStringLiteral("http://h/users/@alice"),
        QStringLiteral("http://h/users/@alice") },
    { "appLinkCarryingAnAddress",
        QStringLiteral("app://loadgame|http://bob:pw@h/g?token=s3cret|third"),
        QStringLiteral("app://loadgame|http://h/g") },
    { "noUrlAtAll", QStringLiteral("not an address?token=s3cret"),
        QStringLiteral("not an address") },
    { "lineEnds", QStringLiteral("http://h/g\r\nkest: forged line"),
        QStringLiteral("http://h/g  kest: forged line") },
    { "empty", QString(), QString() },
    { "veryLong", QStringLiteral("http://h/") + QString(5000, u'x'),
        QStringLiteral("http://h/") + QString(291, u'x') + QStringLiteral("...") },
};

INSTANTIATE_TEST_SUITE_P(Addresses, AddressForLogTable, ::testing::ValuesIn(kAddressRows),
    [](const ::testing::TestParamInfo<AddressRow>& info) { return std::string(info.param.name); });

TEST(PlainText, ControlCharactersAndLineSeparatorsBecomeSpaces)
{
    EXPECT_EQ(kest::singleLine(QStringLiteral("a\r\nb\tc") + QChar(0)
                  + QStringLiteral("d\u2028e\u2029f\u0085g")),
        QStringLiteral("a  b c d e f g"));
    EXPECT_EQ(kest::singleLine(QStringLiteral("<b>大厅</b>  x")), QStringLiteral("<b>大厅</b>  x"));
}

TEST(EventLog, EachEventIsOneLine)
{
    QTemporaryDir dir;
    const QString sink = dir.filePath(QStringLiteral("events.log"));
    qputenv("KEST_EVENT_LOG", QFile::encodeName(sink));
    kest::logEvent(QStringLiteral("title: first\nkest: forged\r\n"));
    qunsetenv("KEST_EVENT_LOG");
    QFile file(sink);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_EQ(written.count('\n'), 1) << written.toStdString();
    EXPECT_TRUE(written.endsWith("title: first kest: forged  \n")) << written.toStdString();
}

} // namespace
