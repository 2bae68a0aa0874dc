#pragma once

#include "console/console_window.h"
#include "hosted_component.h"
#include "port_combo.h"
#include "port_resolver.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace platform {

inline constexpr int kTwipsPerPixel = 15;
constexpr int pixels(int twips) { return twips / kTwipsPerPixel; }

// Faces the system may lack, mapped to the nearest it has: Arial to its
// metric-compatible Liberation Sans, MS Sans Serif to the system's sans.
void installFontSubstitutes();

// A window rendered from its definition: a plain top-level widget (no
// default or cancel button), fixed size, no maximise box. Hosts the serial
// component as a child object, so it is destroyed with the window.
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
    HostedComponent* comm_;
    PortCombo* combo_ = nullptr;
};

} // namespace platform
