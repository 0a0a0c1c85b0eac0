#pragma once

#include <QDialog>
#include <QString>

class CLanguageHandler;
class QGroupBox;
class QPushButton;
class QRadioButton;

// Asks which master transponder of a Wren reader is the current one: the
// number read from the reader or the number stored in the database.
class CCheckMTransDlg : public QDialog
{
    Q_OBJECT

public:
    enum ControlId { IDC_FROM_READER = 1084, IDC_FROM_DATABASE = 1085, IDC_GROUP = 1086 };

    CCheckMTransDlg(const QString& fromReader, const QString& fromDatabase, CLanguageHandler* language,
                    QWidget* parent = nullptr);

    QRadioButton* ReaderChoice() const { return m_pFromReader; }
    QRadioButton* DatabaseChoice() const { return m_pFromDatabase; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    QString m_strFromReader;
    QString m_strFromDatabase;
    // The number chosen with OK; empty otherwise.
    QString m_strChosen;

private:
    void OnOK();

    CLanguageHandler* m_pLanguage;
    QGroupBox* m_pGroup;
    QRadioButton* m_pFromReader;
    QRadioButton* m_pFromDatabase;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
};
