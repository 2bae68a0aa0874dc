// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_window.h"
#include "form_fonts.h"
#include "form_layout.h"
#include "platform/common/hosted_component.h"
#include "platform/common/port_resolver.h"
#include "port_combo.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {

// Form1 on the Win32 API, rendered from its record. There is no toolkit on
// this side, so the window is written by hand, kept to what the record
// needs: a fixed frame with a minimise box and no maximise box, the system's
// controls at the record's twips converted at the window's DPI, the pulse
// figure drawn on paint, no default or cancel button. It owns the serial
// component, which goes, closing its port, with the window.
class Form {
public:
    struct Events {
        std::function<void(console::Handler)> click; // a wired button was pressed
        // The window went by itself: a frame close or the session's end.
        std::function<void()> gone;
        // An exception in the window procedure (reading the ports present
        // as the list drops, laying out at a new DPI); never thrown on.
        std::function<void(std::exception_ptr)> failed;
    };

    // Throws std::runtime_error, naming what could not be created.
    Form(const console::WindowDef& def, std::unique_ptr<HostedComponent> comm, const PortResolver& resolver);
    ~Form(); // destroys the window if it is still there; no `gone` then
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    void setEvents(Events events) { events_ = std::move(events); }

    // Shows the window; the focus goes to the first control in tab order.
    void show();

    HWND window() const { return window_; }
    HWND control(std::string_view name) const;
    PortCombo& portList() const { return *combo_; }
    HostedComponent* comm() const { return comm_.get(); } // null once the window has gone
    int dpi() const { return dpi_; }

private:
    struct Control {
        const console::ControlDef* def;
        HWND window;
        int id;
    };

    static void registerClass();
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    void applyDpi(int dpi);
    SIZE frameSize(int dpi) const;
    void paint();
    void command(WPARAM wParam);
    void activate(bool active);
    void destroyed();

    const console::WindowDef& def_;
    std::unique_ptr<HostedComponent> comm_;
    const PortResolver& resolver_;
    HWND window_ = nullptr;
    std::vector<Control> controls_;
    std::unique_ptr<PortCombo> combo_;
    FormFonts fonts_;
    FormLayout layout_;
    int dpi_;
    HWND focus_ = nullptr; // the control to give the focus back to on activation
    bool tearingDown_ = false;
    Events events_;
};

} // namespace platform
