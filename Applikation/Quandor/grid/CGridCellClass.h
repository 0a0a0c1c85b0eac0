#pragma once

#include <memory>

class CGridCellBase;

// What a runtime class was to the cells: each cell class has one descriptor
// with its name, its base class and (for classes that can be created) a
// factory. The grid creates the cells of a column, a single cell or all its
// own cells from a descriptor, and refuses one that is no cell class or that
// cannot be created.
class CGridCellClass
{
public:
    using Factory = std::unique_ptr<CGridCellBase> (*)();

    constexpr CGridCellClass(const char* name, const CGridCellClass* base, Factory factory)
        : m_name(name), m_base(base), m_factory(factory)
    {
    }
    CGridCellClass(const CGridCellClass&) = delete;
    CGridCellClass& operator=(const CGridCellClass&) = delete;

    const char* GetName() const { return m_name; }
    const CGridCellClass* GetBaseClass() const { return m_base; }
    bool IsCreatable() const { return m_factory != nullptr; }
    // True for the class itself and for every class derived from "base".
    bool IsDerivedFrom(const CGridCellClass& base) const;
    // A new object of the class; null for a class that cannot be created.
    std::unique_ptr<CGridCellBase> CreateObject() const;

private:
    const char* m_name;
    const CGridCellClass* m_base;
    Factory m_factory;
};

// Every cell class declares its descriptor with this in its class body...
#define DECLARE_GRIDCELL(ClassName)                                                  \
public:                                                                              \
    static const CGridCellClass& GetThisClass();                                     \
    const CGridCellClass& GetRuntimeClass() const override;                          \
                                                                                     \
private:

// ...and defines it with one of these in its source file.
#define IMPLEMENT_GRIDCELL(ClassName, BaseName)                                      \
    const CGridCellClass& ClassName::GetThisClass()                                  \
    {                                                                                \
        static const CGridCellClass descriptor(#ClassName, &BaseName::GetThisClass(), \
            []() -> std::unique_ptr<CGridCellBase> { return std::make_unique<ClassName>(); }); \
        return descriptor;                                                           \
    }                                                                                \
    const CGridCellClass& ClassName::GetRuntimeClass() const { return GetThisClass(); }

#define IMPLEMENT_GRIDCELL_ABSTRACT(ClassName, BaseName)                             \
    const CGridCellClass& ClassName::GetThisClass()                                  \
    {                                                                                \
        static const CGridCellClass descriptor(#ClassName, &BaseName::GetThisClass(), nullptr); \
        return descriptor;                                                           \
    }                                                                                \
    const CGridCellClass& ClassName::GetRuntimeClass() const { return GetThisClass(); }
