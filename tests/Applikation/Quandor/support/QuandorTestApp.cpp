#include "CQuandorApp.h"

#include <memory>

// The program's tests run under its own application object, as the program does.
std::unique_ptr<QApplication> CreateTestApplication(int& argc, char** argv)
{
    return std::make_unique<CQuandorApp>(argc, argv);
}
