#pragma once

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

    // Replaces how dialogs are run; an empty runner brings back the dialog's
    // own event loop. Returns the runner it replaces. UI thread only.
    static Runner SetRunner(Runner runner);
};
