#pragma once

// Loading a page in a test: header only, for the test programs that link the
// browser engine themselves.

#include <QTest>
#include <QUrl>
#include <QWebEnginePage>

namespace kest::test {

// Loads `url` into `page`; true when the load finished in time and well.
inline bool loadPage(QWebEnginePage& page, const QUrl& url, int timeoutMs)
{
    bool finished = false;
    bool ok = false;
    const auto connection
        = QObject::connect(&page, &QWebEnginePage::loadFinished, &page, [&](bool success) {
              finished = true;
              ok = success;
          });
    page.setUrl(url);
    const bool came = QTest::qWaitFor([&] { return finished; }, timeoutMs);
    QObject::disconnect(connection);
    return came && ok;
}

} // namespace kest::test
