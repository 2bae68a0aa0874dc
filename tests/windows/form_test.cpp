// SPDX-License-Identifier: MIT
// The Win32 window under Wine, in-process. Input is posted to the controls,
// as a window system queues it, and handled by the program's own loop code.

#include "doubles.h"
#include "form_cases.h"
#include "map_resolver.h"
#include "platform/windows/dpi.h"
#include "platform/windows/program.h"
#include "platform/windows/text.h"

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace form_cases {
void PrintTo(const Rect& r, std::ostream* out) { *out << r.left << ", " << r.top << ", " << r.width << " x " << r.height; }
} // namespace form_cases

namespace {

using testing_doubles::Log;
using testing_doubles::RecordingComponent;
using testing_doubles::RecordingReporter;
using testing_doubles::RecordingSleep;
using form_cases::Texts;

std::string windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return platform::narrow(text);
}

Texts entries(HWND combo)
{
    Texts texts;
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        std::wstring entry(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        entry.resize(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()))));
        texts.push_back(platform::narrow(entry));
    }
    return texts;
}

// A rectangle in the parent's client coordinates.
form_cases::Rect rectIn(HWND parent, HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Queues a click the way the window system does, also while the thread is
// blocked in a pulse.
void postClick(HWND button)
{
    RECT client;
    GetClientRect(button, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(button, WM_LBUTTONUP, 0, at);
}

void postKey(HWND target, UINT key, UINT down = WM_KEYDOWN, LPARAM flags = 0)
{
    PostMessageW(target, down, key, 1 | flags);
    PostMessageW(target, down + 1, key, 1 | flags | 0xC0000000); // WM_KEYUP / WM_SYSKEYUP
}

void holdShift(bool held)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = held ? 0x80 : 0;
    SetKeyboardState(keys);
}

// While it lives, the system refuses to create a window whose text is
// `refused`, as it does when out of resources: a CBT hook answering no.
class CreationRefused {
public:
    explicit CreationRefused(const wchar_t* refused)
        : hook_(refused ? SetWindowsHookExW(WH_CBT, refuse, nullptr, GetCurrentThreadId()) : nullptr)
    {
        refused_ = refused;
    }
    ~CreationRefused() { UnhookWindowsHookEx(hook_); }

private:
    static LRESULT CALLBACK refuse(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* create = code == HCBT_CREATEWND ? reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs : nullptr;
        if (create && !IS_INTRESOURCE(create->lpszName) && create->lpszName == std::wstring(refused_)) return 1;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline const wchar_t* refused_ = nullptr;
    HHOOK hook_;
};

// The next GetMessageW of this executable (the program's loop) fails as it
// does for a bad argument: its import is pointed at a stand-in that puts the
// real one back.
extern "C" decltype(&GetMessageW) __imp_GetMessageW;
void failNextGetMessage()
{
    static const auto real = __imp_GetMessageW;
    static const auto point = [](decltype(&GetMessageW) to) {
        DWORD protection;
        VirtualProtect(&__imp_GetMessageW, sizeof to, PAGE_READWRITE, &protection);
        __imp_GetMessageW = to;
        VirtualProtect(&__imp_GetMessageW, sizeof to, protection, &protection);
    };
    point([](LPMSG, HWND, UINT, UINT) -> BOOL {
        point(real);
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    });
}

void endSession(HWND form)
{
    if (SendMessageW(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF))
        SendMessageW(form, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
}

class FormTest : public ::testing::Test {
public: // the case tables act on the fixture
    Log log;
    MapResolver resolver;
    RecordingReporter reporter {log};
    RecordingSleep sleep {log};
    std::unique_ptr<platform::Program> program;

    void SetUp() override { resolver.devices[1] = "Prolific USB-to-Serial Comm Port (COM1)"; }
    void TearDown() override { program.reset(); }

    // ownExit: the program ends its message loop itself; else the end is logged as "exit N".
    void makeProgram(int refuseWrite = -1, bool ownExit = false)
    {
        program.reset(); // a table's last row: its component logs its end
        log.clear();
        sleep.during = nullptr;
        std::function<void(int)> exitProgram;
        if (!ownExit) exitProgram = [this](int status) { log.push_back("exit " + std::to_string(status)); };
        program = std::make_unique<platform::Program>(platform::ProgramParts {
            resolver, std::make_unique<RecordingComponent>(log, refuseWrite), sleep, &reporter, exitProgram});
    }
    void startProgram(int refuseWrite = -1)
    {
        makeProgram(refuseWrite);
        program->start();
        pump();
    }

    // Handles the messages queued now as the loop does, without waiting; a
    // WM_QUIT stays queued for the loop that owns it.
    void pump()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            program->handleMessage(message);
        }
    }
    // Runs `act` from the program's loop once it has nothing else queued: a
    // timer's callback, which the loop dispatches.
    static inline std::function<void()> whenIdle_;
    static void whenIdle(std::function<void()> act)
    {
        whenIdle_ = std::move(act);
        SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            std::exchange(whenIdle_, nullptr)();
        });
    }
    std::thread session; // joined by the row that starts it

    HWND form() const { return program->form()->window(); }
    HWND control(const char* name) const { return program->form()->control(name); }
    HWND combo() const { return control("Combo1"); }
    HWND edit() const { return FindWindowExW(combo(), nullptr, WC_EDITW, nullptr); }
    // Picks the entry the text starts, else types the text.
    void setListText(const std::string& text)
    {
        const std::wstring wide = platform::widen(text);
        const auto entry = reinterpret_cast<LPARAM>(wide.c_str());
        if (SendMessageW(combo(), CB_SELECTSTRING, static_cast<WPARAM>(-1), entry) == CB_ERR)
            SetWindowTextW(combo(), wide.c_str());
    }
    // The control of the form that holds the focus (the combo box for its edit field).
    std::string focusedControl() const
    {
        HWND focused = GetFocus();
        while (focused && GetParent(focused) != form()) focused = GetParent(focused);
        for (const auto& c : form_cases::kControls)
            if (focused && control(c.name) == focused) return c.name;
        return "(none)";
    }
};

TEST_F(FormTest, FirstDisplay)
{
    startProgram();
    EXPECT_EQ(windowText(form()), "DTR Pulse Out");
    EXPECT_EQ(entries(combo()), form_cases::kEntries);
    EXPECT_EQ(SendMessageW(combo(), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(focusedControl(), form_cases::kFirstFocus);
    EXPECT_EQ(control("MSComm1"), nullptr); // hosted, not a window
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form(), GWL_STYLE));
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME)); // fixed frame
    // The stored position (client at 13635, 6330 twips) fits on the test's 1280 x 1024 screen.
    POINT origin {0, 0};
    ClientToScreen(form(), &origin);
    EXPECT_EQ(origin.x, 909);
    EXPECT_EQ(origin.y, 422);
    EXPECT_TRUE(log.empty());
}

TEST_F(FormTest, EachControlAndTheFigureAsShownAtEachDpi)
{
    // A high-contrast scheme: the figure must show in the button text's colour.
    const int elements[] = {COLOR_BTNFACE, COLOR_BTNTEXT};
    const COLORREF saved[] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
    const COLORREF contrast[] = {RGB(0, 0, 0), RGB(255, 255, 0)};
    SetSysColors(2, elements, contrast);
    const std::unique_ptr<const COLORREF, void (*)(const COLORREF*)> restore(
        saved, [](const COLORREF* colours) { SetSysColors(2, std::data({COLOR_BTNFACE, COLOR_BTNTEXT}), colours); });

    startProgram();
    for (const auto& layout : form_cases::kLayouts) {
        const int dpi = layout.dpi;
        SCOPED_TRACE(dpi);
        if (dpi != program->form()->dpi()) {
            // As Windows does when the window moves to a monitor of another
            // density, here at the screen's top left; the suggested rectangle
            // keeps the frame Wine draws.
            RECT suggested = platform::frameAround({0, 0, layout.clientWidth, layout.clientHeight},
                                                   static_cast<DWORD>(GetWindowLongPtrW(form(), GWL_STYLE)),
                                                   static_cast<DWORD>(GetWindowLongPtrW(form(), GWL_EXSTYLE)),
                                                   platform::windowDpi(form()));
            OffsetRect(&suggested, -suggested.left, -suggested.top);
            // Wine repaints a window whole when its size changes, Windows only what that uncovers:
            // the frame takes its new size first, and the change itself must repaint.
            SetWindowPos(form(), nullptr, 0, 0, suggested.right, suggested.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
            pump();
            SendMessageW(form(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        }
        pump(); // the window paints what the change left to paint, unhelped
        RECT client;
        GetClientRect(form(), &client);
        EXPECT_EQ(client.right, layout.clientWidth);
        EXPECT_EQ(client.bottom, layout.clientHeight);
        HDC dc = GetDC(form());
        for (std::size_t i = 0; i < std::size(form_cases::kControls); ++i) {
            const auto& c = form_cases::kControls[i];
            SCOPED_TRACE(c.name);
            HWND window = control(c.name);
            ASSERT_TRUE(window);
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            const wchar_t* kinds[] = {WC_STATICW, WC_COMBOBOXW, WC_BUTTONW};
            EXPECT_EQ(std::wstring(kind), kinds[int(c.kind)]);
            EXPECT_EQ(windowText(window), c.text);
            EXPECT_EQ(rectIn(form(), window), layout.controls[i]); // the combo box closed
            RECT whole, shown; // no sibling covers a control that takes input
            GetClientRect(window, &whole);
            HDC own = GetDC(window);
            GetClipBox(own, &shown);
            EXPECT_TRUE(c.kind == form_cases::Kind::Label || EqualRect(&shown, &whole));
            std::vector<COLORREF> shots[2]; // as shown, then as painted afresh: it repainted itself
            for (auto& shot : shots) {
                for (int y = 0; y < whole.bottom; ++y)
                    for (int x = 0; x < whole.right; ++x) shot.push_back(GetPixel(own, x, y));
                RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            }
            EXPECT_TRUE(shots[0] == shots[1]) << "stale after the change";
            ReleaseDC(window, own);
            LOGFONTW font {};
            const auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
            ASSERT_TRUE(GetObjectW(handle, sizeof(font), &font));
            const bool arial = std::string(c.face) == "Arial";
            EXPECT_EQ(font.lfHeight, arial ? layout.arialHeight : layout.msSansSerifHeight);
            EXPECT_EQ(font.lfWeight, c.bold ? FW_BOLD : FW_NORMAL);
            EXPECT_EQ(font.lfUnderline != 0, c.underline);
            EXPECT_FALSE(font.lfItalic || font.lfStrikeOut);
            EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
            // MS Sans Serif is a bitmap face made for 96 dpi; above, its TrueType counterpart.
            EXPECT_EQ(platform::narrow(font.lfFaceName), arial || dpi == 96 ? c.face : "Microsoft Sans Serif");
            // What it renders with: Arial, or its metric twin under Wine;
            // characters of the height asked for (Wine's rounding may take a
            // pixel off); the text fits its control, which a wider fallback
            // face would not.
            const HGDIOBJ old = SelectObject(dc, handle);
            TEXTMETRICW metrics {};
            GetTextMetricsW(dc, &metrics);
            wchar_t face[LF_FACESIZE] = {};
            GetTextFaceW(dc, LF_FACESIZE, face);
            EXPECT_TRUE(!arial || std::wstring(face) == L"Arial" || std::wstring(face) == L"Liberation Sans")
                << platform::narrow(face);
            EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, -font.lfHeight, 1);
            const std::wstring text = platform::widen(c.text);
            SIZE extent {};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            const int room = layout.controls[i].width
                             - (c.kind == form_cases::Kind::List ? GetSystemMetrics(SM_CXVSCROLL) : 0);
            EXPECT_LT(extent.cx, room);
            EXPECT_LE(extent.cy, layout.controls[i].height);
            SelectObject(dc, old);
        }
        // The pulse figure: every segment drawn end to end, in the button text's colour.
        for (const auto& segment : layout.figure)
            for (const auto& [x, y] : segment.pixels()) EXPECT_EQ(GetPixel(dc, x, y), contrast[1]) << x << ", " << y;
        ReleaseDC(form(), dc);
    }
}

TEST_F(FormTest, TabOrderFollowsTheRecordBothWays)
{
    for (const auto& c : form_cases::kTabCases) {
        SCOPED_TRACE(c.name);
        startProgram();
        for (const auto& expected : c.visits) {
            holdShift(c.backwards);
            postKey(GetFocus(), VK_TAB);
            pump();
            holdShift(false);
            EXPECT_EQ(focusedControl(), expected);
        }
    }
}

// What a screen reader reads, in the window order. MSAA names a combo box
// after the static text just before it, any other control by its own text
// ("Providing the Name Property", learn.microsoft.com); Wine's oleacc knows
// only the second rule, so it is asked for the others.
TEST_F(FormTest, ScreenReadersNameEachControlInWindowOrder)
{
    startProgram();
    Texts said;
    for (HWND w = GetWindow(form(), GW_CHILD), previous = nullptr; w; previous = w, w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t kind[16] = {};
        IAccessible* object = nullptr;
        BSTR name = nullptr;
        VARIANT self {};
        self.vt = VT_I4; // lVal 0: CHILDID_SELF
        if (w == combo() && previous && GetClassNameW(previous, kind, 16) && std::wstring(kind) == WC_STATICW)
            said.push_back(said.back());
        else if (w != combo() && AccessibleObjectFromWindow(w, OBJID_CLIENT, __uuidof(IAccessible),
                                                            reinterpret_cast<void**>(&object)) == S_OK)
            said.push_back(object->get_accName(self, &name) == S_OK ? platform::narrow(name) : "");
        if (object) object->Release();
        SysFreeString(name);
    }
    EXPECT_EQ(said, (Texts {"Pulse Out", "Select Comm Port First", "Select Comm Port First", "Stop and Close", "Start"}));
}

TEST_F(FormTest, FocusComesBackWhereItWasAfterAnotherWindow)
{
    startProgram();
    SetFocus(edit());
    HWND other = CreateWindowExW(0, WC_STATICW, L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    pump();
    ASSERT_NE(GetActiveWindow(), form());
    SetActiveWindow(form());
    pump();
    EXPECT_EQ(focusedControl(), "Combo1");
    DestroyWindow(other);
}

TEST_F(FormTest, EnterEscAndTypingRunNothing)
{
    using form_cases::Key;
    for (const auto& c : form_cases::kInputCases) {
        SCOPED_TRACE(c.name);
        startProgram();
        SetFocus(edit());
        SendMessageW(edit(), EM_SETSEL, 0, -1);
        for (const wchar_t ch : platform::widen(c.typed)) PostMessageW(edit(), WM_CHAR, ch, 1);
        const HWND target = c.target == form_cases::Target::EditField ? edit() : form();
        if (c.key != Key::None) postKey(target, c.key == Key::Enter ? VK_RETURN : VK_ESCAPE);
        postKey(form(), VK_ESCAPE); // no cancel button either
        pump();
        EXPECT_EQ(windowText(combo()), c.text);
        EXPECT_EQ(entries(combo()), form_cases::kEntries);
        EXPECT_TRUE(IsWindowVisible(form()));
        EXPECT_EQ(log, Log {});
    }
}

TEST_F(FormTest, EachButtonRunsItsCommandOnce)
{
    using form_cases::Key;
    for (const auto& c : form_cases::kButtonCases) {
        if (c.toolkit == form_cases::Toolkit::Qt) continue;
        SCOPED_TRACE(c.name);
        startProgram(c.refuseWrite);
        setListText(c.listText);
        if (c.duringPulse) sleep.during = [this, &c] { postClick(control(c.duringPulse)); };
        for (const std::string& button : c.buttons) {
            if (c.key == Key::None) postClick(control(button.c_str()));
            for (int tabs = 0; c.key != Key::None && focusedControl() != button && tabs < 4; ++tabs) {
                postKey(GetFocus(), VK_TAB);
                pump();
            }
            if (c.key != Key::None) postKey(GetFocus(), c.key == Key::Enter ? VK_RETURN : VK_SPACE);
        }
        pump();
        EXPECT_EQ(log, c.expected);
        program->tearDown();
        EXPECT_EQ(log.back(), "destroyed"); // the component goes with the window
    }
}

TEST_F(FormTest, RunEndsWithItsStatus)
{
    struct RunCase {
        const char* name;
        int refuseWrite;
        const wchar_t* refusedWindow; // by its text: the system will not create it
        std::function<void(FormTest&)> queue; // input waiting when the loop starts
        int status;
        Log expected;
    };
    const Log kStartedAndGone {"CommPort=3", "PortOpen=true", "DTREnable=false", "destroyed"};
    const RunCase cases[] = {
        {"Stop and Close", -1, nullptr, [](FormTest& t) { postClick(t.control("Command2")); }, 0,
         {"PortOpen=false", "destroyed"}},
        {"frame close", -1, nullptr, [](FormTest& t) { PostMessageW(t.form(), WM_CLOSE, 0, 0); }, 0, {"destroyed"}},
        // The window goes with the port open and runs no command: the component goes with it.
        {"WM_CLOSE from another program after Start", -1, nullptr,
         [](FormTest& t) { postClick(t.control("Command3")); PostMessageW(t.form(), WM_CLOSE, 0, 0); }, 0, kStartedAndGone},
        {"the close box after Start", -1, nullptr,
         [](FormTest& t) { postClick(t.control("Command3")); PostMessageW(t.form(), WM_SYSCOMMAND, SC_CLOSE, 0); }, 0,
         kStartedAndGone},
        {"Alt+F4 after Start", -1, nullptr,
         [](FormTest& t) {
             postClick(t.control("Command3"));
             postKey(t.control("Command3"), VK_F4, WM_SYSKEYDOWN, KF_ALTDOWN << 16);
         },
         0, kStartedAndGone},
        {"the session's end after Start", -1, nullptr,
         [](FormTest& t) {
             postClick(t.control("Command3"));
             whenIdle([&t] { endSession(t.form()); });
         },
         0, kStartedAndGone},
        {"the session's end during a pulse: the pulse first", -1, nullptr,
         [](FormTest& t) {
             // Sent from another thread, as Windows does: it waits until this one takes messages.
             t.sleep.during = [&t] { t.session = std::thread(endSession, t.form()); };
             postClick(t.control("Command1"));
         },
         0, {"DTREnable=true", "Sleep=500", "DTREnable=false", "destroyed"}},
        {"refused Start", 1, nullptr, [](FormTest& t) { postClick(t.control("Command3")); }, 1,
         {"CommPort=3", "release", "report 8005", "destroyed"}},
        // An exception in the window procedure is an untrapped error.
        {"the ports present unreadable as the list drops", -1, nullptr,
         [](FormTest& t) {
             t.resolver.unreadable = true;
             PostMessageW(t.combo(), CB_SHOWDROPDOWN, TRUE, 0);
         },
         1, {"release", "report 51", "destroyed"}},
        {"the message loop fails", -1, nullptr, [](FormTest&) { failNextGetMessage(); }, 1,
         {"release", "report 51", "destroyed"}},
        // The entry reports what could not be made, and ends with status 1.
        {"no window", -1, L"DTR Pulse Out", nullptr, 1, {"destroyed", "The window could not be created."}},
        {"no port list", -1, L"Comm Port", nullptr, 1,
         {"destroyed", "The control Combo1 (\"Comm Port\") could not be created."}},
        {"no Start, the last button made", -1, L"Start", nullptr, 1,
         {"destroyed", "The control Command3 (\"Start\") could not be created."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int status = 1;
        try {
            {
                const CreationRefused refused(c.refusedWindow);
                makeProgram(c.refuseWrite, /*ownExit=*/true);
            }
            SetWindowTextW(combo(), L"3");
            c.queue(*this);
            status = program->run();
        } catch (const std::runtime_error& e) {
            log.push_back(e.what());
        }
        if (session.joinable()) session.join();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(log, c.expected);
        EXPECT_FALSE(FindWindowW(L"DtrPulseOut.Form1", nullptr)); // nothing left behind
        resolver.unreadable = false;
    }
}

TEST_F(FormTest, EntryTooltipsNameTheirDevicesWhenTheListDrops)
{
    startProgram();
    SendMessageW(combo(), CB_SHOWDROPDOWN, TRUE, 0);
    const HWND tips = program->form()->portList().tooltips();
    const HWND list = program->form()->portList().list();
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 15);
    const auto tooltip = [&](int index) {
        wchar_t text[256] = {};
        TOOLINFOW tool {};
        tool.cbSize = sizeof(tool);
        tool.hwnd = list;
        tool.uId = static_cast<UINT_PTR>(index);
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        return platform::narrow(text);
    };
    EXPECT_EQ(tooltip(0), "Port 1 opens Prolific USB-to-Serial Comm Port (COM1)");
    EXPECT_EQ(tooltip(1), "No device has port number 2 now");
    EXPECT_EQ(tooltip(14), "No device has port number 15 now");
    // The opened list shows every entry, none scrolled away.
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    RECT listClient, last;
    GetClientRect(list, &listClient);
    SendMessageW(list, LB_GETITEMRECT, 14, reinterpret_cast<LPARAM>(&last));
    EXPECT_LE(last.bottom, listClient.bottom);
    SendMessageW(combo(), CB_SHOWDROPDOWN, FALSE, 0);
    pump();
    EXPECT_EQ(entries(combo()), form_cases::kEntries);
    EXPECT_EQ(windowText(combo()), form_cases::kInitialText);
    EXPECT_TRUE(log.empty()); // no port was opened to find out
}

} // namespace
