// GoogleTest main with the program's application object, offscreen unless the caller chose a
// platform.
#include "platform/ErrorReport.h"

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    platform::Application app(argc, argv);  // the program's own event boundary
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
