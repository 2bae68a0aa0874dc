// SPDX-License-Identifier: MIT
#include "program.h"

#include "text.h"

#include <exception>
#include <string>

namespace platform {

Program::Program(ProgramParts parts)
    : parts_(std::move(parts)),
      exit_(parts_.exitProgram ? parts_.exitProgram : [](int status) { PostQuitMessage(status); }),
      form_(std::make_unique<Form>(console::form1(), std::move(parts_.comm), parts_.resolver)),
      messageBox_(form_->window()),
      dispatch_(parts_.reporter ? *parts_.reporter : messageBox_,
                [this] {
                    if (form_ && form_->comm()) form_->comm()->release();
                },
                exit_)
{
    form_->setEvents({[this](console::Handler handler) { runHandler(handler); },
                      [this] {
                          // A frame close or the session's end: status 0,
                          // unless a reported error has already ended it.
                          if (!dispatch_.ended()) exit_(0);
                      },
                      [this](std::exception_ptr error) { dispatch_.run([&] { std::rethrow_exception(error); }); }});
}

Program::~Program() { tearDown(); }

void Program::runHandler(console::Handler handler)
{
    if (!form_) return; // torn down: the window has gone
    dispatch_.runHandler(handler, form_->comm(), form_->portList(), form_->portList(), parts_.sleep);
}

void Program::start()
{
    if (const auto load = console::form1().handlerFor(console::form1().name, console::Event::Load)) runHandler(*load);
    if (dispatch_.ended()) return;
    form_->show();
}

void Program::handleMessage(MSG& message)
{
    // The dialog manager's keyboard: Tab and Shift+Tab; Space presses the
    // focused button, and so does Enter once Tab has brought the focus to it
    // (the dialog manager then makes it the default button). Elsewhere Enter
    // and Esc become IDOK and IDCANCEL, which press nothing.
    HWND window = form_ ? form_->window() : nullptr;
    if (window && IsDialogMessageW(window, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int Program::run()
{
    start();
    int loopStatus = 0;
    if (!dispatch_.ended() && form_->window()) {
        MSG message;
        BOOL got;
        while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) handleMessage(message);
        if (got == 0) {
            loopStatus = static_cast<int>(message.wParam);
        } else { // -1: a fault of ours (a bad argument), not a quit
            const std::string reason = systemMessage(GetLastError());
            dispatch_.run([&] {
                throw console::UntrappedError(console::kInternalError, "Internal error: GetMessageW failed: " + reason);
            });
        }
    }
    tearDown();
    return dispatch_.ended() ? dispatch_.exitStatus() : loopStatus;
}

void Program::tearDown() { form_.reset(); }

} // namespace platform
