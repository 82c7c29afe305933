// Text from web pages on its way to the event log and to tool tips: one line,
// no markup, no login token.
#include "platform/eventlog.h"
#include "platform/plaintext.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcTestCategory, "qt.test.category")

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

struct TitleRow {
    const char* name;
    QString title;
    QString shown; // one line, as the tab and the tool tip show it
};

void PrintTo(const TitleRow& row, std::ostream* os)
{
    *os << row.name;
}

class PageTitleTable : public ::testing::TestWithParam<TitleRow> { };

TEST_P(PageTitleTable, ShowsAsOneLineOfPlainText)
{
    const TitleRow& row = GetParam();
    EXPECT_EQ(kest::singleLine(row.title), row.shown);

    // What the tool tip shows is what its rich text reads as.
    const QString tip = kest::plainToolTip(row.title);
    EXPECT_TRUE(Qt::mightBeRichText(tip)) << tip.toStdString();
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), row.shown) << tip.toStdString();
}

const TitleRow kTitleRows[] = {
    { "plain", QStringLiteral("alice 大厅"), QStringLiteral("alice 大厅") },
    { "boldTag", QStringLiteral("<b>alice</b>"), QStringLiteral("<b>alice</b>") },
    { "image", QStringLiteral("<img src=\"http://h/x.png\">"),
        QStringLiteral("<img src=\"http://h/x.png\">") },
    { "entity", QStringLiteral("a &amp; b"), QStringLiteral("a &amp; b") },
    { "lineEnds", QStringLiteral("one\r\ntwo\nthree"), QStringLiteral("one  two three") },
    { "tabAndNul", QStringLiteral("a\tb") + QChar(0) + QStringLiteral("c"),
        QStringLiteral("a b c") },
    { "separators", QStringLiteral("a\u2028b\u2029c\u0085d"), QStringLiteral("a b c d") },
    { "keepsSpaces", QStringLiteral("a   b"), QStringLiteral("a   b") },
};

INSTANTIATE_TEST_SUITE_P(Titles, PageTitleTable, ::testing::ValuesIn(kTitleRows),
    [](const ::testing::TestParamInfo<TitleRow>& info) { return std::string(info.param.name); });

TEST(PlainText, AnEmptyTitleGivesNoToolTip)
{
    EXPECT_TRUE(kest::plainToolTip(QString()).isEmpty());
}

TEST(EventLog, EachEventIsOneLine)
{
    const kest::test::EventLog events;
    kest::logEvent(QStringLiteral("title: first\nkest: forged\r\n"));
    const QString written = events.text();
    EXPECT_EQ(written.count(QLatin1Char('\n')), 1) << written.toStdString();
    EXPECT_TRUE(written.endsWith(QLatin1String("title: first kest: forged  \n")))
        << written.toStdString();
}

// Under a systemd session standard error is the journal: each line goes
// there once, with its priority, and Qt's own messages come the same way.
TEST(EventLog, TheJournalGetsEachLineOnceWithItsLevel)
{
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("journal"));
    const int saved = ::dup(2);
    const int stream = ::open(QFile::encodeName(journal).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(stream, 0);
    ::dup2(stream, 2);
    struct stat info = {};
    ::fstat(2, &info);
    qputenv("JOURNAL_STREAM",
        QByteArray::number(qulonglong(info.st_dev)) + ':'
            + QByteArray::number(qulonglong(info.st_ino)));
    const QByteArray sink = qgetenv("KEST_EVENT_LOG");
    qunsetenv("KEST_EVENT_LOG");
    kest::routeQtMessagesToEventLog();
    kest::logInfo(QStringLiteral("routine"));
    kest::logEvent(QStringLiteral("worked around"));
    kest::logEvent(kest::EventLevel::Error, QStringLiteral("stopped"));
    qWarning("from Qt");
    qCCritical(lcTestCategory) << "critical";
    qInstallMessageHandler(nullptr);
    qunsetenv("JOURNAL_STREAM");
    if (!sink.isEmpty())
        qputenv("KEST_EVENT_LOG", sink);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(stream);
    QFile file(journal);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
        QStringLiteral("<6>kest: routine\n<4>kest: worked around\n<3>kest: stopped\n"
                       "<4>kest: from Qt\n<3>kest: qt.test.category: critical\n"));
}

} // namespace
