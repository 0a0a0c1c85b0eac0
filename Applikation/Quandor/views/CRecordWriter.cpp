#include "CRecordWriter.h"

#include "CFerrold_Base.h"
#include "CNotice.h"

CRecordWriter::Result CRecordWriter::WriteByKey(CFerrold_Base& set, qint32 key,
                                                const std::function<void()>& setColumns)
{
    if (!set.OpenKey(key)) {
        CNotice::ShowOpenFailure();
        return Result::OpenFailed;
    }
    if (set.IsEOF()) {
        set.Close();
        return Result::NotFound;
    }
    const Result result = Apply(set, false, setColumns);
    set.Close();
    return result;
}

CRecordWriter::Result CRecordWriter::AddNew(CFerrold_Base& set, const std::function<void()>& setColumns,
                                            qint32* newKey)
{
    // An empty snapshot is enough to add to: the table is not read.
    if (!set.OpenKey(0)) {
        CNotice::ShowOpenFailure();
        return Result::OpenFailed;
    }
    const Result result = Apply(set, true, setColumns);
    if (result == Result::Written && newKey)
        *newKey = set.GetLastInsertKey();
    set.Close();
    return result;
}

CRecordWriter::Result CRecordWriter::Apply(CFerrold_Base& set, bool addNew, const std::function<void()>& setColumns)
{
    try {
        if (addNew)
            set.AddNew();
        else
            set.Edit();
        if (setColumns)
            setColumns();
        set.Update();
    } catch (const CDBException& e) {
        CNotice::ShowDatabaseError(e.m_strError);
        return Result::Refused;
    }
    return Result::Written;
}
