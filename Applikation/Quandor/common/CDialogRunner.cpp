#include "CDialogRunner.h"

#include "CTestSeam.h"

#include <QDialog>

namespace {

CTestSeam<CDialogRunner::Runner>& runner()
{
    static CTestSeam<CDialogRunner::Runner> seam;
    return seam;
}

} // namespace

int CDialogRunner::DoModal(QDialog& dialog)
{
    // A copy: the runner may replace itself while the dialog runs.
    const Runner run = runner().Get();
    return run ? run(dialog) : dialog.exec();
}

CDialogRunner::Runner CDialogRunner::SetRunner(Runner replacement)
{
    return runner().Replace(std::move(replacement));
}
