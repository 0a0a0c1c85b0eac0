#pragma once

#include "CWrenDialogLink.h"
#include "CtblLeser.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class CFerrold_Handler;
class CLanguageHandler;
class CLeserDlg;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The settings of one Wren reader: standalone or reading-head mode, its
// master transponder active or not, the switch time, and the master
// transponder itself, which the reader can be taught by presenting a tag.
// When the master stored in the reader and the one stored in the database
// differ, the operator is asked which one is current once the dialog is on
// screen, and the other side is brought in line.
//
// The dialog works on a copy of the reader's row and finds the record by
// its ID_Leser each time it writes: the reader table is re-read under it.
// Every command goes through the link's queued call; while the dialog is
// open a framed reader on the link is not polled.
class CParamWrenDlg : public QDialog
{
    Q_OBJECT

public:
    enum ControlId {
        IDC_MASTER_GROUP = 1009,
        IDC_SETTINGS_GROUP = 1010,
        IDC_STANDALONE = 1011,
        IDC_READING_HEAD = 1012,
        IDC_SWITCH_TIME = 1015,
        IDC_SWITCH_LABEL = 1016,
        IDC_MASTER_ACTIVE = 1017,
        IDC_MASTER = 1018,
        IDC_NEW_MASTER = 1019,
        IDC_STATUS = 1032,
        IDC_PROGRESS = 1034,
        IDC_UNIT = 1065,
        IDC_UPDATE_DATABASE = 1064,
        IDC_UPDATE_READER = 3,
        IDC_CLOSE = 2
    };
    static constexpr int kChooseDelayMs = 500;
    static constexpr int kTeachWaits = 50;

    CParamWrenDlg(CLeserDlg* owner, const CtblLeser::structLeser& reader, CLanguageHandler* language,
                  QWidget* parent = nullptr);
    ~CParamWrenDlg() override;

    // The reader list's button: the dialog for the row's reader, modal over
    // the main window.
    static void Open(CLeserDlg& owner, const CtblLeser::structLeser& reader);

    QCheckBox* MasterActive() const { return m_pMasterActive; }
    QLineEdit* Master() const { return m_pMaster; }
    QPushButton* NewMasterButton() const { return m_pNewMaster; }
    QLabel* Status() const { return m_pStatus; }
    QProgressBar* Progress() const { return m_pProgress; }
    QRadioButton* Standalone() const { return m_pStandalone; }
    QRadioButton* ReadingHead() const { return m_pReadingHead; }
    QLineEdit* SwitchTime() const { return m_pSwitchTime; }
    QPushButton* UpdateDatabaseButton() const { return m_pUpdateDatabase; }
    QPushButton* UpdateReaderButton() const { return m_pUpdateReader; }
    QPushButton* CloseButton() const { return m_pClose; }
    QString ReaderMaster() const { return m_strReaderMaster; }
    qint32 ReaderId() const { return m_nReaderId; }
    QString StoredMaster() const { return m_strStoredMaster; }

    void OnNewMaster();
    void OnUpdateDatabase();
    void OnUpdateReader();
    void OnChooseMaster();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The database of the reader view that opened the dialog.
    CFerrold_Handler* Database() const;
    void BuildLayout();
    // The stored settings into the controls.
    void InitDialog();
    // The reader's master, at the first showing; the link stops polling a
    // framed reader from then on until the dialog goes.
    void AskReader();
    // The reader's row in the cache now; null when it is gone.
    const CtblLeser::structLeser* CurrentRow() const;
    // The mode bits and parameter text from the controls; false (the box
    // shown) when the switch time is refused.
    bool ReadControls(QString* modus, QString* parameter);
    // The controls stored in the reader's row, marked to be sent again at
    // the next write of its data when markForUpdate; false when refused,
    // when the row is gone (said) or the write failed.
    bool StoreControls(bool markForUpdate, QString* modus, QString* parameter);
    // The reader table re-read and the reader list redrawn.
    void AfterReaderWrite();

    QPointer<CLeserDlg> m_pOwner;
    CLanguageHandler* m_pLanguage;
    CWrenDialogLink m_link;
    // Copied from the row at opening: the cache may be re-read meanwhile.
    qint32 m_nReaderId;
    QString m_strModus;
    QString m_strParameter;
    QString m_strReaderMaster;
    QString m_strStoredMaster;

    QCheckBox* m_pMasterActive = nullptr;
    QLineEdit* m_pMaster = nullptr;
    QPushButton* m_pNewMaster = nullptr;
    QLabel* m_pStatus = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QRadioButton* m_pStandalone = nullptr;
    QRadioButton* m_pReadingHead = nullptr;
    QLabel* m_pSwitchLabel = nullptr;
    QLineEdit* m_pSwitchTime = nullptr;
    QLabel* m_pUnit = nullptr;
    QPushButton* m_pUpdateDatabase = nullptr;
    QPushButton* m_pUpdateReader = nullptr;
    QPushButton* m_pClose = nullptr;
};
