#pragma once

#include "CTestSeam.h"
#include "CTimeStamp.h"

#include <QString>

// How the file commands name and place the files they write or read: the
// time stamp in proposed names, the extension forced onto a chosen name,
// and the folder a file dialog starts in.
class CFileNameRule
{
public:
    // The chosen path with the extension (".csv", ".mdb") forced onto its file
    // name: a name without "." gets it appended; a name with a "." whose
    // path does not end in the extension has everything from its last "."
    // replaced. Folders are never changed, whatever points they hold.
    static QString ApplyExtension(const QString& path, const QString& extension);

    // "ddmmyyyy_hhmmss" cut from the text form of a time stamp.
    static QString Stamp(const QString& timeStampText);
    // The stamp of now, from the clock in use.
    static QString StampNow();
    // The clock stamps are taken from; an empty one means the system
    // clock. For tests that need a fixed moment.
    static CTestSeam<CTimeStamp::Clock>& ClockSeam();

    // The folder a dialog starts in when the setting holds the full path of
    // the file chosen last: that file's folder, or the home folder when the
    // setting is empty or the folder is gone.
    static QString StartFolder(const QString& storedPath);
};
