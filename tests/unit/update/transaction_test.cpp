#include "updater/core/transaction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using kest::update::InstallTransaction;

namespace {

using Tree = std::map<std::string, std::string>; // visible file name -> bytes

void writeFile(const std::string& path, const std::string& bytes, mode_t mode = 0644)
{
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    f.close();
    ::chmod(path.c_str(), mode);
}

// Every entry of the folder, hidden ones included, with its bytes.
Tree snapshot(const std::string& folder)
{
    Tree tree;
    const QDir dir(QString::fromStdString(folder));
    const auto entries
        = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        QFile f(info.filePath());
        std::string bytes = "<dir>";
        if (info.isFile() && f.open(QIODevice::ReadOnly))
            bytes = f.readAll().toStdString();
        tree[info.fileName().toStdString()] = bytes;
    }
    return tree;
}

mode_t modeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

struct Install {
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";

    Install()
    {
        writeFile(folder + "kest", "old launcher", 0750);
        writeFile(folder + "data.pak", "old data", 0640);
    }
    void stage(InstallTransaction& t)
    {
        ASSERT_TRUE(t.begin()) << t.error();
        writeFile(t.stagedPath("data.pak"), "new data", 0600);
        writeFile(t.stagedPath("extra.txt"), "new extra", 0600);
        writeFile(t.stagedPath("kest"), "new launcher", 0600);
    }
    const std::vector<std::string> names { "data.pak", "extra.txt", "kest" };
    const Tree before { { "kest", "old launcher" }, { "data.pak", "old data" } };
    const Tree after { { "kest", "new launcher" }, { "data.pak", "new data" },
        { "extra.txt", "new extra" } };
};

} // namespace

TEST(InstallTransaction, CommitMovesEveryFileInAndKeepsModes)
{
    Install install;
    InstallTransaction t(install.folder);
    install.stage(t);
    std::vector<std::string> steps;
    t.setStepHook([&](const std::string& s) { steps.push_back(s); });
    ASSERT_TRUE(t.commit(install.names)) << t.error();
    EXPECT_EQ(snapshot(install.folder), install.after);
    EXPECT_EQ(modeOf(install.folder + "data.pak"), 0640u); // the replaced file's mode
    EXPECT_EQ(modeOf(install.folder + "kest") & 0700, 0700u); // launcher: runnable
    // The launcher is moved last.
    const auto launcher = std::find(steps.begin(), steps.end(), "renamed:kest");
    const auto data = std::find(steps.begin(), steps.end(), "renamed:data.pak");
    ASSERT_NE(launcher, steps.end());
    EXPECT_LT(data, launcher);
}

TEST(InstallTransaction, NewLauncherGetsItsExecBitFromScratch)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    InstallTransaction t(folder);
    ASSERT_TRUE(t.begin());
    writeFile(t.stagedPath("kest"), "new launcher", 0600);
    ASSERT_TRUE(t.commit({ "kest" }));
    EXPECT_NE(modeOf(folder + "kest") & S_IXUSR, 0u);
}

TEST(InstallTransaction, RollbackAndAMissingStagedFileLeaveTheFolderAsItWas)
{
    Install install;
    {
        InstallTransaction t(install.folder);
        install.stage(t);
        t.rollback();
        EXPECT_EQ(snapshot(install.folder), install.before);
    }
    {
        InstallTransaction t(install.folder);
        install.stage(t);
        QFile::remove(QString::fromStdString(t.stagedPath("extra.txt")));
        EXPECT_FALSE(t.commit(install.names));
        EXPECT_FALSE(t.error().empty());
        EXPECT_EQ(snapshot(install.folder), install.before);
    }
}

TEST(InstallTransaction, ARenameThatFailsPutsEverythingBack)
{
    Install install;
    InstallTransaction t(install.folder);
    install.stage(t);
    // Test double for a rename that fails half-way (a disk going away, say):
    // the hook takes the launcher's staged file away once the first file was
    // moved in, so the launcher's rename fails.
    t.setStepHook([&](const std::string& s) {
        if (s == "renamed:data.pak")
            QFile::remove(QString::fromStdString(t.stagedPath("kest")));
    });
    EXPECT_FALSE(t.commit(install.names));
    EXPECT_NE(t.error().find("kest"), std::string::npos) << t.error();
    EXPECT_FALSE(t.leftUnfinished());
    EXPECT_EQ(snapshot(install.folder), install.before);
}

// Names are bytes: escapes and their own text, any code page, and a name whose escaped
// form would be too long for a file name each reach the folder under their own bytes.
TEST(InstallTransaction, AnyBytesOfANameReachTheFolderUnchanged)
{
    Install install;
    const std::vector<std::string> names { "A", "%41", "%%", "\xd6\xd0\xce\xc4.pak",
        std::string(250, '\xd6'), std::string(249, '\xd6') + "\xd0", "kest" };
    InstallTransaction t(install.folder);
    ASSERT_TRUE(t.begin()) << t.error();
    for (const std::string& name : names) {
        EXPECT_EQ(t.stagedPath(name).find_first_of("\x7f\x80\xd6 "), std::string::npos);
        writeFile(t.stagedPath(name), "bytes of " + name, 0600);
    }
    ASSERT_TRUE(t.commit(names)) << t.error();
    for (const std::string& name : names) {
        std::ifstream in(install.folder + name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(bytes, "bytes of " + name) << name.size() << "-byte name";
    }
}

TEST(InstallTransaction, ADirectoryWhereAFileGoesIsRefused)
{
    Install install;
    InstallTransaction t(install.folder);
    install.stage(t);
    QFile::remove(QString::fromStdString(install.folder + "data.pak"));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(install.folder + "data.pak/inside")));
    EXPECT_FALSE(t.commit(install.names));
    EXPECT_EQ(
        snapshot(install.folder), (Tree { { "kest", "old launcher" }, { "data.pak", "<dir>" } }));
}

TEST(InstallTransaction, BeginFailsCleanlyOnAFolderThatCannotBeWritten)
{
    QTemporaryDir parent;
    const std::string gone = parent.path().toStdString() + "/not-there";
    InstallTransaction missing(gone);
    EXPECT_FALSE(missing.begin());
    EXPECT_FALSE(missing.error().empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(gone))); // not created either

    // A plain file where the staging folder would go.
    Install install;
    writeFile(install.folder + ".kest-update", "not a folder");
    InstallTransaction t(install.folder);
    // recover() removes the stray file; the staging folder can then be made.
    EXPECT_TRUE(t.begin()) << t.error();
}

// The process is stopped (as kill -9 would) at each step of a commit; the
// next run's recover() must leave either the old or the new install, whole,
// and nothing hidden behind.
TEST(InstallTransaction, RecoversFromACrashAtEveryStep)
{
    const std::vector<std::string> points { "backups-made", "journal-written", "renamed:data.pak",
        "renamed:extra.txt", "renamed:kest", "journal-committed", "done", "during-download" };
    for (const std::string& point : points) {
        SCOPED_TRACE(point);
        Install install;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InstallTransaction t(install.folder);
            if (!t.begin())
                _exit(3);
            writeFile(t.stagedPath("data.pak"), "new data", 0600);
            if (point == "during-download") {
                writeFile(t.stagedPath("extra.txt"), "new ex", 0600); // cut short
                _exit(9);
            }
            writeFile(t.stagedPath("extra.txt"), "new extra", 0600);
            writeFile(t.stagedPath("kest"), "new launcher", 0600);
            t.setStepHook([&](const std::string& s) {
                if (s == point)
                    _exit(9);
            });
            t.commit(install.names);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 9);

        // Whatever the moment, a complete launcher is in place.
        const Tree crashed = snapshot(install.folder);
        ASSERT_TRUE(crashed.count("kest"));
        EXPECT_TRUE(crashed.at("kest") == "old launcher" || crashed.at("kest") == "new launcher");

        InstallTransaction next(install.folder);
        ASSERT_TRUE(next.recover()) << next.error();
        const Tree recovered = snapshot(install.folder);
        const bool committed = point == "journal-committed" || point == "done";
        EXPECT_EQ(recovered, committed ? install.after : install.before);
    }
}

TEST(InstallTransaction, ATornOrForeignJournalIsNotTrusted)
{
    Install install;
    InstallTransaction t(install.folder);
    ASSERT_TRUE(t.begin());
    writeFile(t.stagingFolder() + "/journal", "kest-update-journal 1\ncommitting\n1 data.pak\n");
    ASSERT_TRUE(t.recover());
    EXPECT_EQ(snapshot(install.folder), install.before);
}

TEST(InstallTransaction, ANameListedTwiceIsMovedOnceAtItsLastPlace)
{
    Install install;
    InstallTransaction t(install.folder);
    ASSERT_TRUE(t.begin());
    writeFile(t.stagedPath("kest"), "new launcher", 0600); // the later download won
    writeFile(t.stagedPath("data.pak"), "new data", 0600);
    std::vector<std::string> renamed;
    t.setStepHook([&](const std::string& s) {
        if (s.rfind("renamed:", 0) == 0)
            renamed.push_back(s.substr(8));
    });
    ASSERT_TRUE(t.commit({ "kest", "data.pak", "kest" })) << t.error();
    EXPECT_EQ(renamed, (std::vector<std::string> { "data.pak", "kest" }));
    EXPECT_EQ(snapshot(install.folder),
        (Tree { { "kest", "new launcher" }, { "data.pak", "new data" } }));
}

TEST(InstallTransaction, NamesThatNameNoFileOrTheStagingFolderAreRefused)
{
    for (const std::string& name : { std::string(), std::string("."), std::string(".."),
             std::string("a/b"), std::string(".kest-update"), std::string("kest\0x", 6) }) {
        SCOPED_TRACE(name);
        Install install;
        InstallTransaction t(install.folder);
        install.stage(t);
        EXPECT_FALSE(t.commit({ "data.pak", name, "kest" }));
        EXPECT_EQ(snapshot(install.folder), install.before);
    }
    EXPECT_TRUE(InstallTransaction::isReservedName(".kest-update"));
    EXPECT_FALSE(InstallTransaction::isReservedName("kest"));
    EXPECT_TRUE(InstallTransaction::isPlainFileName("..kest"));
}

TEST(InstallTransaction, AReplacedFileNeverKeepsSetIdBits)
{
    Install install;
    ::chmod((install.folder + "data.pak").c_str(), 06755);
    ::chmod((install.folder + "kest").c_str(), 04750);
    InstallTransaction t(install.folder);
    install.stage(t);
    writeFile(t.stagedPath("data.pak"), "new data", 06700); // as a download could arrive
    ASSERT_TRUE(t.commit(install.names)) << t.error();
    EXPECT_EQ(modeOf(install.folder + "data.pak"), 0755u);
    EXPECT_EQ(modeOf(install.folder + "kest") & (S_ISUID | S_ISGID), 0u);
    EXPECT_EQ(modeOf(install.folder + "kest") & 0750, 0750u);
}

// A journal that was planted, or damaged into naming something else, must not
// make recovery rename or delete anything outside the install folder. Each
// row names something a commit never takes; acted on, the first two would
// reach the file beside the install folder and the last would delete data.pak.
TEST(InstallTransaction, AJournalNamingAnythingButAFileOfTheFolderIsRefused)
{
    struct Row {
        const char* name;
        std::string entry; // the journal line
        std::string planted; // a file put into the staging folder first, if any
    };
    const Row rows[] = {
        { "deletesBeside", "0 ../beside", "" },
        { "replacesBeside", "1 ../beside", "beside" }, // old/../beside
        { "theFolderItself", "0 .", "" },
        { "itsParent", "0 ..", "" },
        { "stagingFolder", "0 .kest-update", "" },
        { "nulCutsTheName", std::string("0 data.pak\0/../../beside", 24), "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir around;
        const std::string beside = around.path().toStdString() + "/beside";
        const std::string folder = around.path().toStdString() + "/install/";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        writeFile(beside, "not ours");
        writeFile(folder + "kest", "old launcher");
        writeFile(folder + "data.pak", "old data");
        const std::string staging = folder + ".kest-update";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(staging + "/old")));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(staging + "/new")));
        if (!row.planted.empty())
            writeFile(staging + "/" + row.planted, "planted");
        writeFile(staging + "/journal",
            "kest-update-journal 1\ncommitting\n1 kest\n" + row.entry + "\nend\n");
        writeFile(staging + "/old/kest", "older launcher");

        InstallTransaction t(folder);
        EXPECT_FALSE(t.recover());
        EXPECT_NE(t.error().find("refused"), std::string::npos) << t.error();
        EXPECT_EQ(snapshot(around.path().toStdString()),
            (Tree { { "beside", "not ours" }, { "install", "<dir>" } }));
        // Not even the entries that look right were acted on, and the kept
        // files stay where a person can find them.
        EXPECT_EQ(snapshot(folder),
            (Tree { { "kest", "old launcher" }, { "data.pak", "old data" },
                { ".kest-update", "<dir>" } }));
        EXPECT_EQ(snapshot(staging + "/old"), (Tree { { "kest", "older launcher" } }));
    }
}

// The staging folder, or old/ inside it, made a link to another folder:
// recovery would read a journal from there and rename files out of it.
TEST(InstallTransaction, AStagingFolderThatIsALinkIsNotFollowed)
{
    for (const bool oldIsLink : { false, true }) {
        SCOPED_TRACE(oldIsLink ? "old/ is a link" : "the staging folder is a link");
        QTemporaryDir around;
        const std::string elsewhere = around.path().toStdString() + "/elsewhere";
        const std::string folder = around.path().toStdString() + "/install/";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(elsewhere + "/old")));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        writeFile(folder + "data.pak", "old data");
        writeFile(elsewhere + "/old/data.pak", "not ours");
        const std::string staging = folder + ".kest-update";
        const std::string journal = "kest-update-journal 1\ncommitting\n1 data.pak\nend\n";
        if (oldIsLink) {
            ASSERT_TRUE(QDir().mkpath(QString::fromStdString(staging)));
            writeFile(staging + "/journal", journal);
            ASSERT_EQ(::symlink((elsewhere + "/old").c_str(), (staging + "/old").c_str()), 0);
        } else {
            writeFile(elsewhere + "/journal", journal);
            ASSERT_EQ(::symlink(elsewhere.c_str(), staging.c_str()), 0);
        }

        InstallTransaction t(folder);
        EXPECT_EQ(t.recover(), !oldIsLink) << t.error();
        EXPECT_EQ(snapshot(elsewhere + "/old"), (Tree { { "data.pak", "not ours" } }));
        EXPECT_EQ(QFile(QString::fromStdString(folder + "data.pak")).size(), 8);
        // A link where the staging folder goes is simply taken away.
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(staging)), oldIsLink);
    }
}

// A launcher started by hand while the updater works must not undo a commit
// in progress: the folder belongs to whoever locked it first.
TEST(InstallTransaction, OneProcessAtATimeWorksOnAFolder)
{
    Install install;
    InstallTransaction updater(install.folder);
    install.stage(updater);

    InstallTransaction launcher(install.folder);
    EXPECT_FALSE(launcher.recover());
    EXPECT_TRUE(launcher.busy());
    InstallTransaction second(install.folder);
    EXPECT_FALSE(second.begin());
    EXPECT_TRUE(second.busy());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(updater.stagedPath("kest"))));

    ASSERT_TRUE(updater.commit(install.names)) << updater.error();
    EXPECT_EQ(snapshot(install.folder), install.after);

    // Recovery alone gives the folder back at once: a launcher that recovered
    // at its start does not keep its own updater out later.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(install.folder + ".kest-update/new")));
    InstallTransaction recovered(install.folder);
    ASSERT_TRUE(recovered.recover()) << recovered.error();
    InstallTransaction next(install.folder);
    EXPECT_TRUE(next.begin()) << next.error();
}

// A file that cannot be put back keeps the journal and the old copy, so a
// later run can finish the job instead of losing the old file.
TEST(InstallTransaction, AFailedRestoreKeepsTheJournalForTheNextRun)
{
    Install install;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallTransaction t(install.folder);
        if (!t.begin())
            _exit(3);
        writeFile(t.stagedPath("data.pak"), "new data", 0600);
        writeFile(t.stagedPath("extra.txt"), "new extra", 0600);
        writeFile(t.stagedPath("kest"), "new launcher", 0600);
        t.setStepHook([](const std::string& s) {
            if (s == "renamed:extra.txt")
                _exit(9);
        });
        t.commit(install.names);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 9);

    // Something now stands where data.pak must go back: a non-empty folder.
    const std::string blocker = install.folder + "data.pak";
    ASSERT_EQ(::unlink(blocker.c_str()), 0);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(blocker + "/inside")));
    {
        InstallTransaction next(install.folder);
        EXPECT_FALSE(next.recover());
        EXPECT_FALSE(next.busy());
        EXPECT_TRUE(QFile::exists(QString::fromStdString(next.stagingFolder() + "/journal")));
        EXPECT_TRUE(QFile::exists(QString::fromStdString(next.stagingFolder() + "/old/data.pak")));
    }
    ASSERT_TRUE(QDir(QString::fromStdString(blocker)).removeRecursively());
    InstallTransaction later(install.folder);
    ASSERT_TRUE(later.recover()) << later.error();
    EXPECT_EQ(snapshot(install.folder), install.before);
}
