#pragma once

// Installing downloaded files as one transaction, so that an update that
// fails, is cancelled, or is cut short by kill -9 or a power cut leaves an
// install whose launcher starts: the old one or the new one, never a
// truncated file, never none.
//
// Everything lives in a hidden staging folder inside the install folder (the
// same file system, so renames are atomic):
//   <install>/.kest-update/new/<name>   downloaded files, complete (the name escaped)
//   <install>/.kest-update/old/<name>   hard links to the files they replace
//   <install>/.kest-update/journal      what a commit is doing
// A commit links each current file into old/, writes the journal, renames
// each new file over its target (the launcher last; the target always exists,
// because rename replaces it in one step), marks the journal committed, and
// removes the staging folder. recover() finishes or rolls back whatever the
// journal records and removes every left-over.
//
// One process at a time works on a folder: an exclusive flock(2) on the
// install folder, held during recover() and from begin() to the end of
// commit() or rollback() (the kernel drops it with the process, kill -9
// included). A launcher started by hand while the updater runs must not
// "recover" a commit in progress.

#include <functional>
#include <string>
#include <vector>

#include <istream>

namespace kest::update {

// One line of the journal: a name the commit moves in, and whether a file of
// that name was there before (and was kept in old/).
struct JournalEntry {
    std::string name;
    bool existed = false;
    bool operator==(const JournalEntry&) const = default;
};

// A journal as its bytes alone say: whole and ours (Readable), torn or not ours
// (Absent: a commit renames it into place whole), or whole yet naming something
// that is no file name of the install folder (Refused, why in `refused`).
struct JournalText {
    enum class Verdict { Absent, Readable, Refused };
    Verdict verdict = Verdict::Absent;
    std::string state; // "committing" or "committed"
    std::vector<JournalEntry> entries;
    std::string refused;
};
JournalText parseJournal(std::istream& in);
// The bytes a commit writes for `state` and `entries`; parseJournal reads them back.
std::string journalText(const std::string& state, const std::vector<JournalEntry>& entries);

class InstallTransaction final {
public:
    explicit InstallTransaction(std::string installFolder);
    ~InstallTransaction();
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // The staging folder's own name: no listed file may take it.
    static bool isReservedName(const std::string& fileName);
    // A name that stays inside the install folder: no "/", no NUL, not "",
    // "." or "..", not the staging folder. The only names a commit takes and
    // the only ones recovery acts on, whatever a journal says.
    static bool isPlainFileName(const std::string& fileName);

    // Called at each step of a commit with the step's name; tests use it to
    // stop the process at every point a crash could happen.
    using StepHook = std::function<void(const std::string& step)>;
    void setStepHook(StepHook hook) { m_hook = std::move(hook); }

    // Finishes or rolls back an earlier, interrupted commit and removes every
    // left-over of the staging folder. Returns false (with `error`) when the
    // folder could not be put back in order (the journal then stays for the
    // next attempt) or another process is updating it (busy() is then true).
    bool recover();
    bool busy() const { return m_busy; }

    // Recovers, then makes an empty staging folder. False when the install
    // folder cannot be written.
    bool begin();

    // Where the download of `fileName` goes before the commit. Plain ASCII whatever bytes
    // the name holds (they are escaped), so it survives Qt's Unicode file names; the commit
    // moves it to the name itself, byte for byte.
    std::string stagedPath(const std::string& fileName) const;

    // Moves the staged files into place in the order given (the last is the
    // launcher and also gets its exec bit). A name listed twice is moved once,
    // at its last place, as its later download is the one that was kept. A
    // replaced file keeps its mode; a new one gets the usual mode; neither
    // keeps a set-user-ID or set-group-ID bit. On any failure everything is
    // put back and the result is false.
    // lastIsLauncher false: the launcher was not downloaded (it is unchanged),
    // so the last name is an ordinary file and gets no exec bit.
    bool commit(const std::vector<std::string>& fileNames, bool lastIsLauncher = true);

    // Drops what was staged; the install folder stays as it was.
    void rollback();

    // The last commit failed after files were moved and not every one could
    // be put back: the folder is neither version, and its journal waits for
    // the next recover(). Any other failure left the folder as it was.
    bool leftUnfinished() const { return m_leftUnfinished; }

    const std::string& error() const { return m_error; }
    std::string stagingFolder() const;

private:
    using Entry = JournalEntry;
    bool moveIn(const std::vector<std::string>& fileNames, bool lastIsLauncher);
    bool lock();
    void unlock();
    bool writeJournal(const std::string& state, const std::vector<Entry>& entries);
    enum class Journal { Absent, Readable, Refused };
    // Absent also for a torn journal, which a commit never leaves (it is
    // renamed into place whole). Refused: it names something that is not a
    // plain file name, or old/ is no folder of its own (why in `refused`).
    Journal readJournal(
        std::string& state, std::vector<Entry>& entries, std::string& refused) const;
    bool restore(const std::vector<Entry>& entries);
    // Puts back what a journal records and clears the staging folder; when a
    // file cannot be put back or the journal is refused, the staging folder
    // and its journal stay, and the result is false with `error` set.
    bool undo();
    void removeStaging();
    void step(const char* name);
    bool fail(const std::string& what);

    std::string m_folder; // ends in "/"
    std::string m_error;
    StepHook m_hook;
    int m_lockFd = -1;
    bool m_busy = false;
    bool m_leftUnfinished = false;
};

} // namespace kest::update
