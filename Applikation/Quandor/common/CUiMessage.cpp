#include "CUiMessage.h"

#include "CBusyScope.h"
#include "CThreadMailbox.h"

#include <CLanguageHandler.h>

#include <QApplication>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

constexpr unsigned int kCaptionText = 74;
// How often a waiting worker looks at its stop flag, and how often an open
// box looks whether its worker still waits.
constexpr auto kStopPoll = std::chrono::milliseconds(20);
constexpr int kAbandonPollMs = 50;

std::atomic<const CLanguageHandler*> g_language{nullptr};

QMessageBox::StandardButton present(const CUiMessage::Request& request)
{
    const CUiMessage::Presenter presenter = CUiMessage::PresenterSeam().Get();
    return presenter ? presenter(request) : CUiMessage::ShowMessageBox(request);
}

// What a worker and the UI thread share about one box.
struct Exchange
{
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    std::atomic<bool> abandoned{false};

    void Finish(QMessageBox::StandardButton button)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (done)
                return;
            done = true;
            answer = button;
        }
        answered.notify_all();
    }
};

// Workers hand their boxes to the UI thread through a mailbox of our own,
// which lives on the application's thread for as long as the application:
// the hand-over then rests on our own lock, not on Qt's event queue.
std::mutex g_mailboxMutex;
CThreadMailbox* g_mailbox = nullptr;

void DropMailbox()
{
    CThreadMailbox* mailbox = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mailboxMutex);
        std::swap(mailbox, g_mailbox);
    }
    // Boxes still queued are dropped, which releases their workers.
    delete mailbox;
}

void MakeMailbox()
{
    auto* mailbox = new CThreadMailbox;
    CThreadMailbox* previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mailboxMutex);
        previous = g_mailbox;
        g_mailbox = mailbox;
    }
    delete previous;
}

void StartApplication()
{
    MakeMailbox();
    qAddPostRoutine(DropMailbox);
}

Q_COREAPP_STARTUP_FUNCTION(StartApplication)

// Travels with the queued call. If the call is dropped unrun (the event
// loop is gone at shut-down), its destruction still releases the worker.
struct Delivery
{
    explicit Delivery(std::shared_ptr<Exchange> e)
        : exchange(std::move(e))
    {
    }
    ~Delivery() { exchange->Finish(QMessageBox::NoButton); }
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

    std::shared_ptr<Exchange> exchange;
};

} // namespace

QMessageBox::StandardButton CUiMessage::Show(const QString& text, QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             const std::atomic<bool>* stop, const QString& caption,
                                             QMessageBox::StandardButton defaultButton)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return QMessageBox::NoButton;

    Request request;
    request.text = ExplainLock(text);
    request.caption = caption.isEmpty() ? DefaultCaption() : caption;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultButton = defaultButton;

    if (QThread::currentThread() == app->thread()) {
        request.abandoned = [] { return false; };
        return present(request);
    }

    auto exchange = std::make_shared<Exchange>();
    request.abandoned = [exchange] { return exchange->abandoned.load(); };
    auto delivery = std::make_shared<Delivery>(exchange);
    {
        std::lock_guard<std::mutex> lock(g_mailboxMutex);
        if (!g_mailbox)
            return QMessageBox::NoButton;
        g_mailbox->Post([delivery, request] {
            if (delivery->exchange->abandoned)
                return;
            delivery->exchange->Finish(present(request));
        });
    }
    delivery.reset();

    std::unique_lock<std::mutex> lock(exchange->mutex);
    while (!exchange->done) {
        if (stop && stop->load()) {
            exchange->abandoned = true;
            return QMessageBox::NoButton;
        }
        if (stop)
            exchange->answered.wait_for(lock, kStopPoll);
        else
            exchange->answered.wait(lock);
    }
    return exchange->answer;
}

void CUiMessage::DropQueuedBoxes()
{
    DropMailbox();
    MakeMailbox();
}

void CUiMessage::SetLanguage(const CLanguageHandler* language)
{
    g_language = language;
}

const CLanguageHandler* CUiMessage::Language()
{
    return g_language.load();
}

QString CUiMessage::ExplainLock(const QString& text)
{
    // The driver's words for a lock another program holds on the database
    // ("database is locked", "database table is locked" from the file, a
    // statement cancelled "due to lock timeout" by the server) mean nothing
    // to an operator: whichever box shows them says first what they mean.
    const CLanguageHandler* language = g_language.load();
    // A file that may only be read: the driver's words ("attempt to write a
    // readonly database") give way to plain ones.
    if (language && text.contains(QLatin1String("readonly database"), Qt::CaseInsensitive)) {
        const QString readOnly = language->GetLangItem(kReadOnlyText);
        if (!readOnly.isEmpty())
            return readOnly;
    }
    const bool lock = text.contains(QLatin1String("database is locked"), Qt::CaseInsensitive)
                      || text.contains(QLatin1String("database table is locked"), Qt::CaseInsensitive)
                      || text.contains(QLatin1String("due to lock timeout"), Qt::CaseInsensitive);
    if (!lock || !language)
        return text;
    const QString explanation = language->GetLangItem(kLockedText);
    if (explanation.isEmpty() || text.contains(explanation))
        return text;
    return explanation + QStringLiteral("\n\n") + text;
}

QString CUiMessage::DefaultCaption()
{
    if (const CLanguageHandler* language = g_language.load()) {
        const QString caption = language->GetLangItem(kCaptionText);
        if (!caption.isEmpty())
            return caption;
    }
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}

CTestSeam<CUiMessage::Presenter>& CUiMessage::PresenterSeam()
{
    static CTestSeam<CUiMessage::Presenter> seam("CUiMessage::PresenterSeam");
    return seam;
}

QMessageBox::StandardButton CUiMessage::ShowMessageBox(const Request& request)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return QMessageBox::NoButton;

    // A box under the wait cursor of a running operation shows the arrow.
    CBusyScope::NormalCursor cursor;
    QMessageBox box(request.icon, request.caption, request.text, request.buttons,
                    QApplication::activeWindow());
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    QTimer watch;
    if (request.abandoned) {
        QObject::connect(&watch, &QTimer::timeout, &box, [&box, &request] {
            if (request.abandoned())
                box.done(QMessageBox::NoButton);
        });
        watch.start(kAbandonPollMs);
    }
    const int result = box.exec();
    return static_cast<QMessageBox::StandardButton>(result);
}
