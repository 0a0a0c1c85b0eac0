#pragma once

#include "CTestSeam.h"

#include <QString>

#include <functional>

class QWidget;

// The file dialogs of the file commands (CSV export and import, database
// backup and restore). Tests put a chooser of their own in its place, so no
// test waits on a dialog nobody answers.
class CFileChooser
{
public:
    struct Request
    {
        bool save = false;        // save form (asks before replacing), else open form
        QString title;
        QString folder;           // where the dialog starts
        QString proposedName;     // file name put into the name field
        QString filter;           // e.g. "CSV Dateien (*.csv)"
        QString defaultSuffix;    // appended by the dialog to a name without one
    };
    // The chosen file's full path, or an empty text when cancelled.
    using Chooser = std::function<QString(const Request&)>;

    static QString Choose(QWidget* parent, const Request& request);

    // What stands in for the dialog; an empty chooser means the real one.
    static CTestSeam<Chooser>& ChooserSeam();
};
