#pragma once

#include <QDialog>
#include <QString>

class CLanguageHandler;
class QComboBox;
class QPushButton;

// The choice of the COM port the reader is attached to. The chosen port
// number is stored as "nAktCom", where every connect reads it; "connect
// now" also asks the caller to connect at once.
class CChooseCOMDlg : public QDialog
{
    Q_OBJECT

public:
    enum ControlId { IDC_PORT_LIST = 1087, IDC_CONNECT_NOW = 1088 };
    // The result of the dialog after "connect now".
    static constexpr int kConnectNowResult = 5;

    explicit CChooseCOMDlg(CLanguageHandler* language, QWidget* parent = nullptr);

    // The number a port text starts with, read as atoi reads it (blanks, a
    // sign, digits) from at most its first 127 characters; 0 when none.
    static int PortNumberFromText(const QString& text);
    // "COM10" and the like, in the order the list shows them (as text, so
    // port 10 comes before port 2).
    static QStringList PortEntries(const QList<uint>& ports);

    QComboBox* PortList() const { return m_pPorts; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* ConnectNowButton() const { return m_pConnectNow; }

    // 1 when the dialog ended with "connect now".
    int m_bConnectNow = 0;
    // The text of the port chosen when the dialog ended.
    QString m_strPort;

private:
    void OnOK();
    void OnConnectNow();
    // Stores the chosen port when it is one of the listed ones.
    void StoreChoice();

    CLanguageHandler* m_pLanguage;
    QComboBox* m_pPorts;
    QPushButton* m_pOk;
    QPushButton* m_pConnectNow;
};
