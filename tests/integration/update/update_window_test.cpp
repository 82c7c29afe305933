// The updater's window around real downloads from the demo platform, on Qt's
// offscreen platform: what it shows while it works, the close button's
// question, and the one message it ends with.
#include "tests/integration/update/update_fixture.h"

#include "skin/KvProgressBar.h"
#include "skin/captionbar.h"
#include "skin/iButton.h"
#include "updater/CKvDownLoadFile.h"
#include "updater/UpdateFrm.h"
#include "updater/core/manifest.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#include <limits>

using kest::UpdateFrm;
using Outcome = kest::UpdateProcedure::Outcome;

namespace kest::test {
namespace {

class UpdateWindowTest : public UpdateTest {
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        setSkinProgram(SkinProgram::Updater);
        // The player takes his time over the close question.
        m_boxes.delayMs = 300;
        m_boxes.answerFor = [this](const QString& text) {
            return text == UpdateFrm::kCancelQuestion ? m_questionAnswer : QMessageBox::Ok;
        };
    }

    std::unique_ptr<UpdateFrm> makeWindow()
    {
        const auto parsed = update::parseUpdaterCommandLine(commandLine().toStdString());
        EXPECT_TRUE(parsed);
        auto window = std::make_unique<UpdateFrm>(*parsed, manifestPath());
        window->downloader().setStallTimeout(std::chrono::seconds(3));
        return window;
    }

    template <typename T> static T* child(UpdateFrm& window, const char* name)
    {
        T* found = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    MessageBoxAnswerer m_boxes;
    std::vector<MessageBoxAnswerer::Shown>& m_shown = m_boxes.shown;
    QMessageBox::StandardButton m_questionAnswer = QMessageBox::No;
};

// The bar holds 32-bit values; a file of several GiB still fills it in step.
TEST(UpdateWindowProgress, SixtyFourBitCountsAreScaledOntoTheBar)
{
    constexpr qint64 int32Max = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(UpdateFrm::scaledProgress(0, 100), 0);
    EXPECT_EQ(UpdateFrm::scaledProgress(100, 100), 100);
    EXPECT_EQ(UpdateFrm::scaledProgress(int32Max, int32Max), int32Max);
    for (const qint64 total : { int32Max + 1, 3 * (qint64(1) << 31), qint64(5) << 40 }) {
        const int full = UpdateFrm::scaledProgress(total, total);
        EXPECT_GT(full, int32Max / 4) << total;
        EXPECT_LE(full, int32Max) << total;
        EXPECT_NEAR(double(UpdateFrm::scaledProgress(total / 2, total)) / full, 0.5, 1e-6) << total;
        EXPECT_EQ(UpdateFrm::scaledProgress(0, total), 0);
    }
}

TEST_F(UpdateWindowTest, ShowsEachFileAndItsProgressThenTheSuccessMessage)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));
    const auto window = makeWindow();
    QLabel* label = child<QLabel>(*window, "Label1");
    KvProgressBar* bar = child<KvProgressBar>(*window, "KvProgressBar1");
    QStringList labels;
    std::vector<std::pair<int, int>> bars; // (value, max) at the middle of each file
    QObject::connect(
        &window->downloader(), &CKvDownLoadFile::Loading, window.get(), [&](qint64 got) {
            if (got == 2 * CKvDownLoadFile::kBlockSize) {
                labels << label->text();
                bars.emplace_back(bar->Value(), bar->Max());
            }
        });

    EXPECT_EQ(window->runUpdate(), launcherPath());
    EXPECT_EQ(window->outcome(), Outcome::Updated);
    EXPECT_EQ(labels,
        (QStringList { QStringLiteral("正在下载：data.pak"), QStringLiteral("正在下载：kest") }));
    const int block = int(2 * CKvDownLoadFile::kBlockSize);
    EXPECT_EQ(bars,
        (std::vector<std::pair<int, int>> { { block, int(newData().size()) },
            { block, int(after().at(QStringLiteral("kest")).bytes.size()) } }));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].title, QStringLiteral("提示"));
    EXPECT_EQ(m_shown[0].text, UpdateFrm::kSuccessText);
    EXPECT_EQ(m_shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(snapshot(installFolder()), after());
}

TEST_F(UpdateWindowTest, AFailureIsToldAndThePreviousLauncherIsStartedAgain)
{
    const auto demo = std::make_unique<DemoServer>(QStringList { QStringLiteral("--file"),
        QStringLiteral("data.pak=") + servedPath(QStringLiteral("data.pak")) });
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo)); // lists data.pak only
    // A manifest whose last file is missing on the server.
    QByteArray manifest = readFile(manifestPath());
    manifest += "x|" + demo->fileUrl(QStringLiteral("kest")).toUtf8() + "\r\n";
    writeManifest(manifest);

    const auto window = makeWindow();
    EXPECT_EQ(window->runUpdate(), launcherPath());
    EXPECT_EQ(window->outcome(), Outcome::Failed);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].title, QStringLiteral("提示"));
    EXPECT_EQ(m_shown[0].text, QStringLiteral("更新失败，原版本未做任何改动！"));
    EXPECT_EQ(m_shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(snapshot(installFolder()), before());
}

// Moving the files in fails and so does putting the old ones back: the
// message says so instead of claiming nothing changed, the old launcher is
// started, and the next start puts the old version back. The faults are real
// ones of the file system, made at one moment of the commit through its step
// hook, as nothing else can time them: the staged launcher vanishes, and a
// folder stands where data.pak must go back.
TEST_F(UpdateWindowTest, AFailedRollbackIsToldAsSuchAndTheNextStartFinishesIt)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));
    const QString data = installFolder() + QStringLiteral("/data.pak");
    const auto window = makeWindow();
    window->procedure().setCommitStepHook([&](const std::string& step) {
        if (step != "renamed:data.pak")
            return;
        QFile::remove(installFolder() + QStringLiteral("/.kest-update/new/kest"));
        QFile::remove(data);
        QDir().mkpath(data + QStringLiteral("/inside"));
    });

    EXPECT_EQ(window->runUpdate(), launcherPath());
    EXPECT_EQ(window->outcome(), Outcome::RollbackFailed);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].title, QStringLiteral("提示"));
    EXPECT_EQ(m_shown[0].text, UpdateFrm::kRollbackFailedText);
    EXPECT_NE(m_shown[0].text, UpdateFrm::kFailureText);
    EXPECT_EQ(m_shown[0].icon, QMessageBox::Warning);
    EXPECT_FALSE(isOldOrNew(snapshot(installFolder())));
    EXPECT_EQ(runProgram(launcherPath()), QStringLiteral("old-launcher"));

    // The obstacle goes; the next start (here the updater's, with nothing
    // left to update) puts the old version back before anything else.
    ASSERT_TRUE(QDir(data).removeRecursively());
    QFile::remove(manifestPath());
    m_shown.clear();
    const auto next = makeWindow();
    EXPECT_EQ(next->runUpdate(), QString());
    EXPECT_EQ(next->outcome(), Outcome::NothingToDo);
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(snapshot(installFolder()), before());
}

// The question is asked without holding the download: answered No, the files
// go on arriving; answered Yes, the update ends with no message at all.
TEST_F(UpdateWindowTest, TheCloseButtonAsksAndOnlyYesCancels)
{
    // Paced, so the question comes while the first file is still on its way.
    const auto demo = startDemo({ QStringLiteral("--file-rate"), QStringLiteral("400000") });
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));

    for (const auto answer : { QMessageBox::No, QMessageBox::Yes }) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "Yes" : "No");
        m_questionAnswer = answer;
        m_shown.clear();
        const auto window = makeWindow();
        iButton* close = child<iButton>(*window, "closebtn");
        bool clicked = false;
        int loadingsWhileAsked = 0;
        QObject::connect(
            &window->downloader(), &CKvDownLoadFile::Loading, window.get(), [&](qint64 got) {
                loadingsWhileAsked
                    += MessageBoxAnswerer::isOpen(UpdateFrm::kCancelQuestion) ? 1 : 0;
                if (!clicked && got >= 2 * CKvDownLoadFile::kBlockSize) {
                    clicked = true;
                    QTest::mouseClick(close, Qt::LeftButton);
                }
            });
        const QString next = window->runUpdate();
        ASSERT_FALSE(m_shown.empty());
        EXPECT_EQ(m_shown[0].text, UpdateFrm::kCancelQuestion);
        EXPECT_EQ(m_shown[0].icon, QMessageBox::Question);
        EXPECT_EQ(m_shown[0].buttons.size(), 2);
        EXPECT_TRUE(m_shown[0].buttons.contains(QStringLiteral("是")));
        EXPECT_TRUE(m_shown[0].buttons.contains(QStringLiteral("否")));
        EXPECT_GT(loadingsWhileAsked, 3) << "the download goes on while the question is open";
        if (answer == QMessageBox::No) {
            EXPECT_EQ(window->outcome(), Outcome::Updated);
            ASSERT_EQ(m_shown.size(), 2u);
            EXPECT_EQ(m_shown[1].text, UpdateFrm::kSuccessText);
            EXPECT_EQ(snapshot(installFolder()), after());
            // Back to the old version for the second round.
            writeFile(launcherPath(), launcherScript("old-launcher"), 0755);
            writeFile(installFolder() + QStringLiteral("/data.pak"), kOldData, 0640);
        } else {
            EXPECT_EQ(window->outcome(), Outcome::Cancelled);
            EXPECT_EQ(m_shown.size(), 1u) << "no message after a cancel";
            EXPECT_EQ(snapshot(installFolder()), before());
            EXPECT_EQ(next, launcherPath());
        }
    }
}

} // namespace
} // namespace kest::test
