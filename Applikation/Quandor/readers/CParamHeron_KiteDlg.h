#pragma once

#include "CTestSeam.h"
#include "CTimeStamp.h"
#include "CtblLeser.h"

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class CAppContext;
class CFerrold_Handler;
class CLanguageHandler;
class CLeserDlg;
class QAbstractButton;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// The settings of a framed reader: the eight parameter switches and the
// switch time, stored in the reader's record and sent, with the PC's date
// and time, to the reader while the link is leased to this dialog.
//
// The dialog keeps copies of the reader's values and finds its record by
// ID_Leser: every store re-reads the reader table, so a cached row would
// not outlive the first store.
class CParamHeron_KiteDlg : public QDialog
{
    Q_OBJECT

public:
    enum ControlId {
        IDC_PARAMETER_GROUP = 1061,
        IDC_DATETIME_GROUP = 1008,
        IDC_DATE = 1062,
        IDC_TIME = 1063,
        IDC_SWITCH_TIME = 1015,
        IDC_UNIT = 1014,
        IDC_UPDATE_READER = 1,
        IDC_CANCEL = 2,
        IDC_UPDATE_DATABASE = 3,
    };
    // The group box, "on" and "off" radio of each bit, bit 7 first.
    struct BitControls
    {
        int bit;
        int group;
        int on;
        int off;
    };
    static const BitControls kBits[8];

    enum class SwitchTime { Code, NoUnit, Refused };

    CParamHeron_KiteDlg(CLeserDlg* owner, const CtblLeser::structLeser& reader, CLanguageHandler* language,
                        QWidget* parent = nullptr);
    ~CParamHeron_KiteDlg() override;

    // Runs the dialog for the reader of a row of the reader list, over the
    // main window.
    static void Open(CLeserDlg& view, const CtblLeser::structLeser& reader);
    // The clock read for every date and time sent; empty: the PC's clock.
    static CTestSeam<CTimeStamp::Clock>& ClockSeam();

    // The switch-time code of a number typed and a unit: bit 7 minutes,
    // otherwise seconds + 1 with 1 for half a second. Numbers that the
    // seven bits cannot hold are refused like numbers below 1.
    static SwitchTime EncodeSwitchTime(const QString& number, bool minutes, int* code);
    // The number and unit a stored code shows.
    static QString DecodeSwitchTime(int code, bool* minutes);
    // The leading decimal number of a text, 0 when there is none; saturates.
    static int LeadingNumber(const QString& text);

    void OnUpdateReader();
    void OnUpdateDatabase();

    qint32 ReaderId() const { return m_nReaderId; }
    quint8 ParameterByte() const { return m_nParameter; }
    QAbstractButton* Radio(int id) const;
    QGroupBox* Group(int id) const;
    QPushButton* Button(int id) const;
    QLineEdit* SwitchTimeEdit() const { return m_pSwitchTime; }
    QComboBox* UnitBox() const { return m_pUnit; }
    QTimeEdit* TimePicker() const { return m_pTime; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildLayout();
    void ShowSettings();
    void OnRadio(int bit, bool on);
    void SetRetriggerCaption();
    // The parameter text and the switch-time code from the controls; false
    // (after the box) when the switch time is refused. *code is -1 when the
    // unit is none of the two.
    bool ReadControls(QString* parameter, int* code) const;
    // Stores the values in the reader's record; true when a record was
    // written. The reader list follows.
    bool Store(const QString& parameter, int code, bool markForSending);
    // Sends with up to five tries until the reply is an ACK.
    bool SendTries(class CReaderLink& link, const class CLinkLease& lease, const std::function<QString()>& data,
                   bool exactLength);
    QString Text(unsigned int number) const;
    void SetBusy(bool busy);
    // The reader view's database and reader link; null without them.
    CFerrold_Handler* Database() const;
    class CReaderLink* ReaderLink() const;

    // Of the reader view that opened the dialog, which may go first.
    CAppContext* m_pContext;
    QPointer<CLeserDlg> m_pOwner;
    CLanguageHandler* m_pLanguage;
    const qint32 m_nReaderId;
    const QString m_strSerial;
    const QString m_strModus;
    const QString m_strParameter;
    quint8 m_nParameter = 0;

    QDateEdit* m_pDate = nullptr;
    QTimeEdit* m_pTime = nullptr;
    QLineEdit* m_pSwitchTime = nullptr;
    QComboBox* m_pUnit = nullptr;
    QTimer m_clockTimer;
    bool m_bShown = false;
};
