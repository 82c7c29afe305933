#pragma once

#include "tests/support/http_server.h"

namespace kest::test {

// The well-formed answers of the downloader tests:
//   /file/<n>            200, Content-Length n, n pattern bytes (patternBytes)
//   /chunked/<n>         200, chunked, n pattern bytes
//   /close-delimited/<n> 200, no Content-Length, body ends when the connection closes
//   /empty               200, Content-Length 0
//   /missing             404 with a body
//   /error               500 with a body
//   /loop                302 to itself, for ever
//   /redirect/<k>/<n>    k redirects, then /file/<n>
//   /redirect-missing    302 to /missing
//   /redirect-file       302 to file:///etc/hostname
void addDownloadRoutes(HttpServer& server);

} // namespace kest::test
