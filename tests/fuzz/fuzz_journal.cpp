// libFuzzer target: the update journal's reader must take any bytes without
// crashing (recovery reads whatever a crash, a full disk or a stranger left in
// the staging folder), and what it accepts must hold up: a known state, and
// only names that stay inside the install folder. What it reads, written again,
// reads back the same. And any names, written as a commit writes them, read
// back byte for byte.
#include "updater/core/transaction.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using kest::update::InstallTransaction;
using kest::update::JournalEntry;
using kest::update::JournalText;

namespace {

JournalText parse(const std::string& bytes)
{
    std::istringstream in(bytes);
    return kest::update::parseJournal(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const JournalText read = parse(bytes);
    switch (read.verdict) {
    case JournalText::Verdict::Absent:
        if (!read.entries.empty() || !read.state.empty())
            std::abort();
        break;
    case JournalText::Verdict::Refused:
        if (read.refused.empty())
            std::abort();
        break;
    case JournalText::Verdict::Readable: {
        if (read.state != "committing" && read.state != "committed")
            std::abort();
        for (const JournalEntry& e : read.entries) {
            if (!InstallTransaction::isPlainFileName(e.name))
                std::abort();
        }
        const JournalText again = parse(kest::update::journalText(read.state, read.entries));
        if (again.verdict != JournalText::Verdict::Readable || again.state != read.state
            || again.entries != read.entries)
            std::abort();
        break;
    }
    }

    // The input as names, split at NUL bytes (which no name holds).
    std::vector<JournalEntry> entries;
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const size_t end = rest.find('\0');
        const std::string name(rest.substr(0, end));
        if (InstallTransaction::isPlainFileName(name))
            entries.push_back({ name, name.size() % 2 == 0 });
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    const JournalText written = parse(kest::update::journalText("committing", entries));
    if (written.verdict != JournalText::Verdict::Readable || written.entries != entries)
        std::abort();
    return 0;
}
