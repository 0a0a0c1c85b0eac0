#pragma once

#include "CLinkTiming.h"

#include <QApplication>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class CAboutDlg;
class CAppContext;
class CDialogSetup;
class CFerrold_Handler;
class CLanguageHandler;
class CMainFrame;
class CShellContext;
class QTranslator;

// The application object: it prepares the layout store, the language texts
// and the database, in that order, before any window exists, shows the
// splash and the main window, and frees them again at exit. Every window
// takes the language texts and the database handler from here whenever it
// needs them; none keeps its own copy of the handler across a restore.
//
// It also stands where the framework used to catch exceptions that escape
// an event handler: they are shown to the user and the program goes on.
class CQuandorApp : public QApplication
{
    Q_OBJECT

public:
    CQuandorApp(int& argc, char** argv);
    ~CQuandorApp() override;

    // The running application object (null outside the program and its tests).
    static CQuandorApp* Instance();
    // What the views and commands below the main window are handed.
    CAppContext& Context();

    // The whole start: services, splash, main window. False ends the program.
    bool InitInstance();
    // The layout store, the language texts and the database handler, with
    // their failure messages. False ends the program.
    bool InitServices();
    // The splash (the About box that closes itself after 2000 ms). Without a
    // database handler yet, the database is read while it shows, and it
    // stays until the read is done.
    void ShowSplash();
    // Creates, builds and shows the main window.
    bool CreateMainFrame();
    // Closes the main window and frees the services, the layout saved first.
    int ExitInstance();

    // The About box with its OK button.
    void OnAppAbout();

    // Gets the database handler, creating it when there is none (after a
    // restore deleted it).
    CFerrold_Handler* GetDBHandler();
    // The handler as it is, null between a restore's delete and the next.
    CFerrold_Handler* CurrentDBHandler() const { return m_pDBHandler; }
    void DeleteDatabaseHandler();
    CLanguageHandler* GetLanguage() const { return m_pLanguage; }
    CDialogSetup* GetDialogSetup() const { return m_pDialogSetup; }
    CMainFrame* GetMainFrame() const;
    // The working folder at start, ending in "/".
    const QString& GetProgramFolder() const { return m_strProgramFolder; }

    // Qt's own texts (standard buttons, file dialogs) and its month and day
    // names in the program's language: 0 German, 1 English.
    void ApplyQtLanguage(unsigned int language);
    // Whether Qt's German texts were found and are in force.
    bool HasQtTranslation() const;

    // The wait cursor: begin and end nest; restore puts it back after a box.
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();
    bool IsWaitCursorOn() const { return m_waitCursors > 0; }

    // Where the layout file is kept (tests point it at a folder of their own).
    void SetLayoutFolder(const QString& folder) { m_layoutFolder = folder; }
    // The times the reader link of the next main frame runs with (tests run
    // the link faster; the program keeps the defaults).
    void SetLinkTiming(const CLinkTiming& timing) { m_linkTiming = timing; }
    const CLinkTiming& LinkTiming() const { return m_linkTiming; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an exception that escaped a handler.
    static void ReportException(const QString& text);

private:
    // InitServices less the database.
    bool PrepareServices();
    // The database handler made on a thread of its own while the splash shows.
    void ReadDatabaseDuring(CAboutDlg& splash);

    CDialogSetup* m_pDialogSetup = nullptr;
    CLanguageHandler* m_pLanguage = nullptr;
    QString m_strProgramFolder;
    CFerrold_Handler* m_pDBHandler = nullptr;
    QPointer<CMainFrame> m_pMainFrame;
    QString m_layoutFolder;
    CLinkTiming m_linkTiming;
    int m_waitCursors = 0;
    std::unique_ptr<QTranslator> m_pQtTexts;
    std::unique_ptr<CShellContext> m_pContext;
};
