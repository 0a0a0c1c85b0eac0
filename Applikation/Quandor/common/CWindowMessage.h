#pragma once

#include <QEvent>
#include <QString>
#include <QtGlobal>

// A request from one window (or thread) to another, numbered like the
// program's own window messages (WM_USER + n). Posted with
// QCoreApplication::postEvent; the receiver's event() dispatches by type.
class CWindowMessage : public QEvent
{
public:
    enum : int {
        WM_USER = 0x400,
        WM_SHOW_SELECTED_VIEW = WM_USER + 2,
        WM_SEARCH_FINISHED = WM_USER + 3,
        WM_CHOOSE_PORT = WM_USER + 4,
        WM_LINK_LOST = WM_USER + 5,
        WM_TAG_READ = WM_USER + 8,
        WM_READ_READER_LIST = WM_USER + 13,
        WM_READ_EVENTS = WM_USER + 14,
        WM_IDENTIFY_READER = WM_USER + 16,
        WM_CHOOSE_MASTER_TRANSPONDER = WM_USER + 19,
        WM_EVENTS_READ = WM_USER + 20,
        WM_WRITE_ALL_DATA = WM_USER + 21,
        WM_WRITE_ALL_DONE = WM_USER + 22,
        // The end of a fetch of all data (the slots read).
        WM_FETCH_ALL_DONE = WM_USER + 40,
    };

    explicit CWindowMessage(int message, qintptr wParam = 0, qintptr lParam = 0, QString text = QString());

    int Message() const { return static_cast<int>(type()); }

    qintptr wParam;
    qintptr lParam;
    // A text the message carries (the tag number of WM_TAG_READ).
    QString text;

    // Posts a message to a receiver's event queue.
    static void Post(QObject* receiver, int message, qintptr wParam = 0, qintptr lParam = 0,
                     const QString& text = QString());
};
