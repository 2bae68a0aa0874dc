// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_window.h"
#include "platform/common/hosted_component.h"
#include "platform/common/port_resolver.h"
#include "platform/common/twips.h"
#include "port_combo.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace platform {

// Qt lays out in device-independent pixels and scales them to the screen.
constexpr int pixels(int twips) { return twipsToPixels(twips, kDefaultDpi); }

// Faces the system may lack, mapped to the nearest it has: Arial to its
// metric-compatible Liberation Sans, MS Sans Serif to the system's sans.
void installFontSubstitutes();

// A window rendered from its definition: a plain top-level widget (no
// default or cancel button), fixed size, no maximise box. Owns the serial
// component, so it is destroyed, and its port closed, with the window.
class Form : public QWidget {
public:
    Form(const console::WindowDef& def, std::unique_ptr<HostedComponent> comm, const PortResolver& resolver);

    QWidget* control(const QString& name) const;
    PortCombo& portList() const { return *combo_; }
    HostedComponent& comm() const { return *comm_; }

    // Calls `run` with the handler of every Click the definition wires.
    void wireClicks(const std::function<void(console::Handler)>& run);

    // The stored position where the whole window fits on the screen; else
    // the window manager places it.
    void placeOnScreen();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* createControl(const console::ControlDef& control);
    void orderTabs();

    const console::WindowDef& def_;
    std::unique_ptr<HostedComponent> comm_;
    PortCombo* combo_ = nullptr;
};

} // namespace platform
