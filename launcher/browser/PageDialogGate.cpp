#include "launcher/browser/PageDialogGate.h"

#include <cstddef>

namespace kest {

PageDialogGate::Answer PageDialogGate::ask(PageDialog kind, bool shown)
{
    Answer answer;
    if (!shown)
        answer.verdict = Verdict::PageNotShown;
    else if (m_open)
        answer.verdict = Verdict::DialogOpen;
    if (answer.verdict == Verdict::Show) {
        m_open = true;
        return answer;
    }
    bool& logged = m_logged[static_cast<std::size_t>(kind)];
    answer.log = !logged;
    logged = true;
    return answer;
}

} // namespace kest
