#include "CRecordWriter.h"

#include "CBusyScope.h"
#include "CFerrold_Base.h"
#include "CLanguageHandler.h"
#include "CUiMessage.h"

CRecordWriter::Result CRecordWriter::WriteByKey(CFerrold_Base& set, qint32 key,
                                                const std::function<void()>& setColumns)
{
    if (!set.OpenKey(key)) {
        ShowOpenFailure();
        return Result::OpenFailed;
    }
    if (set.IsEOF()) {
        set.Close();
        return Result::NotFound;
    }
    try {
        set.Edit();
        if (setColumns)
            setColumns();
        set.Update();
    } catch (const CDBException& e) {
        set.Close();
        ShowDatabaseError(e.m_strError);
        return Result::Refused;
    }
    set.Close();
    return Result::Written;
}

CRecordWriter::Result CRecordWriter::AddNew(CFerrold_Base& set, const std::function<void()>& setColumns,
                                            qint32* newKey)
{
    // An empty snapshot is enough to add to: the table is not read.
    if (!set.OpenKey(0)) {
        ShowOpenFailure();
        return Result::OpenFailed;
    }
    try {
        set.AddNew();
        if (setColumns)
            setColumns();
        set.Update();
    } catch (const CDBException& e) {
        set.Close();
        ShowDatabaseError(e.m_strError);
        return Result::Refused;
    }
    if (newKey)
        *newKey = set.GetLastInsertKey();
    set.Close();
    return Result::Written;
}

QString CRecordWriter::Text(unsigned int number)
{
    // The texts of the boxes, in the language the boxes themselves speak.
    const CLanguageHandler* language = CUiMessage::Language();
    return language ? language->GetLangItem(number) : QString();
}

void CRecordWriter::ShowOpenFailure()
{
    CBusyScope::Show(Text(83) + QLatin1Char('\n') + Text(84), QMessageBox::Critical);
}

void CRecordWriter::ShowDatabaseError(const QString& text)
{
    CBusyScope::Show(text, QMessageBox::Warning);
}

void CRecordWriter::ShowNotice(unsigned int text)
{
    CBusyScope::Show(Text(text), QMessageBox::Warning);
}

void CRecordWriter::ShowCount(unsigned int text, qint64 number)
{
    const CLanguageHandler* language = CUiMessage::Language();
    CBusyScope::Show(language ? language->GetLangItem(text, number) : QString::number(number), QMessageBox::Warning);
}

bool CRecordWriter::Confirm(unsigned int text)
{
    return CBusyScope::ConfirmDestructive(Text(text));
}
