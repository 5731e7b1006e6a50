// Qt runs offscreen, also while CTest lists the tests at build time where no display
// exists. Logic tests get an event loop only; window tests (ZV_WINDOW_TESTS) get a
// QApplication.
#include <gtest/gtest.h>
#ifdef ZV_WINDOW_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
