#pragma once

#include "CTestSeam.h"

#include <functional>

class QDialog;

// The one way the program runs its modal choice dialogs. Normally that is
// the dialog's own event loop; tests put a runner in its place that drives
// the dialog without a screen and returns its result, so no test ever waits
// for a person.
class CDialogRunner
{
public:
    using Runner = std::function<int(QDialog& dialog)>;

    // Runs the dialog modally and returns its result (QDialog::Accepted,
    // Rejected or the value given to done()).
    static int DoModal(QDialog& dialog);

    // How dialogs are run; an empty runner means the dialog's own event
    // loop. Replaced on the UI thread only.
    static CTestSeam<Runner>& RunnerSeam();
};
