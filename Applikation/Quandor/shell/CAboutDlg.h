#pragma once

#include <QDialog>

class CColorStatic;
class CHyperLink;
class CLanguageHandler;
class QPushButton;
class QTimer;

// The About box. Mode 1 is the splash at start: no OK button, and it
// closes itself after 2000 ms. Mode 0 is the About command's box.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kSplashMilliseconds = 2000;
    static constexpr char kMailAddress[] = "mailto:info@velmora.example";
    static constexpr char kWebAddress[] = "https://www.velmora.example/";

    CAboutDlg(int mode, CLanguageHandler* pLanguage, QWidget* parent = nullptr);

    int Mode() const { return m_nMode; }
    // The splash stays past its time while held, and closes when released
    // once its time is over: it covers the database read at start, however
    // long that takes, so no moment passes without a window.
    void Hold();
    void Release();
    QPushButton* OkButton() const { return m_pOk; }
    CHyperLink* MailLink() const { return m_pMail; }
    CHyperLink* WebLink() const { return m_pWeb; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    int m_nMode;
    CLanguageHandler* m_pLanguage;
    CColorStatic* m_pText = nullptr;
    CColorStatic* m_pTitle = nullptr;
    CColorStatic* m_pVersion = nullptr;
    CColorStatic* m_pLinksLabel = nullptr;
    CHyperLink* m_pMail = nullptr;
    CHyperLink* m_pWeb = nullptr;
    QPushButton* m_pOk = nullptr;
    QTimer* m_pTimer = nullptr;
    bool m_bHeld = false;
    bool m_bTimeUp = false;
};
