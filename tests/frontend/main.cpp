// The window's driver needs one QApplication for every test, on the offscreen platform (set
// here, not in the test's environment, which the test discovery run would not see).
#ifdef VYR_WITH_QT
#include <QApplication>
#endif
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
#ifdef VYR_WITH_QT
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
