#pragma once

#include "CRowLookup.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <QString>

class CAppContext;

// The look-ups the record views make for the cells they show, each the
// first cached row with the key, in the present database handler's caches.
class CRecordLookups
{
public:
    explicit CRecordLookups(CAppContext& context);
    CRecordLookups(const CRecordLookups&) = delete;
    CRecordLookups& operator=(const CRecordLookups&) = delete;

    using Transponder = CtblTransponder::structTransponder;
    using Person = CtblPerson::structPerson;

    // The transponder with this identity (none for 0).
    const Transponder* TransponderById(qint32 id);
    const Transponder* TransponderByNumber(const QString& number);
    // The person whose record names the transponder (none for 0).
    const Person* PersonHolding(qint32 transponderId);
    // Forgets every index, so the next look-up builds it from the caches as
    // they are. A re-read is noticed by itself; a key changed in a cached
    // row (a transponder's number, a person's transponder) is not: whoever
    // changes one in place calls this right after.
    void Reset();

private:
    CtblTransponder* Transponders() const;
    CtblPerson* Persons() const;

    CAppContext& m_context;
    CRowLookup<Transponder, qint32> m_transponderById;
    CRowLookup<Transponder, QString> m_transponderByNumber;
    CRowLookup<Person, qint32> m_personByTransponder;
};
