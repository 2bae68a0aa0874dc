// SPDX-License-Identifier: MIT
// GoogleTest under a QCoreApplication: the serial component notices a hung-up
// device through a QSocketNotifier, which needs one.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
