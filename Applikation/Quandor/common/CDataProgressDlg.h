#pragma once

#include <QDialog>
#include <QString>

#include <atomic>
#include <mutex>

class CLanguageHandler;
class QLabel;
class QProgressBar;

// The modeless progress window of searches, transfers and imports: a text
// (control 1032) over a progress bar (control 1034).
//
// Workers feed it: SetRange, SetPos and SetText may be called from any
// thread while the window exists. They only record the values; the widgets
// are changed on the UI thread, and a burst of calls costs one repaint. The
// owner ends its workers before it destroys the window.
//
// The owner creates it with new, shows it, and ends it with DestroyWindow()
// (or close()); the object then deletes itself, so owners hold it in a
// QPointer. The user cannot close it: only the owner knows when the work is
// done. Hiding it keeps it alive.
class CThreadMailbox;

class CDataProgressDlg : public QDialog
{
    Q_OBJECT

public:
    CDataProgressDlg(CLanguageHandler* language, QWidget* parent = nullptr);
    ~CDataProgressDlg() override;

    // Any thread.
    void SetRange(int lower, int upper);
    void SetPos(int position);
    void SetText(const QString& text);

    // UI thread.
    QLabel* GetTextControl() const { return m_text; }
    QProgressBar* GetProgressCtrl() const { return m_bar; }
    // Closes the window and deletes the object at once.
    void DestroyWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

public slots:
    // Escape must not end the window from under its owner.
    void reject() override;

private:
    void ScheduleUpdate();
    void ApplyPending();

    CLanguageHandler* m_language;
    QLabel* m_text;
    QProgressBar* m_bar;

    // What workers have asked for and the UI thread has not shown yet.
    struct Pending
    {
        bool range = false;
        int lower = 0;
        int upper = 0;
        bool position = false;
        int pos = 0;
        bool text = false;
        QString label;
    };
    std::mutex m_pendingMutex;
    Pending m_pending;
    std::atomic<bool> m_updateQueued{false};
    // Hands workers' updates to the UI thread under a lock of our own.
    CThreadMailbox* m_mailbox;
};
