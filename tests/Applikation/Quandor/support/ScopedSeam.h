#pragma once

#include "CTestSeam.h"

#include <utility>

// Sets a test seam for one scope and puts back what it held when the scope
// ends, however the test leaves it:
//
//   ScopedSeam runner(CDialogRunner::RunnerSeam(), [](QDialog&) { return int(QDialog::Accepted); });
//
// Made without a function it only guards: Set() replaces the seam as often
// as a test likes, and all of it is undone at the end.
template <class Function>
class ScopedSeam
{
    // Keeps the seam's type from being guessed from a lambda.
    template <class T>
    struct Same
    {
        using type = T;
    };

public:
    explicit ScopedSeam(CTestSeam<Function>& seam)
        : m_seam(seam)
        , m_serial(seam.Serial())
        , m_previous(seam.Get())
    {
    }
    ScopedSeam(CTestSeam<Function>& seam, typename Same<Function>::type replacement)
        : ScopedSeam(seam)
    {
        Set(std::move(replacement));
    }
    ~ScopedSeam() { m_seam.Restore(std::move(m_previous), m_serial); }

    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

    void Set(Function replacement) { m_seam.Replace(std::move(replacement)); }

private:
    CTestSeam<Function>& m_seam;
    unsigned long long m_serial;
    Function m_previous;
};
