#pragma once

#include <functional>
#include <vector>

// What every test seam (CTestSeam) has, whatever it replaces: a name, and
// a serial that tells whether it still holds what it held before. The seams
// a process has touched are listed, so a test run can check that no test
// leaves one set for the next.
class CTestSeamBase
{
public:
    CTestSeamBase(const CTestSeamBase&) = delete;
    CTestSeamBase& operator=(const CTestSeamBase&) = delete;

    const char* Name() const { return m_name; }
    // Changes with every replacement; a restore brings the old one back.
    virtual unsigned long long Serial() const = 0;
    // Puts the seam back as it is now, when called.
    virtual std::function<void()> Keeper() = 0;
    // Empties it, as it was before its first use.
    virtual void Reset() = 0;

    // The seams used so far in this process.
    static std::vector<CTestSeamBase*> All();

protected:
    explicit CTestSeamBase(const char* name);
    ~CTestSeamBase();
    static unsigned long long NextSerial();

private:
    const char* m_name;
};
