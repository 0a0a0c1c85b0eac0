#include "CGridCellClass.h"

#include "CGridCellBase.h"

bool CGridCellClass::IsDerivedFrom(const CGridCellClass& base) const
{
    for (const CGridCellClass* cls = this; cls; cls = cls->m_base) {
        if (cls == &base)
            return true;
    }
    return false;
}

std::unique_ptr<CGridCellBase> CGridCellClass::CreateObject() const
{
    if (!m_factory || !IsDerivedFrom(CGridCellBase::GetThisClass()))
        return nullptr;
    return m_factory();
}
