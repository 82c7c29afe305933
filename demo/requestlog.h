#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace kest::demo {

// One line per request, written when the request arrives:
//   <METHOD> <target> Cookie: <Cookie header>
// The target as it arrived (path and query, still percent-encoded); the
// header value empty when the request carried none, and percent-decoded, as
// cpp-httplib 0.11 decodes every header value it reads. Control bytes are
// written as \xNN, so every entry is one line. The server's own lines begin
// with "# ". Lines are flushed at once, so a test can read the log while the
// server runs.
class RequestLog final {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    // Appends to path; an empty path means stderr. False when it cannot be opened.
    bool open(const std::string& path);

    void request(std::string_view method, std::string_view target, std::string_view cookie);
    void note(std::string_view text); // a line of the server's own ("# ...")

private:
    void writeLine(const std::string& line);

    std::mutex m_mutex;
    std::FILE* m_file = stderr;
    bool m_owned = false;
};

} // namespace kest::demo
