#include "demo/content.h"

#include <cstdint>
#include <cstdio>

namespace kest::demo {

namespace {

bool isAsciiWordChar(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'
        || c == '-';
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

bool isValidAccount(std::string_view name)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        std::size_t length = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            if (!isAsciiWordChar(lead))
                return false;
            length = 1;
            codePoint = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > name.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(name[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates, C1 controls and out-of-range values.
        static const char32_t minimum[] = { 0, 0, 0x80, 0x800, 0x10000 };
        if (codePoint < minimum[length] || (codePoint >= 0xD800 && codePoint <= 0xDFFF)
            || codePoint > 0x10FFFF || (codePoint >= 0x80 && codePoint < 0xA0))
            return false;
        i += length;
        ++characters;
    }
    return characters >= 1 && characters <= 24;
}

std::string percentEncode(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isAsciiWordChar(c) || c == '.' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xf];
        }
    }
    return out;
}

std::string gameAddress(std::string_view host, std::string_view account)
{
    std::string address = "http://";
    address += host;
    address += "/game/";
    address += percentEncode(account);
    return address;
}

std::string requestHost(std::string_view hostHeader, std::string_view fallback)
{
    const bool plain = !hostHeader.empty() && hostHeader.size() <= 255
        && hostHeader.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                        "0123456789.-:[]")
            == std::string_view::npos;
    return std::string(plain ? hostHeader : fallback);
}

std::optional<std::string> cookieValue(std::string_view cookieHeader, std::string_view name)
{
    std::size_t start = 0;
    while (start <= cookieHeader.size()) {
        std::size_t end = cookieHeader.find(';', start);
        if (end == std::string_view::npos)
            end = cookieHeader.size();
        std::string_view pair = cookieHeader.substr(start, end - start);
        while (!pair.empty() && pair.front() == ' ')
            pair.remove_prefix(1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name)
            return std::string(pair.substr(equals + 1));
        start = end + 1;
    }
    return std::nullopt;
}

std::string buildManifest(std::string_view version, const std::vector<ServedFile>& files,
    std::string_view host, std::string_view scheme)
{
    // "version" + one separator: the launcher reads the value from the ninth
    // character on.
    std::string manifest = "version=";
    manifest += version;
    manifest += "\r\n";
    for (const ServedFile& file : files) {
        // The first field is read by neither program; the file's name keeps
        // the manifest readable.
        manifest += file.name;
        manifest += '|';
        manifest += scheme;
        manifest += "://";
        manifest += host;
        manifest += "/gamehome/kest/files/";
        manifest += file.name;
        manifest += "\r\n";
    }
    return manifest;
}

std::string renderTemplate(
    std::string_view tmpl, const std::vector<std::pair<std::string_view, std::string>>& values)
{
    std::string out;
    out.reserve(tmpl.size());
    std::size_t pos = 0;
    while (pos < tmpl.size()) {
        const std::size_t open = tmpl.find("{{", pos);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = tmpl.find("}}", open + 2);
        if (close == std::string_view::npos)
            break;
        const std::string_view key = tmpl.substr(open + 2, close - open - 2);
        out += tmpl.substr(pos, open - pos);
        bool replaced = false;
        for (const auto& [name, value] : values) {
            if (name == key) {
                out += value;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += tmpl.substr(open, close + 2 - open);
        pos = close + 2;
    }
    out += tmpl.substr(pos);
    return out;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    for (const char ch : text) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || ch == '<' || ch == '>' || ch == '&') {
            // Also escapes the characters that could end a <script> block.
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}

std::string contentTypeFor(std::string_view path)
{
    if (endsWith(path, ".html"))
        return "text/html; charset=utf-8";
    if (endsWith(path, ".css"))
        return "text/css; charset=utf-8";
    if (endsWith(path, ".js"))
        return "text/javascript; charset=utf-8";
    if (endsWith(path, ".svg"))
        return "image/svg+xml";
    if (endsWith(path, ".png"))
        return "image/png";
    if (endsWith(path, ".ico"))
        return "image/x-icon";
    if (endsWith(path, ".txt"))
        return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

std::string entityTag(std::string_view bytes)
{
    // FNV-1a: enough to tell two versions of a page file apart.
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char ch : bytes) {
        hash ^= static_cast<unsigned char>(ch);
        hash *= 1099511628211ULL;
    }
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return buffer;
}

} // namespace kest::demo
