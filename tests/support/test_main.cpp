// Qt runs offscreen, also while CTest lists the tests at build time where no display
// exists. The build names the application class: an event loop only (QCoreApplication)
// for the logic tests, a QApplication for the window tests.
#include <gtest/gtest.h>

#include ZV_TEST_APPLICATION_HEADER

int main(int argc, char** argv) {
#ifndef Q_OS_WIN  // no offscreen platform there: the ctest line names `-platform windows`
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    ZV_TEST_APPLICATION app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
