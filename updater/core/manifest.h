#pragma once

// The version manifest and the updater's command line: plain rules with no
// window and no Qt, shared by the launcher's check and the updater, and small
// enough to fuzz.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kest::update {

// The manifest is a few hundred bytes; a reader takes no more than this, so
// a broken or hostile server cannot make either program hold gigabytes.
inline constexpr long long kManifestSizeLimit = 1 << 20;

// Lines of the manifest. CR LF and a CR alone end a line; a LF alone does
// not, so a file with bare LF line ends reads as one line. A last line without
// an end counts; an empty file has no lines.
std::vector<std::string_view> manifestLines(std::string_view bytes);

// Whether a line names the version: it contains "version" in any case.
bool isVersionLine(std::string_view line);

// The value of the first version line: from its ninth character to its end,
// with leading and trailing spaces removed (the separator after "version" is
// skipped, never examined). Nothing when no line names the version.
std::optional<std::string> manifestVersion(std::string_view bytes);

// Only an exact match is current: 1.0.9 against 1.1.0, or 1.1.00 against
// 1.1.0, both offer an update.
inline bool isSameVersion(std::string_view manifestValue, std::string_view ownVersion)
{
    return manifestValue == ownVersion;
}

// Orders two versions of dotted decimal numbers ("1.10.0" after "1.9.2";
// "1.1" before "1.1.0"): negative, zero or positive as a is before, equal to
// or after b. Nothing when either is not of that form, so it cannot be placed.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

// The file name a URL is saved as: the text after its last "/" (the whole URL
// when it has none).
std::string fileNameFromUrl(std::string_view url);

// The largest file a manifest may list (and the largest size field read).
inline constexpr long long kFileSizeLimit = 1LL << 40;

struct ManifestFile {
    std::string url;
    std::string fileName;
    // "name|address|sha256|size": the file's SHA-256 in lower-case hex and its
    // size in bytes; empty and -1 when the line carries none.
    std::string sha256;
    long long size = -1;
    bool isChecked() const { return !sha256.empty() && size >= 0; }
};

// Whether file lines must carry their SHA-256 and size (a signed manifest),
// or may, as manifests made before both fields existed.
enum class FileChecks { Optional, Required };

enum class ManifestError {
    None,
    NoFileLine, // nothing to download
    BadUrl, // a URL that is not http:// or https://, or holds a space or a
            // control character (a bare-LF manifest's lines run together:
            // with a version line it has no file line, without one it ends here)
    BadFileName, // "", "." or ".." (or a name with a NUL): it would not name a file
    MissingChecks, // a file line without its SHA-256 and size where they are required
    BadChecks, // a SHA-256 or size field that is not one, where they are required
};

struct ManifestFiles {
    std::vector<ManifestFile> files; // in download order; the launcher is last
    ManifestError error = ManifestError::None;
    std::string badLine; // the line that was refused, for the event log
};

// The file lines of a manifest, checked before anything is written: lines
// that name the version are skipped, lines without "|" carry no URL and are
// skipped, and one damaged file line refuses the whole manifest. Where checks
// are optional, fields that are not a SHA-256 and a size are ignored, as
// readers made before them ignore every further field.
ManifestFiles manifestFiles(std::string_view bytes, FileChecks checks = FileChecks::Optional);

const char* describe(ManifestError error);

// The updater's command line: "install folder|launcher path". The install
// folder is the launcher's folder without a trailing "/" (except the root
// itself); the launcher path is that folder, "/", and the executable's name as
// it is (executables here carry no suffix to exchange, and a dot inside the
// name belongs to it). Nothing when the path cannot be carried: it is not
// absolute, names a folder, or holds "|" (the separator) or a NUL.
std::optional<std::string> buildUpdaterCommandLine(std::string_view launcherExecutablePath);

struct UpdaterCommandLine {
    std::string installFolder; // always ends in "/"
    std::string launcherPath;
};

// Splits at "|": field 0 is the install folder ("/" appended when missing),
// field 1 the launcher. Nothing when either is missing or empty (the updater
// was started by hand), the folder is not absolute, a field holds a NUL, or
// the launcher does not live in the install folder (a folder name holding "|"
// splits in the wrong place, and the update must not land in another folder).
std::optional<UpdaterCommandLine> parseUpdaterCommandLine(std::string_view commandLine);

} // namespace kest::update
