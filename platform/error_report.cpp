#include "error_report.h"

#include <QMessageBox>

namespace platform {

void MessageBoxReporter::report(const console::UntrappedError& error)
{
    QMessageBox::critical(parent_, QStringLiteral("DTR Pulse Out"),
                          QStringLiteral("Run-time error '%1':\n\n%2")
                              .arg(error.number())
                              .arg(QString::fromStdString(error.description())));
}

} // namespace platform
