#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class CLanguageHandler;
class QListWidget;
class QPushButton;

// Picks one of several texts: the reader view offers the stored readers
// that match the connected one, and as last entry the choice to add it as
// a new reader.
class CChooseReaderDlg : public QDialog
{
    Q_OBJECT

public:
    enum ControlId { IDC_ENTRIES = 1036 };

    // extraKind 1 ends the list with text 123 (a new Wren reader), any
    // other value with text 224 (a new Tern reader).
    CChooseReaderDlg(CLanguageHandler* language, const QStringList& entries, int extraKind,
                     QWidget* parent = nullptr);

    QListWidget* Entries() const { return m_pEntries; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    int m_nExtraKind;
    // The text of the entry chosen with OK; empty otherwise.
    QString m_strChosen;

private:
    void OnSelectionChanged();
    void OnOK();

    CLanguageHandler* m_pLanguage;
    QStringList m_entries;
    QListWidget* m_pEntries;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
};
