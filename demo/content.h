#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "demo/options.h"

namespace kest::demo {

// The cookies the login step sets: one for the browser session (no expiry)
// and one that persists (Max-Age), so a test can tell which of them survive.
inline constexpr std::string_view kSessionCookie = "kest_session";
inline constexpr std::string_view kPersistentCookie = "kest_account";
inline constexpr int kPersistentCookieMaxAge = 30 * 24 * 3600;

// An account name the demo accepts: 1 to 24 characters, ASCII letters,
// digits, "_" and "-", and any non-ASCII character (Chinese names); valid
// UTF-8. Nothing that would change the meaning of a URL, of an app link
// ("|") or of a cookie.
bool isValidAccount(std::string_view name);

// "http://<host>/game/<name, percent-encoded>".
std::string gameAddress(std::string_view host, std::string_view account);

// The request's Host header when it is a plain host[:port], else the fallback:
// addresses the server writes into pages and the manifest name the host the
// client used.
std::string requestHost(std::string_view hostHeader, std::string_view fallback);

// Value of one cookie from a Cookie header; nullopt when absent.
std::optional<std::string> cookieValue(std::string_view cookieHeader, std::string_view name);

// The version manifest: "version=<version>" and one "<name>|<url>" line per
// file, every line ended by CR LF; the addresses use `scheme`.
std::string buildManifest(std::string_view version, const std::vector<ServedFile>& files,
    std::string_view host, std::string_view scheme = "http");

// Replaces every "{{KEY}}" of the template by its value (values are inserted
// as given: escape them first). Unknown keys stay as they are.
std::string renderTemplate(
    std::string_view tmpl, const std::vector<std::pair<std::string_view, std::string>>& values);

std::string htmlEscape(std::string_view text);
std::string jsonString(std::string_view text); // quoted JSON string
std::string percentEncode(std::string_view text); // all but unreserved characters

std::string contentTypeFor(std::string_view path);
std::string entityTag(std::string_view bytes); // quoted strong ETag of the bytes

} // namespace kest::demo
