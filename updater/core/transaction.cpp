#include "updater/core/transaction.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kest::update {

namespace {

constexpr const char* kStaging = ".kest-update";
constexpr const char* kJournal = "journal";

bool syncPath(const std::string& path, bool directory)
{
    const int fd = ::open(path.c_str(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool exists(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0;
}

// A folder itself, not a link to one somewhere else.
bool isRealFolder(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Read, never set: umask(2) can only be read by changing it, and for that moment a
// file another thread creates would get the temporary mask. Linux shows it in
// /proc/self/status (since 4.7); without that, the common 022.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 022;
}

std::string errnoText()
{
    return std::strerror(errno);
}

// File names are written one per line; a name holding a line end would not
// read back, so it is escaped.
std::string escape(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// A name as an error message may show it: line ends, NUL and other control
// bytes written as escapes.
std::string printable(const std::string& name)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

// A listed name as its download is staged: bytes outside printable ASCII, and "%"
// itself, as %XX. The name is carried as bytes from the manifest to the install folder
// (a platform's manifest may be in its own code page), while the download goes through
// Qt, whose file names are Unicode and lose bytes that are not UTF-8; the staged name
// is plain ASCII and goes through unchanged. Should it grow past a file name's limit,
// "%%" and a 64-bit FNV-1a of the name stand in, which escaping never starts with.
std::string stagedName(const std::string& name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7f && byte != '%') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    if (out.size() <= NAME_MAX)
        return out;
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    out = "%%";
    for (int shift = 60; shift >= 0; shift -= 4)
        out += kHex[(hash >> shift) & 0xf];
    return out;
}

std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::string journalText(const std::string& state, const std::vector<JournalEntry>& entries)
{
    std::string text = "kest-update-journal 1\n" + state + '\n';
    for (const JournalEntry& e : entries) {
        text += e.existed ? '1' : '0';
        text += ' ' + escape(e.name) + '\n';
    }
    return text + "end\n";
}

JournalText parseJournal(std::istream& in)
{
    JournalText journal;
    const auto absent = [&journal] {
        journal = {};
        return journal;
    };
    std::string header;
    if (!std::getline(in, header) || header != "kest-update-journal 1"
        || !std::getline(in, journal.state))
        return absent();
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        if (line.size() < 3 || (line[0] != '0' && line[0] != '1') || line[1] != ' ')
            return absent();
        journal.entries.push_back({ unescape(line.substr(2)), line[0] == '1' });
    }
    // A journal is renamed into place whole, so a torn one is not ours.
    if (!ended || (journal.state != "committing" && journal.state != "committed"))
        return absent();
    // Whole, yet naming something a commit never takes: planted or damaged.
    // Acting on any of it could rename or delete outside the install folder.
    for (const JournalEntry& e : journal.entries) {
        if (!InstallTransaction::isPlainFileName(e.name)) {
            journal.verdict = JournalText::Verdict::Refused;
            journal.refused = "it names \"" + printable(e.name)
                + "\", which is not a file name of the install folder";
            return journal;
        }
    }
    journal.verdict = JournalText::Verdict::Readable;
    return journal;
}

InstallTransaction::InstallTransaction(std::string installFolder)
    : m_folder(std::move(installFolder))
{
    if (m_folder.empty() || m_folder.back() != '/')
        m_folder += '/';
}

InstallTransaction::~InstallTransaction()
{
    unlock();
}

void InstallTransaction::unlock()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd); // drops the flock
    m_lockFd = -1;
}

bool InstallTransaction::isReservedName(const std::string& fileName)
{
    return fileName == kStaging;
}

bool InstallTransaction::isPlainFileName(const std::string& fileName)
{
    return !fileName.empty() && fileName != "." && fileName != ".."
        && fileName.find('/') == std::string::npos && fileName.find('\0') == std::string::npos
        && !isReservedName(fileName);
}

bool InstallTransaction::lock()
{
    if (m_lockFd >= 0)
        return true;
    const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail("cannot open the install folder " + m_folder + ": " + errnoText());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::string why = errnoText();
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held) {
            m_busy = true;
            return fail("another process is updating " + m_folder);
        }
        return fail("cannot lock " + m_folder + ": " + why);
    }
    m_lockFd = fd;
    return true;
}

std::string InstallTransaction::stagingFolder() const
{
    return m_folder + kStaging;
}

std::string InstallTransaction::stagedPath(const std::string& fileName) const
{
    return stagingFolder() + "/new/" + stagedName(fileName);
}

void InstallTransaction::step(const char* name)
{
    if (m_hook)
        m_hook(name);
}

bool InstallTransaction::fail(const std::string& what)
{
    m_error = what;
    return false;
}

bool InstallTransaction::writeJournal(const std::string& state, const std::vector<Entry>& entries)
{
    const std::string path = stagingFolder() + "/" + kJournal;
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << journalText(state, entries);
        out.flush();
        if (!out)
            return fail("cannot write the journal: " + errnoText());
    }
    if (!syncPath(temp, false) || ::rename(temp.c_str(), path.c_str()) != 0)
        return fail("cannot write the journal: " + errnoText());
    syncPath(stagingFolder(), true);
    return true;
}

InstallTransaction::Journal InstallTransaction::readJournal(
    std::string& state, std::vector<Entry>& entries, std::string& refused) const
{
    // A staging "folder" that is a link or a file was never made by begin():
    // whatever it leads to is not read, and only the entry itself goes.
    if (!isRealFolder(stagingFolder()))
        return Journal::Absent;
    std::ifstream in(stagingFolder() + "/" + kJournal, std::ios::binary);
    if (!in)
        return Journal::Absent;
    JournalText journal = parseJournal(in);
    switch (journal.verdict) {
    case JournalText::Verdict::Absent:
        return Journal::Absent;
    case JournalText::Verdict::Refused:
        refused = journal.refused;
        return Journal::Refused;
    case JournalText::Verdict::Readable:
        break;
    }
    // Putting back renames out of old/: it must not lead anywhere else.
    const std::string old = stagingFolder() + "/old";
    if (exists(old) && !isRealFolder(old)) {
        refused = "old/ is not a folder of its own";
        return Journal::Refused;
    }
    state = std::move(journal.state);
    entries = std::move(journal.entries);
    return Journal::Readable;
}

bool InstallTransaction::restore(const std::vector<Entry>& entries)
{
    // Put every replaced file back and take away every file that was new.
    // Each step is a single rename or unlink, so running this again after a
    // crash in the middle of it is safe. (A file not moved yet shares its
    // inode with its copy in old/, and rename(2) between two links of one
    // inode changes nothing.)
    bool ok = true;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::string target = m_folder + it->name;
        const std::string old = stagingFolder() + "/old/" + it->name;
        const std::string staged = stagedPath(it->name);
        if (it->existed) {
            if (exists(old) && ::rename(old.c_str(), target.c_str()) != 0)
                ok = false;
        } else if (!exists(staged) && exists(target)) {
            if (::unlink(target.c_str()) != 0) // the new file was moved in: it goes
                ok = false;
        }
    }
    syncPath(m_folder, true);
    return ok;
}

bool InstallTransaction::undo()
{
    std::string state;
    std::vector<Entry> entries;
    std::string refused;
    switch (readJournal(state, entries, refused)) {
    case Journal::Absent:
        break;
    case Journal::Refused:
        // Nothing it says is done, and old/ stays: if it was ours once, the
        // files it kept are still there for whoever looks.
        return fail("the journal in " + stagingFolder() + " is refused: " + refused
            + "; nothing was put back and the staging folder stays");
    case Journal::Readable:
        if (state == "committing" && !restore(entries))
            return fail("cannot put back every file in " + m_folder
                + "; the journal stays for the next run"); // old/ still holds them
        break;
    }
    removeStaging();
    return true;
}

void InstallTransaction::removeStaging()
{
    std::error_code ec;
    fs::remove_all(stagingFolder(), ec);
    syncPath(m_folder, true);
}

bool InstallTransaction::recover()
{
    m_error.clear();
    m_busy = false;
    if (!exists(stagingFolder()))
        return true;
    // Taken here, the lock is given back at the end: only begin() keeps it.
    const bool keepLock = m_lockFd >= 0;
    if (!lock())
        return false;
    // "committing": put the old files back. "committed" needs nothing more:
    // the new files are in place. Without a journal nothing was moved yet.
    // Then the staging folder goes.
    bool ok = undo();
    if (ok && exists(stagingFolder()))
        ok = fail("cannot remove " + stagingFolder());
    if (!keepLock)
        unlock();
    return ok;
}

bool InstallTransaction::begin()
{
    // The install folder must already be there: creating it would install
    // somewhere the launcher never was.
    struct stat st { };
    if (::stat(m_folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return fail("the install folder " + m_folder + " does not exist");
    if (!lock() || !recover())
        return false;
    std::error_code ec;
    fs::create_directories(stagingFolder() + "/new", ec);
    if (ec)
        return fail("cannot create " + stagingFolder() + ": " + ec.message());
    fs::create_directories(stagingFolder() + "/old", ec);
    if (ec)
        return fail("cannot create " + stagingFolder() + ": " + ec.message());
    return true;
}

bool InstallTransaction::commit(const std::vector<std::string>& fileNames, bool lastIsLauncher)
{
    const bool ok = moveIn(fileNames, lastIsLauncher);
    unlock(); // the transaction is over, one way or the other
    return ok;
}

bool InstallTransaction::moveIn(const std::vector<std::string>& fileNames, bool lastIsLauncher)
{
    m_error.clear();
    m_leftUnfinished = false;
    if (fileNames.empty())
        return fail("nothing to install");
    for (const std::string& name : fileNames) {
        if (!isPlainFileName(name)) {
            rollback();
            return fail("not a file name: " + printable(name));
        }
    }
    if (!lock()) {
        rollback();
        return false;
    }

    // The same name listed twice: its later download is the one in new/, so
    // it is moved in once, at its last place (the launcher stays last).
    std::vector<std::string> order;
    for (auto it = fileNames.begin(); it != fileNames.end(); ++it) {
        if (std::find(it + 1, fileNames.end(), *it) == fileNames.end())
            order.push_back(*it);
    }

    std::vector<Entry> entries;
    const mode_t mask = currentUmask();
    for (size_t i = 0; i < order.size(); ++i) {
        const std::string& name = order[i];
        const std::string target = m_folder + name;
        const std::string staged = stagedPath(name);
        const bool launcher = lastIsLauncher && i + 1 == order.size();
        struct stat st { };
        const Entry entry { name, ::stat(target.c_str(), &st) == 0 };

        mode_t mode = entry.existed ? (st.st_mode & 07777) : (0666 & ~mask);
        if (launcher)
            mode |= (0111 & ~mask) | S_IXUSR;
        // A downloaded program never runs with its owner's or group's rights,
        // whatever the file it replaces was allowed.
        mode &= ~mode_t(S_ISUID | S_ISGID);
        // The fsync makes the bytes durable before any rename can be: after a
        // power cut a moved-in file is whole, never empty.
        if (::chmod(staged.c_str(), mode) != 0 || !syncPath(staged, false)) {
            const std::string why = "cannot prepare " + staged + ": " + errnoText();
            rollback();
            return fail(why);
        }
        if (entry.existed) {
            const std::string old = stagingFolder() + "/old/" + name;
            ::unlink(old.c_str());
            if (::link(target.c_str(), old.c_str()) != 0) {
                const std::string why = "cannot keep " + target + ": " + errnoText();
                rollback();
                return fail(why);
            }
        }
        entries.push_back(entry);
    }
    syncPath(stagingFolder() + "/old", true);
    syncPath(stagingFolder() + "/new", true);
    step("backups-made");
    if (!writeJournal("committing", entries)) {
        const std::string why = m_error;
        rollback();
        return fail(why);
    }
    step("journal-written");

    // From here on the journal says what to put back; a failure puts it back
    // from the list in hand, and leaves the journal when that fails too.
    const auto putBack = [&](std::string why) {
        if (restore(entries)) {
            removeStaging();
        } else {
            m_leftUnfinished = true;
            why += "; not every file could be put back: the journal stays for the next run";
        }
        return fail(why);
    };
    // Move in the order of the list; the launcher, listed last, goes last.
    for (const Entry& e : entries) {
        const std::string target = m_folder + e.name;
        const std::string staged = stagedPath(e.name);
        if (::rename(staged.c_str(), target.c_str()) != 0)
            return putBack("cannot move " + e.name + " into place: " + errnoText());
        step(("renamed:" + e.name).c_str());
    }
    syncPath(m_folder, true);
    if (!writeJournal("committed", entries))
        return putBack(m_error);
    step("journal-committed");
    removeStaging();
    step("done");
    return true;
}

void InstallTransaction::rollback()
{
    undo(); // says in error() what it could not do
    unlock();
}

} // namespace kest::update
