// Which folder may reach which: every #include "..." line and every
// target_link_libraries line of the tree, checked against the layers the
// design draws. platform/ is the bottom; the libraries never reach the
// launcher; the updater carries no window plumbing or tab strip; inside the
// launcher, the browser and shared pieces sit below the login and main
// windows, which stay apart.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folders each checked folder may reach besides itself. Folders not named
// here (tests, bench, demo, the build files at the top) may reach anything.
const std::map<std::string, std::set<std::string>> kAllowed = {
    { "platform", {} },
    { "resources", { "platform" } },
    { "skin", { "platform", "resources" } },
    { "winhook", { "platform" } },
    { "tabstrip", { "platform", "resources", "skin", "winhook" } },
    { "updater", { "platform", "resources", "skin" } },
    { "launcher/browser", { "platform", "resources" } },
    { "launcher/shared", { "platform", "resources", "updater", "launcher/browser" } },
    { "launcher/login",
        { "platform", "resources", "skin", "winhook", "updater", "launcher/browser",
            "launcher/shared" } },
    { "launcher/mainwindow",
        { "platform", "resources", "skin", "winhook", "tabstrip", "updater", "launcher/browser",
            "launcher/shared" } },
    { "launcher/engine",
        { "platform", "resources", "skin", "winhook", "tabstrip", "updater", "launcher/browser",
            "launcher/shared", "launcher/login", "launcher/mainwindow" } },
    // The front program: it must stay clear of the browser engine's side,
    // which it only loads.
    { "launcher", { "platform", "resources", "updater", "launcher/shared", "launcher/login" } },
};

const std::set<std::string> kTopFolders = { "platform", "resources", "skin", "winhook", "tabstrip",
    "updater", "launcher", "demo", "tests", "bench" };

// The folder a path (relative to the source root) belongs to: its top folder,
// or launcher/<part> for the launcher's parts.
std::string folderOf(const fs::path& relative)
{
    std::vector<std::string> parts;
    for (const fs::path& part : relative)
        parts.push_back(part.string());
    if (parts.empty())
        return {};
    if (parts[0] == "launcher" && parts.size() > 2)
        return parts[0] + "/" + parts[1];
    return parts.size() > 1 ? parts[0] : std::string();
}

std::string allowedText(const std::set<std::string>& allowed)
{
    std::string text;
    for (const std::string& folder : allowed)
        text += (text.empty() ? "only " : ", ") + folder;
    return text.empty() ? "nothing of ours" : text;
}

struct Finding {
    std::string file;
    int line;
    std::string from;
    std::string to;
    std::string what;
};

class Tree {
public:
    explicit Tree(fs::path root)
        : m_root(std::move(root))
    {
        for (auto it = fs::recursive_directory_iterator(m_root); it != fs::end(it); ++it) {
            const fs::path relative = fs::relative(it->path(), m_root);
            const std::string top = relative.begin()->string();
            if (it->is_directory()
                && (top == "build" || top.starts_with("build-") || top[0] == '.')) {
                it.disable_recursion_pending();
                continue;
            }
            if (!it->is_regular_file() || !kTopFolders.contains(top))
                continue;
            const std::string ext = relative.extension().string();
            if (relative.filename() == "CMakeLists.txt")
                m_cmakeFiles.push_back(relative);
            else if (ext == ".cpp" || ext == ".h")
                m_sources.push_back(relative);
        }
        for (const fs::path& file : m_cmakeFiles)
            readTargets(file);
    }

    // Every line by which a checked folder reaches another.
    std::vector<Finding> reaches() const
    {
        std::vector<Finding> found;
        for (const fs::path& file : m_sources)
            includesOf(file, found);
        for (const fs::path& file : m_cmakeFiles)
            linksOf(file, found);
        return found;
    }

private:
    std::vector<std::string> lines(const fs::path& relative) const
    {
        std::ifstream in(m_root / relative);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    // CMake text without comments, line by line.
    std::vector<std::string> cmakeLines(const fs::path& relative) const
    {
        std::vector<std::string> result = lines(relative);
        for (std::string& line : result)
            if (const auto hash = line.find('#'); hash != std::string::npos)
                line.erase(hash);
        return result;
    }

    void readTargets(const fs::path& file)
    {
        static const std::regex declared(R"(\badd_(library|executable)\(\s*([A-Za-z0-9_.+-]+))");
        for (const std::string& line : cmakeLines(file))
            for (std::sregex_iterator it(line.begin(), line.end(), declared), end; it != end; ++it)
                m_targets[(*it)[2]] = folderOf(file);
    }

    void includesOf(const fs::path& file, std::vector<Finding>& found) const
    {
        static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
        const std::string from = folderOf(file);
        int number = 0;
        for (const std::string& line : lines(file)) {
            ++number;
            std::smatch match;
            if (!std::regex_search(line, match, include))
                continue;
            const fs::path named = match[1].str();
            fs::path target;
            if (kTopFolders.contains(named.begin()->string()))
                target = named;
            else if (fs::exists(m_root / file.parent_path() / named))
                target = (file.parent_path() / named).lexically_normal();
            else
                continue; // a system or generated header
            const std::string to = folderOf(target);
            if (!to.empty() && to != from)
                found.push_back(
                    { file.generic_string(), number, from, to, named.generic_string() });
        }
    }

    void linksOf(const fs::path& file, std::vector<Finding>& found) const
    {
        static const std::regex word(R"([A-Za-z0-9_.:+$<>{}-]+)");
        const std::vector<std::string> text = cmakeLines(file);
        bool inside = false;
        std::string linking;
        for (size_t i = 0; i < text.size(); ++i) {
            std::string line = text[i];
            if (!inside) {
                const auto start = line.find("target_link_libraries(");
                if (start == std::string::npos)
                    continue;
                inside = true;
                linking.clear();
                line = line.substr(start + std::string("target_link_libraries(").size());
            }
            const auto close = line.find(')');
            const std::string items = line.substr(0, close);
            for (std::sregex_iterator it(items.begin(), items.end(), word), end; it != end; ++it) {
                const std::string item = it->str();
                if (linking.empty()) {
                    linking = item;
                    continue;
                }
                const auto target = m_targets.find(item);
                if (target == m_targets.end())
                    continue;
                const auto source = m_targets.find(linking);
                const std::string from
                    = source != m_targets.end() ? source->second : folderOf(file);
                if (!target->second.empty() && target->second != from)
                    found.push_back({ file.generic_string(), static_cast<int>(i + 1), from,
                        target->second, linking + " -> " + item });
            }
            if (close != std::string::npos)
                inside = false;
        }
    }

    fs::path m_root;
    std::vector<fs::path> m_sources;
    std::vector<fs::path> m_cmakeFiles;
    std::map<std::string, std::string> m_targets; // target -> folder it is declared in
};

TEST(Layering, IncludesAndLinksFollowTheLayers)
{
    const char* root = std::getenv("KEST_SOURCE_DIR");
    ASSERT_TRUE(root && fs::is_directory(root)) << "KEST_SOURCE_DIR names no folder";
    const std::vector<Finding> found = Tree(root).reaches();
    ASSERT_FALSE(found.empty()) << "no include or link line was read under " << root;

    for (const Finding& f : found) {
        const auto rules = kAllowed.find(f.from);
        if (rules == kAllowed.end() || rules->second.contains(f.to))
            continue;
        ADD_FAILURE() << f.file << ":" << f.line << ": " << f.from << " reaches " << f.to << " ("
                      << f.what << "); rule: " << f.from << " may reach "
                      << allowedText(rules->second);
    }
}

} // namespace
