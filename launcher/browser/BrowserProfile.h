#pragma once

class QWebEnginePage;
class QWebEngineProfile;

namespace kest {

// The program's one browser profile, shared by the login windows and every
// game page so that the login's cookies reach the game pages. It is named
// "kest" and kept on disk: persistent data under $XDG_DATA_HOME/kest/browser,
// the HTTP cache under $XDG_CACHE_HOME/kest/browser, both folders mode 0700. Created on first use
// (the application object must exist).
QWebEngineProfile* browserProfile();

// Deletes the profile, unless a page made from it is still alive (the engine
// would be left with a page whose profile is gone): then it is left to the
// end of the process. The next browserProfile() makes a new one. Called by
// the launcher's owner once its windows are gone; otherwise this happens as
// the application object goes.
void releaseBrowserProfile();

// Every page made on the profile is registered here. The profile must outlive
// its pages: a page still alive when the application ends keeps the profile
// from being deleted (the engine would otherwise be left with pages whose
// profile is gone).
void trackBrowserPage(QWebEnginePage* page);

} // namespace kest
