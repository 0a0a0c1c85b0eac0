#include "CPendingRows.h"

#include "CDBException.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct ThreadRows
{
    std::vector<std::pair<const void*, CPendingRows::Holder*>> holders;
    int keep = 0;
    bool sending = false;
};
thread_local ThreadRows t_rows;

std::vector<CPendingRows::Holder*> holdersOf(const void* source)
{
    std::vector<CPendingRows::Holder*> mine;
    for (const auto& [of, holder] : t_rows.holders) {
        if (of == source)
            mine.push_back(holder);
    }
    return mine;
}

} // namespace

void CPendingRows::Note(const void* source, Holder* holder)
{
    for (const auto& entry : t_rows.holders) {
        if (entry.second == holder)
            return;
    }
    t_rows.holders.emplace_back(source, holder);
}

void CPendingRows::Forget(Holder* holder)
{
    auto& holders = t_rows.holders;
    holders.erase(std::remove_if(holders.begin(), holders.end(), [holder](const auto& e) { return e.second == holder; }),
                  holders.end());
}

bool CPendingRows::Due()
{
    return !t_rows.holders.empty() && t_rows.keep == 0 && !t_rows.sending;
}

void CPendingRows::Send(const void* source)
{
    const std::vector<Holder*> mine = holdersOf(source);
    if (mine.empty())
        return;
    t_rows.sending = true;
    for (Holder* holder : mine) {
        try {
            holder->SendPendingRows();
        } catch (const CDBException&) {
            // The holder spoiled the transaction: the commit reports it.
        }
    }
    t_rows.sending = false;
}

void CPendingRows::Drop(const void* source)
{
    for (Holder* holder : holdersOf(source))
        holder->DropPendingRows();
}

CPendingRows::Keep::Keep()
{
    ++t_rows.keep;
}

CPendingRows::Keep::~Keep()
{
    --t_rows.keep;
}
