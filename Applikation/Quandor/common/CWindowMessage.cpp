#include "CWindowMessage.h"

#include <QCoreApplication>

CWindowMessage::CWindowMessage(int message, qintptr w, qintptr l, QString t)
    : QEvent(static_cast<QEvent::Type>(message))
    , wParam(w)
    , lParam(l)
    , text(std::move(t))
{
}

void CWindowMessage::Post(QObject* receiver, int message, qintptr w, qintptr l, const QString& t)
{
    QCoreApplication::postEvent(receiver, new CWindowMessage(message, w, l, t));
}
