#pragma once

#include <array>

namespace kest {

// The dialogs a page's script can ask for.
enum class PageDialog { Alert, Confirm, Prompt };

// Decides whether a page's script gets the dialog it asks for. Each dialog
// runs a modal loop: from a page the player does not see (a tab behind
// another, a hidden or minimised main window, the login page before its
// windows show) nobody would answer it, and a page calling again and again
// would stack loop upon loop. So a page that is not shown gets no dialog, and
// a page gets one dialog at a time. Each kind of refused dialog is worth one
// event log line per page, however often the page asks.
class PageDialogGate final {
public:
    enum class Verdict {
        Show, // open the dialog, then call closed()
        PageNotShown,
        DialogOpen, // the page has a dialog open already
    };
    struct Answer {
        Verdict verdict = Verdict::Show;
        bool log = false; // the first refusal of this kind: say so
    };

    // `shown`: the page is where the player can see it.
    Answer ask(PageDialog kind, bool shown);
    // The dialog that ask() let open has closed.
    void closed() { m_open = false; }
    bool dialogOpen() const { return m_open; }

private:
    bool m_open = false;
    std::array<bool, 3> m_logged {};
};

} // namespace kest
