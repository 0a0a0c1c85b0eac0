#pragma once

#include "FerroldTestDb.h"

#include "CtblPerson.h"

// Persons to change, delete and refuse deleting, on every back end.
class PersonRowsTest : public FerroldTest
{
protected:
    // Persons 1..count, person i holding transponder i.
    void AddPersons(int count)
    {
        QStringList rows;
        for (int i = 1; i <= count; ++i)
            rows << QStringLiteral("(%1, 'P%1', %1)").arg(i);
        Sql("INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES " + rows.join(','));
    }
    // A trigger that refuses to delete the person with this key.
    void RefuseDeleting(int key)
    {
        Refuse("refuse", "DELETE", "tblPerson", QStringLiteral("OLD.ID_Person = %1").arg(key),
               QStringLiteral("person %1 is protected").arg(key));
    }
    std::vector<qint32> StoredPersons()
    {
        auto* p = m_handler->Get_Ptr_To_tblPerson();
        p->_Requery();
        std::vector<qint32> keys;
        for (int i = 0; i < p->GetAnz_Person(); ++i)
            keys.push_back(p->Get_Person(i)->ID_Person);
        return keys;
    }
};
