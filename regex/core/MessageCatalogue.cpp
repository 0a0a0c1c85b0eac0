#include "MessageCatalogue.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <sys/stat.h>

namespace tramex {

namespace {

bool readWholeFile(const std::string& path, std::string& content)
{
    // A name with a NUL in it would name a different file to the system.
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)
        || info.st_size > MessageCatalogue::MaximumFileSize)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    content.clear();
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
        // The file may have grown since it was measured.
        if (content.size() > size_t(MessageCatalogue::MaximumFileSize)) {
            std::fclose(file);
            return false;
        }
    }
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool parseId(const std::string& digits, int& id)
{
    if (digits.empty() || digits.size() > 10)
        return false;
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value > INT_MAX)
        return false;
    id = int(value);
    return true;
}

} // namespace

std::shared_ptr<const MessageCatalogue> MessageCatalogue::Load(const std::string& path, bool strict)
{
    std::string content;
    if (!readWholeFile(path, content))
        return nullptr;
    return Parse(content, strict);
}

std::shared_ptr<const MessageCatalogue> MessageCatalogue::Parse(const std::string& content, bool strict)
{
    auto catalogue = std::make_shared<MessageCatalogue>();
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;

        const size_t tab = line.find('\t');
        int id = 0;
        const bool wellFormed = tab != std::string::npos && parseId(line.substr(0, tab), id)
                                && !catalogue->m_texts.count(id);
        if (!wellFormed) {
            if (strict)
                return nullptr;
            continue;
        }
        std::string text = line.substr(tab + 1);
        if (text.size() > MaximumTextLength)
            text.resize(MaximumTextLength);
        catalogue->m_texts.emplace(id, std::move(text));
    }
    return catalogue;
}

const std::string* MessageCatalogue::Find(int id) const
{
    const auto it = m_texts.find(id);
    return it == m_texts.end() ? nullptr : &it->second;
}

} // namespace tramex
