// The main of every test program that does not bring its own: a QApplication
// (on the platform the test runner chose: offscreen, or xcb under with-x11),
// then GoogleTest.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
