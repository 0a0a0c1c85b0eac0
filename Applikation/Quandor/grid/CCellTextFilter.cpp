#include "CCellTextFilter.h"

#include "GridKeyMap.h"
#include "ValidateText.h"

#include <QInputMethodEvent>
#include <QLineEdit>

QString CCellTextFilter::Accepted(const QString& text) const
{
    if (m_strValidation.isEmpty() && !m_bDigitsOnly)
        return text;
    QString accepted;
    for (const QChar c : text) {
        if (m_bDigitsOnly && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            continue;
        // The character alone is checked, upper-cased for the check only.
        if (!m_strValidation.isEmpty() && ValidateText(QString(c).toUpper(), 4, m_strValidation, 0, 0) != 0)
            continue;
        accepted += c;
    }
    return accepted;
}

CCellTextFilter::Typed CCellTextFilter::Type(QLineEdit& line, QKeyEvent* event,
                                             const std::function<void(QKeyEvent*)>& press) const
{
    const QString text = event->text();
    if ((GridKeyMap::ModifiersOf(event) & Qt::ControlModifier) || !GridKeyMap::IsTypedText(text))
        return Typed::NoText;
    const QString accepted = Accepted(text);
    if (accepted == text)
        press(event);
    else if (!accepted.isEmpty())
        line.insert(accepted);
    event->accept();
    return accepted.isEmpty() ? Typed::Refused : Typed::Entered;
}

bool CCellTextFilter::Commit(QInputMethodEvent* event, const std::function<void(QInputMethodEvent*)>& input) const
{
    const QString commit = event->commitString();
    const QString accepted = Accepted(commit);
    if (accepted == commit) {
        input(event);
    } else {
        QInputMethodEvent filtered(event->preeditString(), event->attributes());
        filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
        input(&filtered);
    }
    return !accepted.isEmpty();
}
