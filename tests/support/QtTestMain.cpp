// The main of every test binary that drives Qt. Qt takes the locale and the platform
// from the environment when the application object is made, so both are set first.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#ifdef TESORA_TEST_LOCALE
    setenv("LC_ALL", TESORA_TEST_LOCALE, 1);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
