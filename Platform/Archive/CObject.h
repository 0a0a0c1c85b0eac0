#pragma once

#include "CRuntimeClass.h"

class CArchive;

// The base of persistent objects: a class descriptor and the settings'
// archive form.
class CObject
{
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const = 0;
    virtual void Serialize(CArchive& ar) = 0;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
