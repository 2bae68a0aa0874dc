// SPDX-License-Identifier: MIT
#include "program.h"

#include <QApplication>

namespace platform {

Program::Program(ProgramParts parts)
    : parts_(std::move(parts)),
      form_(std::make_unique<Form>(console::form1(), std::move(parts_.comm), parts_.resolver)),
      messageBox_(form_.get()),
      dispatch_(parts_.reporter ? *parts_.reporter : messageBox_,
                [this] {
                    if (form_) form_->comm().release();
                },
                parts_.exitProgram ? parts_.exitProgram : [](int status) { QCoreApplication::exit(status); })
{
    form_->wireClicks([this](console::Handler handler) { runHandler(handler); });
}

Program::~Program() { tearDown(); }

void Program::runHandler(console::Handler handler)
{
    dispatch_.runHandler(handler, &form_->comm(), form_->portList(), form_->portList(), parts_.sleep);
}

void Program::start()
{
    if (const auto load = console::form1().handlerFor(console::form1().name, console::Event::Load)) runHandler(*load);
    if (dispatch_.ended()) return;
    form_->placeOnScreen();
    form_->show();
}

int Program::run()
{
    start();
    const int loopStatus = dispatch_.ended() ? 0 : QApplication::exec();
    tearDown();
    return dispatch_.ended() ? dispatch_.exitStatus() : loopStatus;
}

void Program::tearDown() { form_.reset(); }

} // namespace platform
