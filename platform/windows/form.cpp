// SPDX-License-Identifier: MIT
#include "form.h"

#include "dpi.h"
#include "resources/resource_ids.h"
#include "text.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>

namespace platform {
namespace {

constexpr wchar_t kWindowClass[] = L"DtrPulseOut.Form1";

// A fixed frame: no sizing border, no maximise box; a minimise box.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = 0;

// Clear of IDOK (1) and IDCANCEL (2): IsDialogMessage sends those for Enter
// and Esc where no button is the default, and they must press no button.
constexpr int kFirstControlId = 100;

struct ControlClass {
    console::ControlKind kind;
    const wchar_t* className;
    DWORD style;
};

// The system's control for each kind the record holds.
constexpr ControlClass kControlClasses[] = {
    {console::ControlKind::Label, WC_STATICW, SS_LEFT | SS_NOPREFIX},
    {console::ControlKind::ComboBox, WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP},
    {console::ControlKind::CommandButton, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP},
};

const ControlClass* classFor(console::ControlKind kind)
{
    for (const auto& entry : kControlClasses)
        if (entry.kind == kind) return &entry;
    return nullptr; // MSComm1: hosted, no window
}

HINSTANCE programInstance() { return GetModuleHandleW(nullptr); }

// "What could not be created", then the system's reason where it gives one.
std::runtime_error creationFailed(const std::string& what)
{
    const DWORD error = GetLastError();
    return std::runtime_error(what + " could not be created" + (error ? ": " + systemMessage(error) : "."));
}

// The stored position where the whole window fits on one monitor's work
// area; else none, and Windows places the window.
std::optional<POINT> storedOrigin(const FormLayout& layout, int dpi)
{
    const RECT client {layout.clientLeft, layout.clientTop, layout.clientLeft + layout.clientWidth,
                       layout.clientTop + layout.clientHeight};
    const RECT window = frameAround(client, kFormStyle, kFormExStyle, dpi);
    HMONITOR monitor = MonitorFromRect(&window, MONITOR_DEFAULTTONULL);
    MONITORINFO info {};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return std::nullopt;
    const RECT& work = info.rcWork;
    if (window.left < work.left || window.top < work.top || window.right > work.right || window.bottom > work.bottom)
        return std::nullopt;
    return POINT {window.left, window.top};
}

// LineTo leaves out a line's last pixel; the record's lines have both ends,
// or the corners of the pulse would show gaps.
void drawLine(HDC dc, const PixelLine& line)
{
    const auto step = [](int from, int to) { return (to > from) - (to < from); };
    MoveToEx(dc, line.x1, line.y1, nullptr);
    LineTo(dc, line.x2 + step(line.x1, line.x2), line.y2 + step(line.y1, line.y2));
}

} // namespace

Form::Form(const console::WindowDef& def, std::unique_ptr<HostedComponent> comm, const PortResolver& resolver)
    : def_(def), comm_(std::move(comm)), resolver_(resolver), dpi_(windowDpi(nullptr))
{
    registerClass();
    layout_ = layOutForm(def_, dpi_);
    const auto origin = storedOrigin(layout_, dpi_);
    const SIZE size = frameSize(dpi_);
    SetLastError(0); // a refusal may give no reason
    window_ = CreateWindowExW(kFormExStyle, kWindowClass, widen(def_.caption).c_str(), kFormStyle,
                              origin ? origin->x : CW_USEDEFAULT, origin ? origin->y : CW_USEDEFAULT, size.cx,
                              size.cy, nullptr, nullptr, programInstance(), this);
    if (!window_) throw creationFailed("The window");
    try {
        createControls();
        // The window may have landed on a monitor of another DPI than the system's.
        applyDpi(windowDpi(window_));
        const SIZE sized = frameSize(dpi_);
        SetWindowPos(window_, nullptr, 0, 0, sized.cx, sized.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } catch (...) {
        // No destructor runs for a Form never made, and the window points at
        // it: it goes first, or the report's message loop would feed it.
        tearingDown_ = true;
        DestroyWindow(window_);
        throw;
    }
}

Form::~Form()
{
    tearingDown_ = true;
    if (window_) DestroyWindow(window_);
}

void Form::registerClass()
{
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls {sizeof(controls), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls); // the tooltips
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = programInstance();
        windowClass.hIcon = LoadIconW(programInstance(), MAKEINTRESOURCEW(DTR_PROGRAM_ICON));
        windowClass.hIconSm = static_cast<HICON>(LoadImageW(programInstance(), MAKEINTRESOURCEW(DTR_PROGRAM_ICON),
                                                            IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

void Form::createControls()
{
    // Tab and Shift+Tab follow the order the controls were created in.
    auto order = def_.tabOrder();
    std::erase_if(order, [](auto* c) { return !classFor(c->kind); });
    // A screen reader names the port list after the static text just before
    // it in the window order ("Providing the Name Property",
    // learn.microsoft.com): the label goes there. It takes no focus, so the
    // tab order stays as it is.
    const auto isKind = [](console::ControlKind kind) { return [kind](auto* c) { return c->kind == kind; }; };
    if (const auto label = std::find_if(order.begin(), order.end(), isKind(console::ControlKind::Label));
        label != order.end()) {
        const console::ControlDef* moved = *label;
        order.erase(label);
        order.insert(std::find_if(order.begin(), order.end(), isKind(console::ControlKind::ComboBox)), moved);
    }
    for (const auto* control : order) {
        const int id = kFirstControlId + static_cast<int>(control - def_.controls.data());
        // Clipped by the siblings before it: where the label's box overlaps
        // the list's, only one of them paints (applyDpi gives that to the list).
        SetLastError(0);
        HWND window = CreateWindowExW(0, classFor(control->kind)->className, widen(control->text).c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | classFor(control->kind)->style, 0,
                                      0, 0, 0, window_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), programInstance(), nullptr);
        if (!window) throw creationFailed(std::string("The control ") + control->name + " (\"" + control->text + "\")");
        controls_.push_back({control, window, id});
        if (control->kind == console::ControlKind::ComboBox) {
            SetWindowTextW(window, widen(control->text).c_str()); // the edit field's text
            combo_ = std::make_unique<PortCombo>(window, resolver_);
        }
    }
    if (!order.empty()) focus_ = controls_.front().window;
}

void Form::applyDpi(int dpi)
{
    dpi_ = dpi;
    layout_ = layOutForm(def_, dpi);
    FormFonts fonts(layout_.controls, dpi);
    for (const auto& control : controls_)
        SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.fontFor(*control.def)), FALSE);
    fonts_ = std::move(fonts); // the old fonts go once no control uses them
    for (const auto& placement : layout_.controls) {
        const auto& rect = placement.rect;
        if (placement.control->kind == console::ControlKind::ComboBox && combo_)
            combo_->place(rect);
        else if (HWND window = control(placement.control->name))
            SetWindowPos(window, nullptr, rect.left, rect.top, rect.width, rect.height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    // The label is above the list in the window order (createControls), and
    // its box reaches a pixel or two into the list's: it gives up that strip,
    // so the list shows whole, as under a label drawn on the form itself.
    HWND label = nullptr;
    for (const auto& c : controls_)
        if (c.def->kind == console::ControlKind::Label) label = c.window;
    RECT labelBox, listBox;
    if (label && combo_ && GetWindowRect(label, &labelBox) && GetWindowRect(combo_->window(), &listBox))
        SetWindowRgn(label, CreateRectRgn(0, 0, labelBox.right - labelBox.left, listBox.top - labelBox.top), FALSE);
    // The moves above redraw nothing. The form and every control repaint
    // once, with the new fonts at the new places: the form clips its
    // controls, so invalidating it alone leaves them as they were, and
    // Windows keeps the pixels of a control it moves (SetWindowPos without
    // SWP_NOCOPYBITS).
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

SIZE Form::frameSize(int dpi) const
{
    const FormLayout layout = layOutForm(def_, dpi);
    const RECT frame = frameAround({0, 0, layout.clientWidth, layout.clientHeight}, kFormStyle, kFormExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Form::show()
{
    ShowWindow(window_, SW_SHOWDEFAULT);
    UpdateWindow(window_);
}

HWND Form::control(std::string_view name) const
{
    for (const auto& control : controls_)
        if (name == control.def->name) return control.window;
    return nullptr;
}

LRESULT CALLBACK Form::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // An exception must not unwind through user32's frames: on x64 Windows
    // that ends the process or is swallowed, depending on the message. It
    // goes to the program's handling of untrapped errors instead.
    try {
        return form->handle(message, wParam, lParam);
    } catch (...) {
        if (form->events_.failed) form->events_.failed(std::current_exception());
        return 0;
    }
}

LRESULT Form::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: command(wParam); return 0;
    case WM_PAINT: paint(); return 0;
    case WM_ACTIVATE:
        if (!HIWORD(wParam)) activate(LOWORD(wParam) != WA_INACTIVE); // not while minimised
        return 0;
    case WM_SETFOCUS:
        if (focus_) SetFocus(focus_);
        return 0;
    case WM_GETDPISCALEDSIZE: {
        // The size at the new DPI is the record's, not the old one scaled.
        *reinterpret_cast<SIZE*>(lParam) = frameSize(static_cast<int>(wParam));
        return TRUE;
    }
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE: DestroyWindow(window_); return 0; // no handler runs on a frame close
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        // Windows may end the process as soon as this returns, so the port
        // goes now. A pulse under way has finished: the thread was in it.
        if (wParam) DestroyWindow(window_);
        return 0;
    case WM_DESTROY: destroyed(); return 0;
    default: return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Form::command(WPARAM wParam)
{
    const int id = LOWORD(wParam);
    const auto control = std::find_if(controls_.begin(), controls_.end(), [id](const Control& c) { return c.id == id; });
    if (control == controls_.end()) return; // IDOK and IDCANCEL: the record has no default or cancel button
    if (control->def->kind == console::ControlKind::ComboBox) {
        if (HIWORD(wParam) == CBN_DROPDOWN) combo_->droppingDown();
        return;
    }
    if (HIWORD(wParam) != BN_CLICKED || !events_.click) return;
    if (const auto handler = def_.handlerFor(control->def->name, console::Event::Click)) events_.click(*handler);
}

void Form::activate(bool active)
{
    // Like a dialog: the control that had the focus gets it back.
    if (!active) {
        HWND focused = GetFocus();
        if (focused && IsChild(window_, focused)) {
            while (GetParent(focused) != window_) focused = GetParent(focused); // the combo box, not its edit field
            focus_ = focused;
        }
    } else if (focus_) {
        SetFocus(focus_);
    }
}

void Form::paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    // One pixel, in the colour of a button's text on the button face the
    // window is filled with: it shows in every colour scheme, high contrast
    // included, where a black pen would vanish on black.
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (const auto& line : layout_.lines) drawLine(dc, line);
    EndPaint(window_, &paint);
}

void Form::destroyed()
{
    comm_.reset(); // closes the port, DTR low
    if (!tearingDown_ && events_.gone) events_.gone();
}

} // namespace platform
