#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>

class CAppContext;
class CLanguageHandler;
class CReaderLink;
class QDialog;
class QEvent;
class QKeyEvent;
struct CWrenSettings;

// How the two Wren dialogs hold their conversation with the reader. The
// link is theirs only while no transfer and no other conversation holds
// it; every command goes through the link's queued call in plain frames
// and blocks the dialog for at most its reply time; the first
// conversation waits until the dialog is on screen, so the operator sees
// what it is waiting for.
class CWrenDialogLink
{
public:
    // message: the window message posted to the dialog delayMs after its
    // first showing, when it asks for one. The context (of the reader view
    // that opens the dialog) gives the reader link; without one nothing is
    // sent.
    CWrenDialogLink(QDialog* dialog, CAppContext* context, CLanguageHandler* language, int message, int delayMs);

    // True, with the notice shown, while a transfer holds the link: no
    // command of a dialog would be answered then.
    static bool Taken(CAppContext& context);

    CAppContext* Context() const { return m_pContext; }
    // The reader link; null without a context or a tree.
    CReaderLink* ReaderLink() const;

    CLanguageHandler* Language() const { return m_pLanguage; }
    QString Text(unsigned int number) const;
    void ShowBox(unsigned int text, QMessageBox::Icon icon) const;
    // The reader's reply; empty when there is no link or no answer.
    QString Send(char letter, const QString& data) const;
    bool Acknowledged(char letter, const QString& data) const;
    // Master active, standalone, then the switch time; false when the
    // reader did not acknowledge the first two (the time is not sent then).
    bool SendSettings(const CWrenSettings& settings, const QString& switchTime) const;

    // True at the dialog's first showing only.
    bool FirstShow();
    // The dialog's message, delayed.
    void PostLater() { m_timer.start(); }
    bool IsMessage(const QEvent* event) const;
    // Enter closes the dialog and neither sends nor stores: no button of
    // the Wren dialogs is a default one. False for any other key.
    static bool CloseOnEnter(QDialog& dialog, const QKeyEvent* event);

private:
    CAppContext* m_pContext;
    CLanguageHandler* m_pLanguage;
    int m_nMessage;
    QTimer m_timer;
    bool m_bShown = false;
};
