#include "TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

// One main for every test program: a private environment, then a GUI
// application object (offscreen unless the caller chose a display), so widget
// tests and plain tests run alike.
int main(int argc, char** argv)
{
    TestEnvironment::Prepare();
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    TestEnvironment::CleanUp();
    return result;
}
