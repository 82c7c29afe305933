// What a change of the strip tells a screen reader, without a window: one row
// per change, named after what a listener would otherwise get wrong.
#include "tabstrip/TabAccess.h"

#include <gtest/gtest.h>

using namespace kest::tabaccess;
using Kind = Change::Kind;

namespace {

Strip strip(std::initializer_list<const char*> names, int selected, int withoutClose = -1)
{
    Strip s { {}, selected };
    for (const char* name : names)
        s.tabs.push_back({ QString::fromUtf8(name), int(s.tabs.size()) != withoutClose });
    return s;
}

TEST(TabAccessChanges, TellWhatChanged)
{
    const struct {
        const char* name;
        Strip before, after;
        std::vector<Change> expected;
    } rows[] = {
        { "hover redraw tells nothing", strip({ "a", "b" }, 0), strip({ "a", "b" }, 0), {} },
        { "first tab is added and selected", strip({}, -1), strip({ "a" }, 0),
            { { Kind::TabsAddedOrRemoved, 1 }, { Kind::Selected, 0 } } },
        { "click moves the selection, old first", strip({ "a", "b" }, 0), strip({ "a", "b" }, 1),
            { { Kind::Deselected, 0 }, { Kind::Selected, 1 } } },
        // Removing the selected first tab selects the next one at the same
        // index: a listener must hear that another tab is selected.
        { "removed selected tab, its successor takes the index", strip({ "a", "b", "c" }, 0),
            strip({ "b", "c" }, 0),
            { { Kind::TabsAddedOrRemoved, 2 }, { Kind::NameChanged, 0 }, { Kind::NameChanged, 1 },
                { Kind::Selected, 0 } } },
        { "title arrives", strip({ "key" }, 0), strip({ "tester - 摘星" }, 0),
            { { Kind::NameChanged, 0 } } },
        { "close button hidden", strip({ "a", "b" }, 0), strip({ "a", "b" }, 0, 1),
            { { Kind::CloseButtonChanged, 1 } } },
        { "selection cleared", strip({ "a", "b" }, 1), strip({ "a", "b" }, -1),
            { { Kind::Deselected, 1 } } },
        // The list's Clear leaves Selected at 0 with no tabs: nothing is selected.
        { "cleared strip selects nothing", strip({ "a" }, 0), strip({}, 0),
            { { Kind::TabsAddedOrRemoved, 0 } } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(changes(row.before, row.after), row.expected);
    }
}

TEST(TabAccess, NamesAreTheCaptionOnOneLine)
{
    EXPECT_EQ(tabName(QStringLiteral("  beta -\n摘星 ")), QStringLiteral("beta - 摘星"));
    EXPECT_TRUE(isSelected(strip({ "a" }, 0), 0));
    EXPECT_FALSE(isSelected(strip({}, 0), 0));
}

} // namespace
