#pragma once

// What the tab strip is to assistive technology, as plain data: each tab's
// name and state, and which notifications a change of the strip calls for.
// The strip's accessible interface reads these; tests call them directly.

#include <QString>

#include <vector>

namespace kest::tabaccess {

// One tab as a screen reader is told about it.
struct Tab {
    QString name;
    bool closeButton = false; // the strip draws a close button on it
    friend bool operator==(const Tab&, const Tab&) = default;
};

struct Strip {
    std::vector<Tab> tabs;
    int selected = -1; // -1: none
    friend bool operator==(const Strip&, const Strip&) = default;
};

// The tab's name: its caption with the line breaks and surrounding blanks a
// page title may carry taken out, as the strip shows it on one line.
QString tabName(const QString& caption);

// Whether tab `index` is the selected one (false for an index out of range).
bool isSelected(const Strip& strip, int index);

// A notification for assistive technology. `index` names a tab.
struct Change {
    enum Kind {
        TabsAddedOrRemoved, // the list of tabs changed length: index is the new count
        NameChanged,
        Deselected,
        Selected,
        CloseButtonChanged, // the tab gained or lost its close button
    };
    Kind kind;
    int index;
    friend bool operator==(const Change&, const Change&) = default;
};

// The notifications that take a listener from `before` to `after`: the
// length first (so that a listener's tab list is right before it is asked
// about a tab), then each surviving tab's name and close button, then the
// selection, the old tab before the new one.
std::vector<Change> changes(const Strip& before, const Strip& after);

} // namespace kest::tabaccess
