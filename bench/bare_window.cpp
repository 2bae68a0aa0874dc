// SPDX-License-Identifier: MIT
// The yardstick for start-up time and memory: a bare Qt window of one button.
#include <QApplication>
#include <QPushButton>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QPushButton button(QStringLiteral("Bare"));
    button.setWindowTitle(QStringLiteral("Bare Qt window"));
    button.show();
    return QApplication::exec();
}
