// The link topic on a real session bus: what another program gets back for
// each kind of text it sends, and what reaches the window.
#include "launcher/shared/LinkTopic.h"
#include "tests/support/testenv.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using kest::LinkTopic;
using kest::test::EventLog;

constexpr int kWaitMs = 20000;

// Execute called as another program would: its own connection to the bus.
QDBusMessage execute(const QString& command)
{
    QDBusConnection client
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(LinkTopic::kServiceName),
        QString::fromLatin1(LinkTopic::kObjectPath), QString::fromLatin1(LinkTopic::kInterfaceName),
        QStringLiteral("Execute"));
    call << command;
    QDBusPendingCallWatcher watcher(client.asyncCall(call, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, kWaitMs));
    return watcher.reply();
}

struct Row {
    const char* name;
    QString command;
    const char* error; // nullptr: a plain reply
    bool reachesWindow;
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class LinkTopicTest : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs with-x11's session bus";
        // The window's part: an address it cannot make a page for fails.
        m_topic = std::make_unique<LinkTopic>([this](const QString& address) {
            m_opened << address;
            return !address.contains(QLatin1String("unopenable"));
        });
        ASSERT_TRUE(m_topic->isOffered());
    }
    void TearDown() override { m_topic.reset(); }

    EventLog m_events;
    QStringList m_opened;
    std::unique_ptr<LinkTopic> m_topic;
};

TEST_P(LinkTopicTest, AnswersEveryText)
{
    const Row& row = GetParam();
    const QDBusMessage reply = execute(row.command);
    if (!row.error) {
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    } else {
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), QString::fromLatin1(row.error));
        EXPECT_FALSE(reply.errorMessage().isEmpty());
        // Said in the event log, without what the query carried.
        const QString log = m_events.text();
        EXPECT_TRUE(log.contains(QLatin1String("PlenwickDDE: Execute"))) << log.toStdString();
        EXPECT_FALSE(log.contains(QLatin1String("s3cret"))) << log.toStdString();
    }
    EXPECT_EQ(m_opened, row.reachesWindow ? QStringList { row.command } : QStringList {});
}

const Row kRows[] = {
    { "gameAddress", QStringLiteral("http://127.0.0.1:18080/game/alice"), nullptr, true },
    { "httpsWithToken", QStringLiteral("https://127.0.0.1/game?token=s3cret"), nullptr, true },
    { "file", QStringLiteral("file:///etc/passwd?token=s3cret"), LinkTopic::kRefusedError, false },
    { "script", QStringLiteral("javascript:alert(1)"), LinkTopic::kRefusedError, false },
    { "unknownScheme", QStringLiteral("kest-unknown://x?s3cret"), LinkTopic::kRefusedError, false },
    { "appLink", QStringLiteral("app://exitgame"), LinkTopic::kRefusedError, false },
    { "empty", QString(), LinkTopic::kRefusedError, false },
    { "noHost", QStringLiteral("http:///etc/passwd"), LinkTopic::kRefusedError, false },
    { "lineEnd", QStringLiteral("http://h/g\nkest: forged"), LinkTopic::kRefusedError, false },
    { "tooLong", QStringLiteral("http://h/?s3cret=") + QString(100000, u'x'),
        LinkTopic::kRefusedError, false },
    { "notOpened", QStringLiteral("http://unopenable/g?s3cret"), LinkTopic::kNotOpenedError, true },
};

INSTANTIATE_TEST_SUITE_P(Commands, LinkTopicTest, ::testing::ValuesIn(kRows),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

} // namespace
