// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_window.h"
#include "form_layout.h"
#include "platform/common/port_resolver.h"

#include <windows.h>

#include <string>

namespace platform {

// Combo1 on the system's combo box: editable (CBS_DROPDOWN) and unsorted,
// its edit field takes any text. The combo box never adds what is typed or
// entered to its list, and nothing here does either. Appending an entry
// leaves the selection and the edit field as they were. The opened list
// shows all 15 entries: common controls 6 show up to 30 before scrolling.
class PortCombo : public console::PortListEntries, public console::PortListText {
public:
    // `combo` is the created combo box; the tooltips go with its window.
    PortCombo(HWND combo, const PortResolver& resolver);

    void addItem(const std::string& text) override;
    std::string text() const override;

    // The closed box at `rect`, its height included.
    void place(const PixelRect& rect);

    // CBN_DROPDOWN: each entry's tooltip names the device its number opens
    // now, worked out from the ports present, never by opening one.
    void droppingDown();

    HWND window() const { return combo_; }
    HWND list() const { return list_; }
    HWND tooltips() const { return tooltips_; } // null until the list first drops

private:
    int closedHeight() const;

    HWND combo_;
    HWND list_ = nullptr;
    HWND tooltips_ = nullptr;
    const PortResolver& resolver_;
    int tools_ = 0;
};

} // namespace platform
