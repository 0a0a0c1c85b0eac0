#pragma once

#include "CTestSeamBase.h"

#include <gtest/gtest.h>

#include <functional>
#include <unordered_map>

// Fails the test that leaves a test seam otherwise than it found it (set by
// hand and never put back, or a ScopedSeam that outlives the test), and puts
// the seam back so the next test starts as every test does.
class SeamCheck : public ::testing::EmptyTestEventListener
{
public:
    // Once per test program, before the tests run.
    static void Install() { ::testing::UnitTest::GetInstance()->listeners().Append(new SeamCheck); }

private:
    struct Found
    {
        unsigned long long serial;
        std::function<void()> keeper;
    };

    void OnTestStart(const ::testing::TestInfo&) override
    {
        m_found.clear();
        for (CTestSeamBase* seam : CTestSeamBase::All())
            m_found[seam] = {seam->Serial(), seam->Keeper()};
    }

    // Runs before the result is printed, so the failure belongs to the test.
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        for (CTestSeamBase* seam : CTestSeamBase::All()) {
            const auto it = m_found.find(seam);
            // A seam first used by this test was empty before it.
            const unsigned long long before = it == m_found.end() ? 0 : it->second.serial;
            if (seam->Serial() == before)
                continue;
            ADD_FAILURE() << "The test left the seam " << seam->Name() << " set; a ScopedSeam puts it back.";
            if (it != m_found.end())
                it->second.keeper();
            else
                seam->Reset();
        }
    }

    std::unordered_map<CTestSeamBase*, Found> m_found;
};
