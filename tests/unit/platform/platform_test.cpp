#include "platform/connection.h"
#include "platform/deploy.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/messages.h"
#include "platform/resources.h"
#include "platform/tempdir.h"
#include "platform/units.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using kest::test::EventLog;
using kest::test::modeOf;
using kest::test::ScopedEnvironment;

TEST(TempDir, CreatesAPrivateFolderEndingInOneSeparator)
{
    QTemporaryDir base;
    const ScopedEnvironment env(
        { { "XDG_RUNTIME_DIR", (base.path() + QStringLiteral("//")).toUtf8() } });
    const QString dir = kest::GetTempDir();
    EXPECT_EQ(dir, base.path() + QStringLiteral("/kest/"));
    EXPECT_FALSE(dir.endsWith(QStringLiteral("//")));
    EXPECT_EQ(modeOf(dir), 0700u);
    // Asking again gives the same folder.
    EXPECT_EQ(kest::GetTempDir(), dir);
}

TEST(TempDir, FallsBackToTmpdirWithTheUserId)
{
    QTemporaryDir base;
    const ScopedEnvironment env({ { "XDG_RUNTIME_DIR", {} }, { "TMPDIR", base.path().toUtf8() } });
    EXPECT_EQ(kest::GetTempDir(), base.path() + QStringLiteral("/kest-%1/").arg(::geteuid()));
}

TEST(TempDir, TightensAFolderOthersCouldRead)
{
    QTemporaryDir base;
    const QString dir = base.path() + QStringLiteral("/kest");
    ASSERT_EQ(::mkdir(QFile::encodeName(dir).constData(), 0777), 0);
    ::chmod(QFile::encodeName(dir).constData(), 0777);
    const ScopedEnvironment env({ { "XDG_RUNTIME_DIR", base.path().toUtf8() } });
    EXPECT_EQ(kest::GetTempDir(), dir + QLatin1Char('/'));
    EXPECT_EQ(modeOf(dir), 0700u);
}

TEST(TempDir, RefusesALinkAndAFileAndSaysWhy)
{
    QTemporaryDir base;
    QTemporaryDir elsewhere;
    const EventLog events;
    const ScopedEnvironment env({ { "XDG_RUNTIME_DIR", base.path().toUtf8() } });

    ASSERT_TRUE(QFile::link(elsewhere.path(), base.path() + QStringLiteral("/kest")));
    EXPECT_TRUE(kest::GetTempDir().isEmpty());

    QFile::remove(base.path() + QStringLiteral("/kest"));
    QFile plain(base.path() + QStringLiteral("/kest"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_TRUE(kest::GetTempDir().isEmpty());

    const QString text = events.text();
    EXPECT_EQ(text.count(QStringLiteral("GetTempDir: refused")), 2) << text.toStdString();
}

TEST(TempDir, RefusesAFolderOwnedBySomeoneElse)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    QTemporaryDir base;
    const QString dir = base.path() + QStringLiteral("/kest");
    ASSERT_EQ(::mkdir(QFile::encodeName(dir).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(dir).constData(), 65534, 65534), 0);
    const ScopedEnvironment env({ { "XDG_RUNTIME_DIR", base.path().toUtf8() } });
    EXPECT_TRUE(kest::GetTempDir().isEmpty());
}

// A runtime folder that is not the player's own (sudo -E, a session set up wrongly) is
// passed over for the per-user folder under TMPDIR, with the reason in the event log.
TEST(TempDir, ARuntimeFolderNotThePlayersOwnIsPassedOver)
{
    struct Case {
        const char* what;
        mode_t mode; // 0: no folder but a plain file
        uid_t owner;
        const char* logged;
    };
    const Case cases[] = {
        { "mode 0777", 0777, ::geteuid(), "mode 0777, not 0700" },
        { "mode 0750", 0750, ::geteuid(), "mode 0750, not 0700" },
        { "another user's", 0700, 65534, "owned by user 65534" },
        { "a file", 0, ::geteuid(), "not a folder" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.owner != ::geteuid() && ::geteuid() != 0) {
            std::printf("skipped \"%s\": needs root to give a folder to another user\n", c.what);
            continue;
        }
        QTemporaryDir scratch;
        const QString runtime = scratch.path() + QStringLiteral("/runtime");
        const QByteArray native = QFile::encodeName(runtime);
        if (c.mode == 0) {
            QFile file(runtime);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        } else {
            ASSERT_EQ(::mkdir(native.constData(), 0700), 0);
            ASSERT_EQ(::chmod(native.constData(), c.mode), 0);
            ASSERT_EQ(::chown(native.constData(), c.owner, c.owner), 0);
        }
        const EventLog events;
        const ScopedEnvironment env(
            { { "XDG_RUNTIME_DIR", native }, { "TMPDIR", QFile::encodeName(scratch.path()) } });

        EXPECT_EQ(
            kest::GetTempDir(), scratch.path() + QStringLiteral("/kest-%1/").arg(::geteuid()));
        EXPECT_FALSE(QFile::exists(runtime + QStringLiteral("/kest")));
        const QString text = events.text();
        EXPECT_TRUE(text.contains(
            QStringLiteral("XDG_RUNTIME_DIR %1 not used: ").arg(runtime) + QLatin1String(c.logged)))
            << text.toStdString();
    }
}

TEST(Resources, MissingResourceIsAnErrorAndTouchesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/out.bin");
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::WriteOnly));
    before.write("keep me");
    before.close();
    EXPECT_FALSE(kest::LoadResData(4242, QStringLiteral("NOPE")).has_value());
    EXPECT_FALSE(kest::SaveResToFile(4242, QStringLiteral("NOPE"), path));
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), QByteArray("keep me"));
}

TEST(Resources, PathsAreByTypeAndId)
{
    EXPECT_EQ(kest::resourcePath(102, QStringLiteral("png")), QStringLiteral(":/res/PNG/102"));
    EXPECT_EQ(
        kest::resourcePath(101, QStringLiteral("UPDATE")), QStringLiteral(":/res/UPDATE/101"));
}

TEST(Units, ConvertEachWayWithHalfToEven)
{
    EXPECT_EQ(kest::twipsToPixelsTruncated(500), 33);
    EXPECT_EQ(kest::pixelsToTwips(24), 360);
    // 72 pixels is 1905.0019 HIMETRIC; back again it is 72.
    EXPECT_EQ(kest::pixelsToHimetric(72), 1905);
    EXPECT_EQ(kest::himetricToPixels(1905), 72);
    EXPECT_EQ(kest::roundHalfEven(2.5), 2);
    EXPECT_EQ(kest::roundHalfEven(3.5), 4);
    EXPECT_EQ(kest::roundHalfEven(-0.5), 0);
}

TEST(Messages, QtEventsMapToTheirWindowMessages)
{
    const QPointF at(3, 4);
    QMouseEvent leftDown(
        QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent rightUp(
        QEvent::MouseButtonRelease, at, at, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QEvent leave(QEvent::Leave);
    QEvent close(QEvent::Close);
    QEvent other(QEvent::ToolTip);
    EXPECT_EQ(kest::windowMessageFor(leftDown), 513u);
    EXPECT_EQ(kest::windowMessageFor(rightUp), 517u);
    EXPECT_EQ(kest::windowMessageFor(move), 512u);
    EXPECT_EQ(kest::windowMessageFor(leave), 0x2A3u);
    EXPECT_EQ(kest::windowMessageFor(close), 274u);
    EXPECT_EQ(kest::windowMessageFor(other), 0u);
}

TEST(Deploy, EnvironmentOverridesTheBuiltInHosts)
{
    const ScopedEnvironment env(
        { { "KEST_LOGIN_HOST", "127.0.0.1:9" }, { "KEST_STATIC_HOST", "  " } });
    EXPECT_EQ(kest::loginHost(), QStringLiteral("127.0.0.1:9"));
    EXPECT_FALSE(kest::staticHost().trimmed().isEmpty()); // blank means the built-in host
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                    .match(kest::programVersion())
                    .hasMatch());
}

TEST(Connection, ForcedInterfaceRuleAnswersFromInterfaces)
{
    const ScopedEnvironment env({ { "KEST_CONNECTION_RULE", QByteArray("interfaces") } });
    EXPECT_EQ(kest::InternetGetConnectedState(), kest::anyNonLoopbackInterfaceUp());
}

TEST(LoadedForms, QuitsOnlyWhenTheLastFormUnloads)
{
    auto& forms = kest::LoadedForms::instance();
    QObject main, login;
    QSignalSpy none(&forms, &kest::LoadedForms::noFormLeft);
    forms.formLoaded(&main);
    forms.formLoaded(&login);
    forms.formLoaded(&login); // loading twice counts once
    EXPECT_EQ(forms.count(), 2);
    forms.formUnloaded(&login);
    EXPECT_EQ(none.count(), 0);
    EXPECT_TRUE(forms.isLoaded(&main));
    forms.formUnloaded(&main);
    EXPECT_EQ(none.count(), 1);
    EXPECT_EQ(forms.count(), 0);
}

TEST(LoadedForms, AFormLoadedRightAfterTheLastUnloadKeepsTheProgramRunning)
{
    // The login windows unload and the main window loads in the same turn of
    // the event loop: the queued quit must see the new form and stay its hand.
    auto& forms = kest::LoadedForms::instance();
    QObject login, main;
    forms.formLoaded(&login);
    forms.formUnloaded(&login);
    forms.formLoaded(&main);
    QTimer::singleShot(100, qApp, [] { QCoreApplication::exit(42); });
    EXPECT_EQ(QCoreApplication::exec(), 42);
    forms.formUnloaded(&main);
    QTimer::singleShot(100, qApp, [] { QCoreApplication::exit(42); });
    EXPECT_EQ(QCoreApplication::exec(), 0); // now nothing is loaded: it quits
}
