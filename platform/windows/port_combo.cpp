// SPDX-License-Identifier: MIT
#include "port_combo.h"

#include "text.h"

#include <commctrl.h>

namespace platform {

PortCombo::PortCombo(HWND combo, const PortResolver& resolver) : combo_(combo), resolver_(resolver)
{
    COMBOBOXINFO info {};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(combo_, &info)) list_ = info.hwndList;
}

void PortCombo::addItem(const std::string& text)
{
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

std::string PortCombo::text() const
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(combo_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(combo_, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

int PortCombo::closedHeight() const
{
    RECT box {};
    GetWindowRect(combo_, &box);
    return box.bottom - box.top;
}

void PortCombo::place(const PixelRect& rect)
{
    // Redrawn by the form once everything is placed.
    SetWindowPos(combo_, nullptr, rect.left, rect.top, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    // The closed box is as tall as its edit field and a border the system
    // chooses; only the field's height can be set, and systems count it
    // differently, so set it, measure, correct.
    auto field = static_cast<int>(SendMessageW(combo_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 3 && closedHeight() != rect.height; ++attempt) {
        field += rect.height - closedHeight();
        SendMessageW(combo_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

void PortCombo::droppingDown()
{
    if (!list_) return;
    if (!tooltips_) {
        // Made on first use, not at start-up; owned by the form, so it goes with it.
        tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    GetAncestor(combo_, GA_ROOT), nullptr, nullptr, nullptr);
        if (!tooltips_) return;
    }
    // Read each time: adapters come and go while the window is up.
    const auto present = resolver_.present();
    TOOLINFOW tool {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = list_;
    for (; tools_ > 0; --tools_) {
        tool.uId = static_cast<UINT_PTR>(tools_ - 1);
        SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    const auto entries = static_cast<int>(SendMessageW(combo_, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < entries; ++index) {
        std::wstring entry(static_cast<std::size_t>(SendMessageW(combo_, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
        entry.resize(static_cast<std::size_t>(
            SendMessageW(combo_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(entry.data()))));
        const auto text = portEntryTooltip(narrow(entry), present);
        if (!text) continue;
        std::wstring tip = widen(*text);
        tool.uFlags = TTF_SUBCLASS;
        tool.uId = static_cast<UINT_PTR>(index);
        SendMessageW(list_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&tool.rect));
        tool.lpszText = tip.data();
        SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        tools_ = index + 1;
    }
}

} // namespace platform
