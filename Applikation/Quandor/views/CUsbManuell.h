#pragma once

#include <QDialog>

class CFerrold_Handler;
class CGridCtrl;
class CLanguageHandler;
class QLabel;
class QLineEdit;
class QPushButton;

// Adds transponders whose numbers are typed in, or entered by a USB reader
// that types the ten characters and Return. Each number becomes a record of
// its own and a row at the end of the transponders grid; the dialog stays
// open until it is cancelled.
class CUsbManuell : public QDialog
{
    Q_OBJECT

public:
    CUsbManuell(CLanguageHandler* language, CFerrold_Handler* db, CGridCtrl* grid, QWidget* parent);

    // Exactly ten characters 0-9, a-f, A-F, upper-cased; empty otherwise.
    static QString NormalizeTransponderNumber(const QString& text);

    // Takes the edit's text: a valid number is stored, anything else is
    // refused with a notice and left for correction.
    void OnOK();
    // Stores the entered number unless it is stored already.
    void AddTransponder();

    QLineEdit* NumberEdit() const { return m_pEdit; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }
    QLabel* Label() const { return m_pLabel; }

protected:
    // Return, wherever the focus is, is an entry and never closes the dialog.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString Text(unsigned int number) const;
    void Notice(unsigned int number);

    CLanguageHandler* m_pLanguage;
    CFerrold_Handler* m_pDB;
    CGridCtrl* m_pGrid;
    QLineEdit* m_pEdit;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    QLabel* m_pLabel;
    QString m_strEntered;
};
