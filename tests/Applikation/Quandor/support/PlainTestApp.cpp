#include "CDialogRunner.h"
#include "SeamCheck.h"

#include <QApplication>
#include <QDialog>

#include <memory>

// The lower folders' tests run without the program: a plain application
// object with the program's names (its settings are found by them). No
// modal dialog waits for a person: unless a test answers it, it is closed
// at once. A test that leaves a seam set fails.
std::unique_ptr<QApplication> CreateTestApplication(int& argc, char** argv)
{
    auto app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quandor"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    CDialogRunner::RunnerSeam().Replace([](QDialog&) { return int(QDialog::Rejected); });
    SeamCheck::Install();
    return app;
}
