// What a change of the strip tells a screen reader, without a window: one row
// per change, named after what a listener would otherwise get wrong.
#include "tabstrip/TabAccess.h"

#include <gtest/gtest.h>

#include <string>

using namespace kest::tabaccess;
using Kind = Change::Kind;

namespace {

Strip strip(std::initializer_list<const char*> names, int selected, int withoutClose = -1)
{
    Strip s;
    int i = 0;
    for (const char* name : names)
        s.tabs.push_back({ QString::fromUtf8(name), i++ != withoutClose });
    s.selected = selected;
    return s;
}

struct ChangeCase {
    std::string name;
    Strip before, after;
    std::vector<Change> expected;
};

class TabAccessChanges : public ::testing::TestWithParam<ChangeCase> { };

TEST_P(TabAccessChanges, TellWhatChanged)
{
    EXPECT_EQ(changes(GetParam().before, GetParam().after), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, TabAccessChanges,
    ::testing::Values(ChangeCase { "hover_redraw_tells_nothing", strip({ "a", "b" }, 0),
                          strip({ "a", "b" }, 0), {} },
        ChangeCase { "first_tab_is_added_and_selected", strip({}, -1), strip({ "a" }, 0),
            { { Kind::TabsAddedOrRemoved, 1 }, { Kind::Selected, 0 } } },
        ChangeCase { "click_moves_the_selection_old_first", strip({ "a", "b" }, 0),
            strip({ "a", "b" }, 1), { { Kind::Deselected, 0 }, { Kind::Selected, 1 } } },
        // Removing the selected first tab selects the next one at the same
        // index: a listener must hear that another tab is selected.
        ChangeCase { "removed_selected_tab_its_successor_takes_the_index",
            strip({ "a", "b", "c" }, 0), strip({ "b", "c" }, 0),
            { { Kind::TabsAddedOrRemoved, 2 }, { Kind::NameChanged, 0 }, { Kind::NameChanged, 1 },
                { Kind::Selected, 0 } } },
        ChangeCase { "title_arrives", strip({ "key" }, 0), strip({ "tester - 摘星" }, 0),
            { { Kind::NameChanged, 0 } } },
        ChangeCase { "close_button_hidden", strip({ "a", "b" }, 0), strip({ "a", "b" }, 0, 1),
            { { Kind::CloseButtonChanged, 1 } } },
        ChangeCase { "selection_cleared", strip({ "a", "b" }, 1), strip({ "a", "b" }, -1),
            { { Kind::Deselected, 1 } } },
        // The list's Clear leaves Selected at 0 with no tabs: nothing is selected.
        ChangeCase { "cleared_strip_selects_nothing", strip({ "a" }, 0), strip({}, 0),
            { { Kind::TabsAddedOrRemoved, 0 } } }),
    [](const auto& info) { return info.param.name; });

TEST(TabAccess, NamesAreTheCaptionOnOneLine)
{
    EXPECT_EQ(tabName(QStringLiteral("  beta -\n摘星 ")), QStringLiteral("beta - 摘星"));
    EXPECT_TRUE(isSelected(strip({ "a" }, 0), 0));
    EXPECT_FALSE(isSelected(strip({}, 0), 0));
}

} // namespace
