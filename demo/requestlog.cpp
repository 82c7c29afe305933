#include "demo/requestlog.h"

namespace kest::demo {

namespace {

// Keeps every entry on one line whatever a client sends: control bytes
// (a decoded %0A, say) are written as \xNN.
void appendPrintable(std::string& line, std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) {
            line += "\\x";
            line += hex[c >> 4];
            line += hex[c & 0xf];
        } else {
            line += ch;
        }
    }
}

} // namespace

RequestLog::~RequestLog()
{
    if (m_owned)
        std::fclose(m_file);
}

bool RequestLog::open(const std::string& path)
{
    if (path.empty())
        return true;
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return false;
    m_file = file;
    m_owned = true;
    return true;
}

void RequestLog::request(std::string_view method, std::string_view target, std::string_view cookie)
{
    std::string line;
    appendPrintable(line, method);
    line += ' ';
    appendPrintable(line, target);
    line += " Cookie: ";
    appendPrintable(line, cookie);
    writeLine(line);
}

void RequestLog::note(std::string_view text)
{
    std::string line = "# ";
    appendPrintable(line, text);
    writeLine(line);
}

void RequestLog::writeLine(const std::string& line)
{
    const std::lock_guard lock(m_mutex);
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

} // namespace kest::demo
