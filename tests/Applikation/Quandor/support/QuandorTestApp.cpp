#include "CDialogRunner.h"
#include "CQuandorApp.h"
#include "SeamCheck.h"

#include <QDialog>

#include <memory>

// The program's tests run under its own application object, as the program
// does. No modal dialog waits for a person: unless a test answers it, it is
// closed at once.
std::unique_ptr<QApplication> CreateTestApplication(int& argc, char** argv)
{
    auto app = std::make_unique<CQuandorApp>(argc, argv);
    CDialogRunner::RunnerSeam().Replace([](QDialog&) { return int(QDialog::Rejected); });
    SeamCheck::Install();
    return app;
}
