#pragma once

#include <locale>
#include <string>

namespace tramex {

// The standard messages facet through which the engine's traits read a
// message catalogue (syntax characters, error texts, class names). A
// catalogue opened by it belongs to the calling thread: the numbers run from
// 0 per thread, and another thread cannot see or close it.
class LocaleDllMessages : public std::messages<char>
{
public:
    explicit LocaleDllMessages(size_t refs = 0) : std::messages<char>(refs) {}

    // The catalogues open on the calling thread.
    static size_t OpenCatalogues();

protected:
    // Reads the catalogue file strictly: a file that is missing, too large
    // or holds a line that is no entry gives -1. Otherwise the smallest
    // number from 0 that this thread has not given out.
    catalog do_open(const std::string& name, const std::locale& locale) const override;
    std::string do_get(catalog catalogue, int set, int id, const std::string& fallback) const override;
    void do_close(catalog catalogue) const override;
};

} // namespace tramex
