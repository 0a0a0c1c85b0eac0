#pragma once

#include <QString>

#include <functional>

class QInputMethodEvent;
class QKeyEvent;
class QLineEdit;

// What an in-place editor's text line lets through of typed text: digits
// only when the cell asks for them, and each character alone through the
// cell's validation. Text an input method commits goes the same way.
class CCellTextFilter
{
public:
    void SetValidation(const QString& expression) { m_strValidation = expression; }
    QString GetValidation() const { return m_strValidation; }
    void SetDigitsOnly(bool digitsOnly) { m_bDigitsOnly = digitsOnly; }

    QString Accepted(const QString& text) const;

    enum class Typed { NoText, Refused, Entered };
    // A key press that types text: what the cell accepts of it goes into
    // the line ("press" takes the key when all of it is accepted) and the
    // key is taken. NoText (and nothing done) for any other key.
    Typed Type(QLineEdit& line, QKeyEvent* event, const std::function<void(QKeyEvent*)>& press) const;
    // Committed text, filtered, for "input" to take; whether any was accepted.
    bool Commit(QInputMethodEvent* event, const std::function<void(QInputMethodEvent*)>& input) const;

private:
    QString m_strValidation;
    bool m_bDigitsOnly = false;
};
