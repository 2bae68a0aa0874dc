// SPDX-License-Identifier: MIT
#include "error_report.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace platform {
namespace {

// A critical message box whose text Ctrl+C copies, caption included, as
// message boxes do on Windows: a user can paste the exact error into a bug
// report or a search.
class CopyableMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(windowTitle() + QStringLiteral("\n\n") + text());
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

} // namespace

void MessageBoxReporter::report(const console::UntrappedError& error)
{
    CopyableMessageBox box(QMessageBox::Critical, QString::fromUtf8(kReportCaption),
                           QString::fromStdString(reportText(error)), QMessageBox::Ok, parent_);
    box.exec();
}

} // namespace platform
