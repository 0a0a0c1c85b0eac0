#pragma once

#include <QDialog>
#include <QStringList>

class CLanguageHandler;
class QLabel;
class QListWidget;

// Lists the records a CSV import did not write ("Nr.: <n> -> <line>"),
// sorted as text, with only an OK button.
class CImportErrorDlg : public QDialog
{
    Q_OBJECT

public:
    CImportErrorDlg(CLanguageHandler* pLanguage, const QStringList* errors, QWidget* parent = nullptr);

    QListWidget* List() const { return m_pList; }

private:
    const QStringList* m_pErrors;
    CLanguageHandler* m_pLanguage;
    QListWidget* m_pList = nullptr;
    QLabel* m_pText = nullptr;
};
