// When a page's script gets its dialog: one row per story, each step with the
// answer it must get.
#include "launcher/browser/PageDialogGate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kest::PageDialog;
using Verdict = kest::PageDialogGate::Verdict;

struct Step {
    bool close; // the open dialog closes; the other fields are not read
    PageDialog kind;
    bool shown;
    Verdict verdict;
    bool log;
};

Step ask(PageDialog kind, bool shown, Verdict verdict, bool log)
{
    return { false, kind, shown, verdict, log };
}
const Step kClose { true, PageDialog::Alert, false, Verdict::Show, false };

struct Row {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class PageDialogGateTable : public ::testing::TestWithParam<Row> { };

TEST_P(PageDialogGateTable, Answers)
{
    kest::PageDialogGate gate;
    int n = 0;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE(n++);
        if (step.close) {
            gate.closed();
            EXPECT_FALSE(gate.dialogOpen());
            continue;
        }
        const kest::PageDialogGate::Answer answer = gate.ask(step.kind, step.shown);
        EXPECT_EQ(answer.verdict, step.verdict);
        EXPECT_EQ(answer.log, step.log);
    }
}

constexpr bool kShown = true;
constexpr bool kHidden = false;
constexpr bool kLog = true;
constexpr bool kQuiet = false;

const Row kRows[] = {
    { "shownPageGetsItsDialogs",
        { ask(PageDialog::Alert, kShown, Verdict::Show, kQuiet), kClose,
            ask(PageDialog::Confirm, kShown, Verdict::Show, kQuiet), kClose,
            ask(PageDialog::Prompt, kShown, Verdict::Show, kQuiet) } },
    { "eachKindIsLoggedOnce",
        { ask(PageDialog::Confirm, kHidden, Verdict::PageNotShown, kLog),
            ask(PageDialog::Prompt, kHidden, Verdict::PageNotShown, kLog),
            ask(PageDialog::Confirm, kHidden, Verdict::PageNotShown, kQuiet),
            ask(PageDialog::Alert, kHidden, Verdict::PageNotShown, kLog) } },
    { "oneDialogAtATime",
        { ask(PageDialog::Alert, kShown, Verdict::Show, kQuiet),
            ask(PageDialog::Alert, kShown, Verdict::DialogOpen, kLog),
            ask(PageDialog::Confirm, kShown, Verdict::DialogOpen, kLog),
            ask(PageDialog::Confirm, kShown, Verdict::DialogOpen, kQuiet), kClose,
            ask(PageDialog::Confirm, kShown, Verdict::Show, kQuiet) } },
    { "hiddenWhileADialogIsOpen",
        { ask(PageDialog::Prompt, kShown, Verdict::Show, kQuiet),
            ask(PageDialog::Prompt, kHidden, Verdict::PageNotShown, kLog), kClose,
            ask(PageDialog::Prompt, kShown, Verdict::Show, kQuiet) } },
    { "shownAgainAfterBeingHidden",
        { ask(PageDialog::Alert, kHidden, Verdict::PageNotShown, kLog),
            ask(PageDialog::Alert, kShown, Verdict::Show, kQuiet) } },
};

INSTANTIATE_TEST_SUITE_P(Stories, PageDialogGateTable, ::testing::ValuesIn(kRows),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

} // namespace
