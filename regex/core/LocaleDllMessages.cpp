#include "LocaleDllMessages.h"

#include "MessageCatalogue.h"

#include <climits>
#include <map>
#include <memory>

namespace tramex {

namespace {

using Table = std::map<int, std::shared_ptr<const MessageCatalogue>>;

Table& threadTable()
{
    thread_local Table table;
    return table;
}

} // namespace

size_t LocaleDllMessages::OpenCatalogues()
{
    return threadTable().size();
}

std::messages_base::catalog LocaleDllMessages::do_open(const std::string& name, const std::locale&) const
{
    auto catalogue = MessageCatalogue::Load(name, true);
    if (!catalogue)
        return -1;
    Table& table = threadTable();
    int number = 0;
    for (const auto& entry : table) {
        if (entry.first != number)
            break;
        if (number == INT_MAX - 1)
            return -1;
        ++number;
    }
    table.emplace(number, std::move(catalogue));
    return number;
}

std::string LocaleDllMessages::do_get(catalog catalogue, int, int id, const std::string& fallback) const
{
    const Table& table = threadTable();
    const auto it = table.find(catalogue);
    if (it != table.end()) {
        if (const std::string* text = it->second->Find(id))
            return *text;
    }
    return fallback;
}

void LocaleDllMessages::do_close(catalog catalogue) const
{
    threadTable().erase(catalogue);
}

} // namespace tramex
