#pragma once

#include "CFileChooser.h"

#include <QString>

class CAppContext;
class CLanguageHandler;

// What the CSV export and import commands share: the program around them,
// its texts, and the CSV file dialog, which starts in the folder of the
// file last chosen and remembers the file chosen now.
class CCsvCommand
{
protected:
    CCsvCommand(CAppContext& context, CLanguageHandler* language);

    QString Text(unsigned int number) const;
    // A CSV file dialog whose start folder the registry value "pathValue"
    // ("SavePath", "ImportPath") names.
    static CFileChooser::Request CsvRequest(bool save, const QString& title, const QString& pathValue);
    // The chosen file kept in "pathValue" and handed to the context.
    void RememberPath(const QString& pathValue, const QString& path);

    CAppContext& m_context;
    CLanguageHandler* m_pLanguage;
};
