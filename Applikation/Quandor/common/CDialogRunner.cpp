#include "CDialogRunner.h"

#include <QDialog>

int CDialogRunner::DoModal(QDialog& dialog)
{
    // A copy: the runner may replace itself while the dialog runs.
    const Runner run = RunnerSeam().Get();
    return run ? run(dialog) : dialog.exec();
}

CTestSeam<CDialogRunner::Runner>& CDialogRunner::RunnerSeam()
{
    static CTestSeam<CDialogRunner::Runner> seam("CDialogRunner::RunnerSeam");
    return seam;
}
