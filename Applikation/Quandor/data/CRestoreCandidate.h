#pragma once

#include <QString>

// Whether a file may become the program's database: an intact embedded
// database holding the six tables with their columns and sound keys, whose
// time schemas come in whole groups of four rows and include the built-in
// full-access schema, with no NULL where a text is stored, and with nothing
// of its own that runs inside the program's database (no triggers, no
// views). The file is only read.
class CRestoreCandidate
{
public:
    // An empty text when the file may be restored, else the reason.
    static QString Fault(const QString& path);
};
