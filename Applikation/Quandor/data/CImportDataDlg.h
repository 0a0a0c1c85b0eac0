#pragma once

#include <QDialog>

class CLanguageHandler;
class QLabel;
class QRadioButton;

// Asks what a CSV import reads: transponders or persons.
class CImportDataDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CImportDataDlg(CLanguageHandler* pLanguage, QWidget* parent = nullptr);

    // 1 transponders, 2 persons.
    int GetChoice() const { return m_nChoice; }
    QRadioButton* Radio(int choice) const { return choice == 1 ? m_pTransponders : m_pPersons; }

private:
    CLanguageHandler* m_pLanguage;
    int m_nChoice = 1;
    QLabel* m_pText = nullptr;
    QRadioButton* m_pTransponders = nullptr;
    QRadioButton* m_pPersons = nullptr;
};
