// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_window.h"
#include "platform/common/port_resolver.h"

#include <QComboBox>

namespace platform {

// The port list: an editable, unsorted list whose edit field takes any text.
// Appending an entry leaves the selection and the edit field as they were,
// and nothing the user types or enters is added to the list.
class PortCombo : public QComboBox, public console::PortListEntries, public console::PortListText {
public:
    PortCombo(const PortResolver& resolver, QWidget* parent);

    void addItem(const std::string& text) override;
    std::string text() const override;

    // Each entry's tooltip names the device its number opens now.
    void showPopup() override;

private:
    const PortResolver& resolver_;
};

} // namespace platform
