#include "updater/core/transaction.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
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

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
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

InstallTransaction::InstallTransaction(std::string installFolder)
    : m_folder(std::move(installFolder))
{
    if (m_folder.empty() || m_folder.back() != '/')
        m_folder += '/';
}

std::string InstallTransaction::stagingFolder() const
{
    return m_folder + kStaging;
}

std::string InstallTransaction::stagedPath(const std::string& fileName) const
{
    return stagingFolder() + "/new/" + fileName;
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
        out << "kest-update-journal 1\n" << state << '\n';
        for (const Entry& e : entries)
            out << (e.existed ? '1' : '0') << ' ' << escape(e.name) << '\n';
        out << "end\n";
        out.flush();
        if (!out)
            return fail("cannot write the journal: " + errnoText());
    }
    if (!syncPath(temp, false) || ::rename(temp.c_str(), path.c_str()) != 0)
        return fail("cannot write the journal: " + errnoText());
    syncPath(stagingFolder(), true);
    return true;
}

bool InstallTransaction::readJournal(std::string& state, std::vector<Entry>& entries) const
{
    std::ifstream in(stagingFolder() + "/" + kJournal, std::ios::binary);
    if (!in)
        return false;
    std::string header;
    if (!std::getline(in, header) || header != "kest-update-journal 1" || !std::getline(in, state))
        return false;
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        if (line.size() < 3 || (line[0] != '0' && line[0] != '1') || line[1] != ' ')
            return false;
        entries.push_back({ unescape(line.substr(2)), line[0] == '1' });
    }
    // A journal is renamed into place whole, so a torn one is not ours.
    return ended && (state == "committing" || state == "committed");
}

void InstallTransaction::restore(const std::vector<Entry>& entries)
{
    // Put every replaced file back and take away every file that was new.
    // Each step is a single rename or unlink, so running this again after a
    // crash in the middle of it is safe.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::string target = m_folder + it->name;
        const std::string old = stagingFolder() + "/old/" + it->name;
        const std::string staged = stagingFolder() + "/new/" + it->name;
        if (it->existed) {
            if (exists(old))
                ::rename(old.c_str(), target.c_str());
        } else if (!exists(staged) && exists(target)) {
            ::unlink(target.c_str()); // the new file was moved in: it goes
        }
    }
    syncPath(m_folder, true);
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
    if (!exists(stagingFolder()))
        return true;
    std::string state;
    std::vector<Entry> entries;
    if (readJournal(state, entries) && state == "committing")
        restore(entries);
    // "committed" needs nothing more: the new files are in place. Without a
    // journal nothing was moved yet. Either way the staging folder goes.
    removeStaging();
    if (exists(stagingFolder()))
        return fail("cannot remove " + stagingFolder());
    return true;
}

bool InstallTransaction::begin()
{
    // The install folder must already be there: creating it would install
    // somewhere the launcher never was.
    struct stat st { };
    if (::stat(m_folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return fail("the install folder " + m_folder + " does not exist");
    if (!recover())
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

bool InstallTransaction::commit(const std::vector<std::string>& fileNames)
{
    m_error.clear();
    std::vector<Entry> entries;
    const mode_t mask = currentUmask();

    for (size_t i = 0; i < fileNames.size(); ++i) {
        const std::string& name = fileNames[i];
        const std::string target = m_folder + name;
        const std::string staged = stagedPath(name);
        const bool launcher = i + 1 == fileNames.size();
        struct stat st { };
        Entry entry { name, ::stat(target.c_str(), &st) == 0 };

        // The same name listed twice: the later download is the one that counts.
        bool duplicate = false;
        for (const Entry& e : entries)
            duplicate = duplicate || e.name == name;
        if (duplicate)
            continue;

        mode_t mode = entry.existed ? (st.st_mode & 07777) : (0666 & ~mask);
        if (launcher)
            mode |= (0111 & ~mask) | S_IXUSR;
        if (::chmod(staged.c_str(), mode) != 0 || !syncPath(staged, false)) {
            rollback();
            return fail("cannot prepare " + staged + ": " + errnoText());
        }
        if (entry.existed) {
            const std::string old = stagingFolder() + "/old/" + name;
            ::unlink(old.c_str());
            if (::link(target.c_str(), old.c_str()) != 0) {
                rollback();
                return fail("cannot keep " + target + ": " + errnoText());
            }
        }
        entries.push_back(entry);
    }
    syncPath(stagingFolder() + "/old", true);
    syncPath(stagingFolder() + "/new", true);
    step("backups-made");
    if (!writeJournal("committing", entries)) {
        rollback();
        return false;
    }
    step("journal-written");

    // Move in the order of the list; the launcher, listed last, goes last.
    for (const Entry& e : entries) {
        const std::string target = m_folder + e.name;
        const std::string staged = stagedPath(e.name);
        if (::rename(staged.c_str(), target.c_str()) != 0) {
            const std::string why = "cannot move " + e.name + " into place: " + errnoText();
            restore(entries);
            removeStaging();
            return fail(why);
        }
        step(("renamed:" + e.name).c_str());
    }
    syncPath(m_folder, true);
    if (!writeJournal("committed", entries)) {
        const std::string why = m_error;
        restore(entries);
        removeStaging();
        return fail(why);
    }
    step("journal-committed");
    removeStaging();
    step("done");
    return true;
}

void InstallTransaction::rollback()
{
    std::string state;
    std::vector<Entry> entries;
    if (readJournal(state, entries) && state == "committing")
        restore(entries);
    removeStaging();
}

} // namespace kest::update
