#pragma once

#include "CTestSeam.h"

#include <QMessageBox>
#include <QString>

#include <atomic>
#include <functional>

class CLanguageHandler;

// The one way to put a message box in front of the user, from any thread.
//
// Boxes only ever exist on the UI thread. Called there, Show() is a plain
// call. Called from a worker, it hands the box to the UI thread and waits
// for the answer; when the worker's stop flag becomes true it stops waiting
// at once, closes the box if it is already open and returns NoButton, so an
// owner that sets the flag and joins its worker never deadlocks against a
// box that nobody can answer any more.
class CUiMessage
{
public:
    struct Request
    {
        QString text;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        // The button Return presses; NoButton leaves the choice to the box.
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        // True once the asking thread has stopped waiting; a presenter that
        // keeps a box open should close it then.
        std::function<bool()> abandoned;
    };
    // Shows a request on the UI thread and returns the button chosen.
    using Presenter = std::function<QMessageBox::StandardButton(const Request&)>;

    // Shows "text" with the icon and buttons and returns the button chosen,
    // or NoButton when the box could not be shown or the wait was abandoned.
    // The caption is language text 74 unless one is given. "stop" may be
    // null; a worker without a stop flag waits until the box is answered.
    static QMessageBox::StandardButton Show(const QString& text,
                                            QMessageBox::Icon icon = QMessageBox::Information,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            const std::atomic<bool>* stop = nullptr,
                                            const QString& caption = QString(),
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // The texts for the default caption (lent; null until the program has
    // its language component, and set back to null before it is deleted).
    static void SetLanguage(const CLanguageHandler* language);
    // The texts set last; null when none.
    static const CLanguageHandler* Language();
    // UI thread: boxes that workers asked for and that were not shown yet
    // are dropped, and their workers get NoButton (what happens to them at
    // the application's end).
    static void DropQueuedBoxes();
    // The caption a box gets when none is given.
    static QString DefaultCaption();

    // Replaces how boxes are shown (tests answer them without a screen); an
    // empty presenter brings back the real message box. Returns the one it
    // replaces.
    // The text as a box shows it: a lock another program holds on the
    // database is explained in plain words before the driver's text.
    static QString ExplainLock(const QString& text);
    static constexpr unsigned int kLockedText = 361;
    // A database that can only be read: said instead of the driver's words.
    static constexpr unsigned int kReadOnlyText = 365;
    static CTestSeam<Presenter>& PresenterSeam();
    // The real message box; closes itself when the request is abandoned.
    static QMessageBox::StandardButton ShowMessageBox(const Request& request);
};
