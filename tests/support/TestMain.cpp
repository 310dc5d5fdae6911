#include "support/ModalGuard.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

// Test main for tests without widgets: a QCoreApplication, and a modal run
// the test did not expect (an order confirmation with nobody to answer it)
// failing it at once.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testsupport::installModalDialogGuard();
    return RUN_ALL_TESTS();
}
