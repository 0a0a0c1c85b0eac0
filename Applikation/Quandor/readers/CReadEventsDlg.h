#pragma once

#include "CTimeStamp.h"

#include <QDate>
#include <QDialog>
#include <QString>

class CLanguageHandler;
class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;

// The options of reading a reader's events: read up to the reader's event
// pointer or the model's whole memory, and an optional date range.
//
// The date texts are "DDMMYY". They stay empty until the user changes a
// picker; OK fills a still-empty one with today's date. The pickers offer
// only the years an event's two-digit year can stand for (1971 to 2070),
// so a bound always means the date it shows.
class CReadEventsDlg : public QDialog
{
    Q_OBJECT

public:
    enum ControlId {
        IDC_READ_TO_POINTER = 1066,
        IDC_DATE_FILTER = 1067,
        IDC_DATE_TO = 1068,
        IDC_DATE_FROM = 1069,
        IDC_LABEL_FROM = 1070,
        IDC_LABEL_TO = 1071,
    };
    static const QDate kFirstDate;
    static const QDate kLastDate;

    // The clock gives "today" (the pickers' start and OK's default);
    // empty: the system clock.
    explicit CReadEventsDlg(CLanguageHandler* language, QWidget* parent = nullptr,
                            CTimeStamp::Clock clock = CTimeStamp::Clock());

    // "DDMMYY" of a date.
    static QString DateText(const QDate& date);

    QCheckBox* ReadToPointerBox() const { return m_pReadToPointer; }
    QCheckBox* DateFilterBox() const { return m_pDateFilter; }
    QDateEdit* FromPicker() const { return m_pFrom; }
    QDateEdit* ToPicker() const { return m_pTo; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    // Taken at OK.
    bool m_bDateFilter = false;
    bool m_bReadToPointer = true;
    QString m_strDateFrom;
    QString m_strDateTo;

private:
    void OnDateFilter(bool checked);
    void OnOK();
    CTimeStamp Today() const;

    CLanguageHandler* m_pLanguage;
    CTimeStamp::Clock m_clock;
    QCheckBox* m_pReadToPointer;
    QCheckBox* m_pDateFilter;
    QLabel* m_pFromLabel;
    QLabel* m_pToLabel;
    QDateEdit* m_pFrom;
    QDateEdit* m_pTo;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
};
