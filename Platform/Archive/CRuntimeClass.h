#pragma once

class CObject;

// What a class of persistent objects tells about itself: its name and schema
// as they appear in archives, and how to make an empty object of it.
struct CRuntimeClass
{
    const char* m_lpszClassName;
    int m_wSchema;
    CObject* (*m_pfnCreateObject)();

    // A new object of the class; null for classes that cannot be created.
    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};
