#pragma once

#include <QDialog>

class CLanguageHandler;
class QLabel;
class QRadioButton;

// Asks what a CSV export writes: the current view (only when it can be
// exported), all transponders, all persons or all events.
class CExportDataDlg : public QDialog
{
    Q_OBJECT

public:
    // "canExportView": 1 when the right-hand view can be exported.
    CExportDataDlg(CLanguageHandler* pLanguage, int canExportView, QWidget* parent = nullptr);

    // 0 current view, 1 transponders, 2 persons, 3 events.
    int GetChoice() const { return m_nChoice; }
    QRadioButton* Radio(int choice) const { return m_radios[choice]; }

private:
    CLanguageHandler* m_pLanguage;
    int m_bCanExportView;
    int m_nChoice = 0;
    QRadioButton* m_radios[4] = {};
    QLabel* m_pText = nullptr;
};
