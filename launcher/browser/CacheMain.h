#pragma once

#include "launcher/browser/CookieKeeper.h"

#include <QObject>

#include <functional>

class QWebEngineProfile;
class QWidget;

namespace kest {

// Empties the browser's HTTP cache so that pages fetch their files afresh,
// and keeps cookies (session ones included) and history. Asynchronous: `done`
// runs once the engine has finished and the cookies are back, on `context`'s
// thread, unless `context` has gone. A second request while one runs joins
// the running one.
//
// The engine does not say when its cache clearing has ended. The end is seen
// through a probe: a session cookie of a host no page visits is set before,
// and set again every kPollMs after, numbered 1, 2, 3...; while the old
// network context lives, probe n replaces probe n - 1 there (cookieRemoved of
// n - 1, then cookieAdded of n); once the context has been recreated, the
// probe was gone and cookieAdded of n comes without that removal. Should an engine keep its context
// (a later Qt), the clearing counts as done after kGiveUpMs, with a line in the event log.
void ClearBrowserCache(QWebEngineProfile* profile, QObject* context, std::function<void()> done);

// The menu's "clear cache": ClearBrowserCache, then the notice
// "缓存已清理完毕！" titled "缓存清理" with the information icon, over `owner`.
void clearCacheWithNotice(QWidget* owner);

} // namespace kest
