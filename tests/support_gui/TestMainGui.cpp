#include "support_gui/ModalGuard.h"

#include <QApplication>
#include <gtest/gtest.h>

// Test main for widget tests: a QApplication on the offscreen platform, and
// a modal dialog the test did not expect failing it at once.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testsupport::installModalDialogGuard(testsupport::describeModalWidget);
    return RUN_ALL_TESTS();
}
