#include "CDialogRunner.h"

#include <QDialog>

namespace {

CDialogRunner::Runner& runner()
{
    static CDialogRunner::Runner current;
    return current;
}

} // namespace

int CDialogRunner::DoModal(QDialog& dialog)
{
    // A copy: the runner may replace itself while the dialog runs.
    const Runner run = runner();
    return run ? run(dialog) : dialog.exec();
}

CDialogRunner::Runner CDialogRunner::SetRunner(Runner replacement)
{
    std::swap(runner(), replacement);
    return replacement;
}
