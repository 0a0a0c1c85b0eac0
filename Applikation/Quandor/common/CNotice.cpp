#include "CNotice.h"

#include "CBusyScope.h"
#include "CUiMessage.h"

#include <CLanguageHandler.h>

QString CNotice::Text(unsigned int number)
{
    // The texts of the boxes, in the language the boxes themselves speak.
    const CLanguageHandler* language = CUiMessage::Language();
    return language ? language->GetLangItem(number) : QString();
}

void CNotice::ShowOpenFailure()
{
    CBusyScope::Show(Text(83) + QLatin1Char('\n') + Text(84), QMessageBox::Critical);
}

void CNotice::ShowDatabaseError(const QString& text)
{
    CBusyScope::Show(text, QMessageBox::Warning);
}

void CNotice::ShowNotice(unsigned int text)
{
    CBusyScope::Show(Text(text), QMessageBox::Warning);
}

void CNotice::ShowCount(unsigned int text, qint64 number)
{
    const CLanguageHandler* language = CUiMessage::Language();
    CBusyScope::Show(language ? language->GetLangItem(text, number) : QString::number(number), QMessageBox::Warning);
}

bool CNotice::Confirm(unsigned int text)
{
    return CBusyScope::ConfirmDestructive(Text(text));
}
