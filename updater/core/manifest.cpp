#include "updater/core/manifest.h"

#include "updater/core/signature.h"

#include <algorithm>
#include <cctype>

namespace kest::update {

std::vector<std::string_view> manifestLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\r') {
            lines.push_back(bytes.substr(start, i - start));
            i += (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

bool isVersionLine(std::string_view line)
{
    static constexpr std::string_view word = "version";
    if (line.size() < word.size())
        return false;
    for (size_t i = 0; i + word.size() <= line.size(); ++i) {
        bool match = true;
        for (size_t j = 0; j < word.size() && match; ++j) {
            const auto c = static_cast<unsigned char>(line[i + j]);
            match = std::tolower(c) == word[j];
        }
        if (match)
            return true;
    }
    return false;
}

std::optional<std::string> manifestVersion(std::string_view bytes)
{
    for (std::string_view line : manifestLines(bytes)) {
        if (!isVersionLine(line))
            continue;
        std::string_view value = line.size() > 8 ? line.substr(8) : std::string_view();
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        while (!value.empty() && value.back() == ' ')
            value.remove_suffix(1);
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<int> compareVersions(std::string_view a, std::string_view b)
{
    // Numbers of up to nine digits: no overflow, and no version is longer.
    const auto parts = [](std::string_view text) -> std::optional<std::vector<long>> {
        std::vector<long> numbers;
        for (;;) {
            const size_t dot = text.find('.');
            const std::string_view part = text.substr(0, dot);
            if (part.empty() || part.size() > 9
                || !std::all_of(
                    part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return std::nullopt;
            numbers.push_back(std::stol(std::string(part)));
            if (dot == std::string_view::npos)
                return numbers;
            text.remove_prefix(dot + 1);
        }
    };
    const auto left = parts(a);
    const auto right = parts(b);
    if (!left || !right)
        return std::nullopt;
    if (*left < *right)
        return -1;
    return *left == *right ? 0 : 1;
}

std::string fileNameFromUrl(std::string_view url)
{
    const size_t slash = url.rfind('/');
    return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a))
            == std::tolower(static_cast<unsigned char>(b));
    });
}

// A bare LF stays inside a line, so a LF-only manifest's "URL" runs on into
// the next line: control characters and spaces refuse it, as no address
// holds them unescaped.
bool isHttpUrl(std::string_view url)
{
    for (std::string_view scheme : { std::string_view("http://"), std::string_view("https://") }) {
        if (startsWithNoCase(url, scheme) && url.size() > scheme.size())
            return std::none_of(url.begin(), url.end(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return byte <= 0x20 || byte == 0x7f;
            });
    }
    return false;
}

std::optional<long long> parseSize(std::string_view text)
{
    if (text.empty() || text.size() > 15
        || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long long value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    if (value > kFileSizeLimit)
        return std::nullopt;
    return value;
}

// The fields of a line after the first "|": the address, then the rest.
std::vector<std::string_view> fieldsAfterName(std::string_view line, size_t bar)
{
    std::vector<std::string_view> fields;
    std::string_view rest = line.substr(bar + 1);
    for (;;) {
        const size_t next = rest.find('|');
        fields.push_back(rest.substr(0, next));
        if (next == std::string_view::npos)
            return fields;
        rest.remove_prefix(next + 1);
    }
}

} // namespace

ManifestFiles manifestFiles(std::string_view bytes, FileChecks checks)
{
    ManifestFiles result;
    const auto refuse = [&result](ManifestError error, std::string_view line) {
        result.error = error;
        result.badLine = std::string(line);
        result.files.clear();
        return result;
    };
    for (std::string_view line : manifestLines(bytes)) {
        if (isVersionLine(line))
            continue;
        const size_t bar = line.find('|');
        if (bar == std::string_view::npos)
            continue;
        const std::vector<std::string_view> fields = fieldsAfterName(line, bar);
        const std::string_view url = fields[0];
        if (!isHttpUrl(url))
            return refuse(ManifestError::BadUrl, line);
        std::string name = fileNameFromUrl(url);
        if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos)
            return refuse(ManifestError::BadFileName, line);

        ManifestFile file { std::string(url), std::move(name), {}, -1 };
        const std::string_view hash = fields.size() > 1 ? fields[1] : std::string_view();
        const std::string_view size = fields.size() > 2 ? fields[2] : std::string_view();
        const std::optional<long long> bytesListed = parseSize(size);
        if (isSha256Hex(hash) && bytesListed) {
            file.sha256 = std::string(hash);
            file.size = *bytesListed;
        } else if (checks == FileChecks::Required) {
            return refuse(hash.empty() && size.empty() ? ManifestError::MissingChecks
                                                       : ManifestError::BadChecks,
                line);
        }
        result.files.push_back(std::move(file));
    }
    if (result.files.empty())
        result.error = ManifestError::NoFileLine;
    return result;
}

const char* describe(ManifestError error)
{
    switch (error) {
    case ManifestError::None:
        return "no error";
    case ManifestError::NoFileLine:
        return "the manifest lists no file";
    case ManifestError::BadUrl:
        return "a file line's address is not http or https";
    case ManifestError::BadFileName:
        return "a file line's address does not end in a file name";
    case ManifestError::MissingChecks:
        return "a file line carries no SHA-256 and size";
    case ManifestError::BadChecks:
        return "a file line's SHA-256 or size is malformed";
    }
    return "unknown error";
}

std::optional<std::string> buildUpdaterCommandLine(std::string_view launcherExecutablePath)
{
    const std::string_view path = launcherExecutablePath;
    if (path.empty() || path.front() != '/' || path.back() == '/'
        || path.find_first_of(std::string_view("|\0", 2)) != std::string_view::npos)
        return std::nullopt;
    const size_t slash = path.rfind('/');
    std::string folder(path.substr(0, slash));
    if (folder.empty())
        folder = "/"; // the launcher lives at the root itself
    return folder + "|" + folder + "/" + std::string(path.substr(slash + 1));
}

namespace {

std::string_view withoutTrailingSlashes(std::string_view path)
{
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

} // namespace

std::optional<UpdaterCommandLine> parseUpdaterCommandLine(std::string_view commandLine)
{
    const size_t bar = commandLine.find('|');
    if (bar == std::string_view::npos)
        return std::nullopt;
    std::string_view launcher = commandLine.substr(bar + 1);
    launcher = launcher.substr(0, launcher.find('|'));
    UpdaterCommandLine result { std::string(commandLine.substr(0, bar)), std::string(launcher) };
    if (result.installFolder.empty() || result.installFolder.front() != '/'
        || result.launcherPath.empty() || result.installFolder.find('\0') != std::string::npos
        || result.launcherPath.find('\0') != std::string::npos)
        return std::nullopt;
    const size_t slash = launcher.rfind('/');
    if (slash == std::string_view::npos || slash + 1 == launcher.size()
        || withoutTrailingSlashes(launcher.substr(0, slash))
            != withoutTrailingSlashes(result.installFolder))
        return std::nullopt;
    if (result.installFolder.back() != '/')
        result.installFolder += '/';
    return result;
}

} // namespace kest::update
