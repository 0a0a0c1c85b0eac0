#pragma once

#include "CPlainListJob.h"
#include "CWrenDialogLink.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class CFerrold_Handler;
class CLanguageHandler;
class CLeserDlg;
class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The transponder list of a reader that speaks plain frames (Wren, Tern).
// Three lists side by side: left, the transponders the database assigns to
// the reader; right, the list stored in the reader, read once the dialog is
// shown; middle, the list the operator composes from both. Send stores the
// middle list in the reader and then in the database (mode 1, "write all"),
// or only in the database (mode 0, "fetch all").
//
// A transponder of a person is shown by the person's name, any other by its
// number; every row carries its number, so two persons of one name stay two
// transponders. The lists are sorted by a fixed, locale-independent order,
// which is also the order the reader's entries are written in.
//
// Each conversation with the reader (reading its list, sending one) runs as
// the one transfer on the line (CPlainListJob); the handler waits for its
// end with the dialog's controls off, so no handler of the dialog runs in
// between. Nothing is recorded in the database that the reader did not
// acknowledge, or that the line could not vouch for.
class CSendWrenDlg : public QDialog
{
    Q_OBJECT

public:
    enum Mode { FetchMode = 0, WriteMode = 1 };
    enum ControlId {
        IDC_LIST_READER = 1073,
        IDC_LIST_DATABASE = 1074,
        IDC_LIST_SEND = 1075,
        IDC_SEND = 1079,
        IDC_MOVE_RIGHT = 1080,
        IDC_MOVE_LEFT = 1081,
        IDC_REMOVE = 1083,
        IDC_STATUS = 1032,
        IDC_PROGRESS = 1034,
        IDC_CANCEL = 2
    };
    // The reader keeps at most 49 entries besides its master.
    static constexpr int kMaxLength = 50;
    static constexpr int kReadDelayMs = 500;
    // The number a list row carries.
    static constexpr int kNumberRole = Qt::UserRole;

    CSendWrenDlg(CLanguageHandler* language, CFerrold_Handler* db, CLeserDlg* owner, int mode, qint32 readerId,
                 QWidget* parent = nullptr);
    ~CSendWrenDlg() override;

    // The reader list's entry point: the list of the stored reader readerId
    // (fetch all: mode 0, write all: mode 1), modal over the main window.
    // Refused while a transfer holds the link. Returns at once after it.
    static void Run(CLeserDlg& owner, int mode, qint32 readerId);

    int Mode() const { return m_nMode; }
    qint32 ReaderId() const { return m_nReaderId; }
    QTreeWidget* DatabaseList() const { return m_pDatabase; }
    QTreeWidget* SendList() const { return m_pSend; }
    QTreeWidget* ReaderList() const { return m_pReader; }
    QPushButton* SendButton() const { return m_pSendButton; }
    QPushButton* RemoveButton() const { return m_pRemove; }
    QPushButton* MoveRightButton() const { return m_pMoveRight; }
    QPushButton* MoveLeftButton() const { return m_pMoveLeft; }
    QLabel* Status() const { return m_pStatus; }
    QProgressBar* Progress() const { return m_pProgress; }
    // The numbers of a list, top to bottom.
    static QStringList Numbers(const QTreeWidget* list);
    // The texts of a list, top to bottom.
    static QStringList Texts(const QTreeWidget* list);

    // The handlers, public for the reader list and the tests.
    void OnReadReaderList();
    void OnMoveRight();
    void OnMoveLeft();
    void OnRemoveSelected();
    void OnSend();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Not while a conversation with the reader runs.
    void reject() override;

private:
    void BuildLayout();
    QTreeWidget* NewList(unsigned int title, quint32 colorref, int id);
    void FillFromDatabase();
    void MoveBeside();
    void SetStatus(const QString& text);
    void SetProgress(int position);
    void SetProgressRange(int upper);
    // Inserts a row with its display text and number into a list.
    void Insert(QTreeWidget* list, const QString& text, const QString& number);
    void CopyInto(QTreeWidget* from);
    void UpdateButtons();
    // Mode 1: the list and the settings to the reader; false (the box
    // shown) when it did not acknowledge them or the line went out of step.
    bool SendToReader(const QStringList& numbers);
    // Runs job as the line's transfer and waits for its end.
    CPlainListJob::End Converse(const std::shared_ptr<CPlainListJob>& job);

    CWrenDialogLink m_link;
    CFerrold_Handler* m_pDb;
    QPointer<CLeserDlg> m_pOwner;
    int m_nMode;
    qint32 m_nReaderId;
    // The names of the persons whose transponders the reader holds, by
    // transponder number.
    QHash<QString, QString> m_names;
    // The wait of the conversation that runs, or null.
    QEventLoop* m_pWait = nullptr;

    QTreeWidget* m_pDatabase = nullptr;
    QTreeWidget* m_pSend = nullptr;
    QTreeWidget* m_pReader = nullptr;
    QPushButton* m_pMoveRight = nullptr;
    QPushButton* m_pMoveLeft = nullptr;
    QPushButton* m_pRemove = nullptr;
    QLabel* m_pStatus = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pSendButton = nullptr;
    QPushButton* m_pCancel = nullptr;
};
