#include "CQuandorApp.h"

#include "CAboutDlg.h"
#include "CDatabaseBackup.h"
#include "CDialogSetup.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CLockWait.h"
#include "CLockWaitCursor.h"
#include "CMainFrame.h"
#include "CRegistryKey.h"
#include "CShellContext.h"
#include "CUiMessage.h"
#include "CDBException.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>

#include <atomic>
#include <optional>
#include <thread>

namespace {

// The layout of this run could not be saved.
constexpr unsigned int kLayoutNotSavedText = 340;

QMessageBox::Icon boxIcon(CFerrold_Reporter::Icon icon)
{
    switch (icon) {
    case CFerrold_Reporter::Icon::Exclamation:
        return QMessageBox::Warning;
    case CFerrold_Reporter::Icon::Stop:
        return QMessageBox::Critical;
    case CFerrold_Reporter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

CQuandorApp::CQuandorApp(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_pContext(std::make_unique<CShellContext>(*this))
{
    setApplicationName(QStringLiteral("Quandor"));
    setOrganizationName(QStringLiteral("Velmora"));
}

CQuandorApp::~CQuandorApp()
{
    ExitInstance();
}

CQuandorApp* CQuandorApp::Instance()
{
    return qobject_cast<CQuandorApp*>(QCoreApplication::instance());
}

CAppContext& CQuandorApp::Context()
{
    return *m_pContext;
}

bool CQuandorApp::InitInstance()
{
    if (!PrepareServices())
        return false;
    ShowSplash();
    return CreateMainFrame();
}

bool CQuandorApp::InitServices()
{
    if (!PrepareServices())
        return false;
    GetDBHandler();
    return true;
}

bool CQuandorApp::PrepareServices()
{
    m_pDialogSetup = new CDialogSetup(m_layoutFolder);
    if (!m_pDialogSetup) {
        CUiMessage::Show(QStringLiteral("Can not load XML - Handler!"), QMessageBox::Critical);
        return false;
    }
    if (!m_pDialogSetup->OpenFile(QStringLiteral("DialogSetup.xml"))) {
        CUiMessage::Show(QStringLiteral("Can not load Dialog - Handler!"), QMessageBox::Critical);
        return false;
    }

    m_strProgramFolder = QDir::currentPath() + QLatin1Char('/');

    m_pLanguage =
        new CLanguageHandler(CRegistryKey::ProgramLanguage(), m_strProgramFolder + QStringLiteral("SysFiles/"));
    CUiMessage::SetLanguage(m_pLanguage);
    ApplyQtLanguage(m_pLanguage->GetAktivLanguage());
    // The database library's messages, from any thread, as boxes on this one.
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon icon) {
        CUiMessage::Show(text, boxIcon(icon));
    });
    // Full-size copies a killed backup or restore left behind.
    CDatabaseBackup::RemoveLeftovers(CFerrold_Schema::DefaultFilePath());
    return true;
}

void CQuandorApp::ShowSplash()
{
    CAboutDlg splash(1, m_pLanguage);
    if (m_pDBHandler) {
        splash.exec();
        return;
    }
    ReadDatabaseDuring(splash);
}

void CQuandorApp::ReadDatabaseDuring(CAboutDlg& splash)
{
    // The read takes seconds over a large events table; the operator sees
    // the splash meanwhile, not nothing. The handler is made and filled on
    // the reading thread alone and handed over only after that thread has
    // ended (its connections go with it; this thread opens its own on
    // first use). The reader's failure boxes come to this thread through
    // its event loop, which runs the whole time, so it is never waited for
    // without one.
    splash.Hold();
    std::unique_ptr<CFerrold_Handler> handler;
    QString failure;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        try {
            handler = std::make_unique<CFerrold_Handler>(m_pLanguage);
        } catch (const CDBException& e) {
            failure = e.m_strError;
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        finished = true;
        QMetaObject::invokeMethod(&splash, [&splash] { splash.Release(); }, Qt::QueuedConnection);
    });
    splash.exec();
    // Closed early (Escape): the read goes on without a window for the rest.
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    reader.join();
    // The release posted for the splash must not outlive it.
    QCoreApplication::removePostedEvents(&splash);
    if (handler) {
        m_pDBHandler = handler.release();
        m_pDBHandler->GetDatabase()->SetLockWaitObserver(std::make_shared<CLockWaitCursor>());
    } else {
        ReportException(failure);
    }
}

bool CQuandorApp::CreateMainFrame()
{
    m_pMainFrame = new CMainFrame(*m_pContext, m_pLanguage);
    if (!m_pMainFrame->Create()) {
        delete m_pMainFrame;
        return false;
    }
    m_pMainFrame->show();
    m_pMainFrame->InitialUpdate();
    return true;
}

int CQuandorApp::ExitInstance()
{
    // The windows go first: they stop and join their threads, which still
    // use the texts and the database.
    delete m_pMainFrame;

    if (m_pDialogSetup) {
        try {
            // The layout is all a failure here costs; said, as every lost write is.
            QString error;
            if (!m_pDialogSetup->Save(&error)) {
                const QString text = m_pLanguage ? m_pLanguage->GetLangItem(kLayoutNotSavedText) : QString();
                CUiMessage::Show(text + QStringLiteral("\n\n") + error, QMessageBox::Warning);
            }
            delete m_pDialogSetup;
            m_pDialogSetup = nullptr;
        } catch (const std::exception& e) {
            qWarning("The layout could not be saved: %s", e.what());
        }
    }
    CFerrold_Reporter::SetReporter(nullptr);
    CUiMessage::SetLanguage(nullptr);
    DeleteDatabaseHandler();
    delete m_pLanguage;
    m_pLanguage = nullptr;
    if (m_pQtTexts)
        removeTranslator(m_pQtTexts.get());
    m_pQtTexts.reset();
    QLocale::setDefault(QLocale::system());
    return 0;
}

void CQuandorApp::ApplyQtLanguage(unsigned int language)
{
    if (m_pQtTexts) {
        removeTranslator(m_pQtTexts.get());
        m_pQtTexts.reset();
    }
    const bool german = language != 1;
    // Dates in the pickers name their months in the program's language,
    // whatever the desktop's language is.
    QLocale::setDefault(QLocale(german ? QLocale::German : QLocale::English,
                                german ? QLocale::Germany : QLocale::UnitedKingdom));
    // Qt speaks English by itself; German comes from the system's Qt
    // translations (Debian package qt6-translations-l10n). Without them the
    // buttons stay English, which is no reason to refuse to start.
    if (!german)
        return;
    auto texts = std::make_unique<QTranslator>();
    if (texts->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(texts.get());
        m_pQtTexts = std::move(texts);
    }
}

bool CQuandorApp::HasQtTranslation() const
{
    return m_pQtTexts != nullptr;
}

void CQuandorApp::OnAppAbout()
{
    CAboutDlg about(0, m_pLanguage, m_pMainFrame);
    about.exec();
}

CFerrold_Handler* CQuandorApp::GetDBHandler()
{
    if (!m_pDBHandler) {
        m_pDBHandler = new CFerrold_Handler(m_pLanguage);
        m_pDBHandler->GetDatabase()->SetLockWaitObserver(std::make_shared<CLockWaitCursor>());
    }
    return m_pDBHandler;
}

void CQuandorApp::DeleteDatabaseHandler()
{
    delete m_pDBHandler;
    m_pDBHandler = nullptr;
}

void CQuandorApp::BeginWaitCursor()
{
    ++m_waitCursors;
    setOverrideCursor(Qt::WaitCursor);
}

void CQuandorApp::EndWaitCursor()
{
    if (m_waitCursors <= 0)
        return;
    --m_waitCursors;
    restoreOverrideCursor();
}

void CQuandorApp::RestoreWaitCursor()
{
    if (m_waitCursors > 0 && (!overrideCursor() || overrideCursor()->shape() != Qt::WaitCursor))
        setOverrideCursor(Qt::WaitCursor);
}

void CQuandorApp::ReportException(const QString& text)
{
    CUiMessage::Show(text, QMessageBox::Critical);
}

bool CQuandorApp::notify(QObject* receiver, QEvent* event)
{
    // What the operator did at once (a click, a key, a command) waits for
    // another program's database locks within one bound, however many
    // statements it runs.
    std::optional<CLockWait::Step> step;
    if (QThread::currentThread() == thread())
        step.emplace();
    try {
        return QApplication::notify(receiver, event);
    } catch (const CDBException& e) {
        const CLanguageHandler* language = Instance() ? Instance()->GetLanguage() : nullptr;
        ReportException(language ? language->GetLangItem(83) + QLatin1Char('\n') + language->GetLangItem(84)
                                       + QStringLiteral("\n\n") + e.m_strError
                                 : e.m_strError);
    } catch (const std::exception& e) {
        ReportException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportException(QStringLiteral("Unexpected error."));
    }
    return false;
}

CMainFrame* CQuandorApp::GetMainFrame() const
{
    return m_pMainFrame;
}
