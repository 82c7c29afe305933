#include "tabstrip/TabAccess.h"

#include <algorithm>

namespace kest::tabaccess {

QString tabName(const QString& caption)
{
    return caption.simplified();
}

bool isSelected(const Strip& strip, int index)
{
    return index >= 0 && index == strip.selected && index < static_cast<int>(strip.tabs.size());
}

std::vector<Change> changes(const Strip& before, const Strip& after)
{
    std::vector<Change> out;
    const int oldCount = static_cast<int>(before.tabs.size());
    const int newCount = static_cast<int>(after.tabs.size());
    if (oldCount != newCount)
        out.push_back({ Change::TabsAddedOrRemoved, newCount });
    for (int i = 0; i < std::min(oldCount, newCount); ++i) {
        const Tab& was = before.tabs[static_cast<size_t>(i)];
        const Tab& is = after.tabs[static_cast<size_t>(i)];
        if (was.name != is.name)
            out.push_back({ Change::NameChanged, i });
        if (was.closeButton != is.closeButton)
            out.push_back({ Change::CloseButtonChanged, i });
    }
    const int wasSelected = isSelected(before, before.selected) ? before.selected : -1;
    const int isNowSelected = isSelected(after, after.selected) ? after.selected : -1;
    // A removal shifts the tabs: the same index may now be another tab, which
    // is news to a listener even though the number stayed.
    const bool sameTab
        = wasSelected == isNowSelected && (wasSelected < 0 || (oldCount == newCount));
    if (!sameTab) {
        if (wasSelected >= 0 && wasSelected < newCount && wasSelected != isNowSelected)
            out.push_back({ Change::Deselected, wasSelected });
        if (isNowSelected >= 0)
            out.push_back({ Change::Selected, isNowSelected });
    }
    return out;
}

} // namespace kest::tabaccess
