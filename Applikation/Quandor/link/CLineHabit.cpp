#include "CLineHabit.h"

void CLineHabit::Reset()
{
    m_mode = Unknown;
    m_probation = kProbation;
}

void CLineHabit::NoteMissed()
{
    // The line has shown copies before, just not this one: equal replies
    // are held briefly for a while yet.
    m_mode = Quiet;
    m_probation = kProbation;
}

void CLineHabit::PassProbation()
{
    int left = m_probation.load();
    while (left > 0 && !m_probation.compare_exchange_weak(left, left - 1)) {
    }
}
