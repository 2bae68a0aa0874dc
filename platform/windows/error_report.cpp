// SPDX-License-Identifier: MIT
#include "error_report.h"

#include "text.h"

namespace platform {

void MessageBoxReporter::report(const console::UntrappedError& error)
{
    // A box with a destroyed owner would not show at all.
    HWND owner = IsWindow(owner_) ? owner_ : nullptr;
    MessageBoxW(owner, widen(reportText(error)).c_str(), widen(kReportCaption).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace platform
