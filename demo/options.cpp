#include "demo/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <optional>

#include <sys/stat.h>

namespace kest::demo {

namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

template <typename Number> std::optional<Number> parseNumber(const std::string& text)
{
    Number value {};
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

bool isReadableRegularFile(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return std::ifstream(path, std::ios::binary).good();
}

bool isValidVersionText(const std::string& text)
{
    // Free text on purpose (tests serve "1.1.00" or "1.0.9"), but it stays
    // one manifest line without field separators.
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '+';
    });
}

} // namespace

std::optional<LoginMode> parseLoginMode(const std::string& text)
{
    if (text == "normal")
        return LoginMode::Normal;
    if (text == "short")
        return LoginMode::Short;
    if (text == "error500")
        return LoginMode::Error500;
    if (text == "error404long")
        return LoginMode::Error404Long;
    if (text == "slow")
        return LoginMode::Slow;
    return std::nullopt;
}

bool isValidFileName(const std::string& name)
{
    if (name.empty() || name.size() > 128 || name == "." || name == "..")
        return false;
    if (lowered(name).find("version") != std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '+';
    });
}

std::string usageText()
{
    return "Usage: kest-demo [options]\n"
           "The demo game platform for kest: login page, game pages, home page,\n"
           "version manifest and update files, on 127.0.0.1 only.\n"
           "\n"
           "  --port N              port to listen on (default "
        + std::to_string(KEST_DEMO_DEFAULT_PORT)
        + "; 0 picks a free one)\n"
          "  --version X.Y.Z       version named by the manifest "
          "(default " KEST_DEMO_DEFAULT_VERSION ",\n"
          "                        the build's own, so nothing asks to update)\n"
          "  --file NAME=PATH      list PATH in the manifest and serve it at\n"
          "                        /gamehome/kest/files/NAME (repeatable; list the\n"
          "                        launcher last)\n"
          "  --manifest-file PATH  serve PATH's bytes verbatim as the manifest\n"
          "  --signature-file PATH serve PATH's bytes as the manifest's signature\n"
          "  --tls-cert PATH --tls-key PATH\n"
          "                        serve https with this certificate and key (PEM)\n"
          "                        (update.txt.minisig; without it, 404)\n"
          "  --file-rate BYTES     send the listed files at BYTES per second\n"
          "  --login-mode MODE     normal | short (page under 1500 characters) |\n"
          "                        error500 | error404long (the login page, status\n"
          "                        404) | slow (a page that never completes)\n"
          "  --login-mode-file PATH  read on every login page request: a mode\n"
          "                        named there overrides --login-mode\n"
          "  --login-page PATH     serve PATH as the login page (normal mode), read\n"
          "                        on every request: try a platform's own page\n"
          "  --login-delay MS      answer the login page MS milliseconds late\n"
          "  --log FILE            append the request log to FILE (default stderr)\n"
          "  --help                show this text\n"
          "\n"
          "Prints \"listening on 127.0.0.1:PORT\" when ready; ends on SIGTERM or SIGINT.\n";
}

ParseResult parseCommandLine(const std::vector<std::string>& arguments)
{
    ParseResult result;
    Options& options = result.options;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }

        if (name == "--help" || name == "-h") {
            if (value)
                return fail("option --help takes no value");
            options.help = true;
            continue;
        }

        static const char* const valued[] = { "--port", "--version", "--file", "--log",
            "--login-mode", "--login-mode-file", "--login-page", "--login-delay", "--manifest-file",
            "--signature-file", "--tls-cert", "--tls-key", "--file-rate" };
        if (std::find(std::begin(valued), std::end(valued), name) == std::end(valued))
            return fail("unknown option '" + arguments[i] + "'");
        if (!value) {
            if (i + 1 >= arguments.size())
                return fail("option " + name + " needs a value");
            value = arguments[++i];
        }

        if (name == "--port") {
            const auto port = parseNumber<int>(*value);
            if (!port || *port < 0 || *port > 65535)
                return fail("--port: '" + *value + "' is not a port number (0 to 65535)");
            options.port = *port;
        } else if (name == "--version") {
            if (!isValidVersionText(*value))
                return fail("--version: '" + *value + "' is not a version (for example 1.2.0)");
            options.version = *value;
        } else if (name == "--file") {
            const auto equals = value->find('=');
            if (equals == std::string::npos)
                return fail("--file: '" + *value + "' is not NAME=PATH");
            ServedFile file { value->substr(0, equals), value->substr(equals + 1) };
            if (!isValidFileName(file.name))
                return fail("--file: '" + file.name
                    + "' is not a usable file name (letters, digits, . - _ +; not containing "
                      "\"version\")");
            for (const ServedFile& earlier : options.files) {
                if (earlier.name == file.name)
                    return fail("--file: '" + file.name + "' is listed twice");
            }
            if (!isReadableRegularFile(file.localPath))
                return fail("--file: cannot read '" + file.localPath + "'");
            options.files.push_back(std::move(file));
        } else if (name == "--log") {
            if (value->empty())
                return fail("--log: empty file name");
            options.logPath = *value;
        } else if (name == "--login-mode") {
            const auto mode = parseLoginMode(*value);
            if (!mode)
                return fail("--login-mode: '" + *value
                    + "' is not one of normal, short, error500, error404long, slow");
            options.loginMode = *mode;
        } else if (name == "--login-mode-file") {
            if (!isReadableRegularFile(*value))
                return fail("--login-mode-file: cannot read '" + *value + "'");
            options.loginModeFile = *value;
        } else if (name == "--login-page") {
            if (!isReadableRegularFile(*value))
                return fail("--login-page: cannot read '" + *value + "'");
            options.loginPageFile = *value;
        } else if (name == "--login-delay") {
            const auto delay = parseNumber<std::uint32_t>(*value);
            if (!delay || *delay > 600000)
                return fail("--login-delay: '" + *value
                    + "' is not a number of milliseconds (0 to 600000)");
            options.loginDelayMs = *delay;
        } else if (name == "--manifest-file") {
            if (!isReadableRegularFile(*value))
                return fail("--manifest-file: cannot read '" + *value + "'");
            options.manifestFile = *value;
        } else if (name == "--signature-file") {
            if (!isReadableRegularFile(*value))
                return fail("--signature-file: cannot read '" + *value + "'");
            options.signatureFile = *value;
        } else if (name == "--tls-cert" || name == "--tls-key") {
            if (!isReadableRegularFile(*value))
                return fail(name + ": cannot read '" + *value + "'");
            (name == "--tls-cert" ? options.tlsCertFile : options.tlsKeyFile) = *value;
        } else if (name == "--file-rate") {
            const auto rate = parseNumber<std::uint64_t>(*value);
            if (!rate)
                return fail("--file-rate: '" + *value + "' is not a number of bytes per second");
            options.fileRate = *rate;
        }
    }
    if (options.tlsCertFile.empty() != options.tlsKeyFile.empty())
        return fail("--tls-cert and --tls-key go together");
    return result;
}

} // namespace kest::demo
