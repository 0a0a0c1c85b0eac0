#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Files the regular-expression tests write and read back, byte for byte.
namespace testfiles {

// Writes the file anew (its folders too) with the given permissions.
inline void write(const std::string& path, const std::string& content, mode_t mode = 0644)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    chmod(path.c_str(), mode);
}

// The whole file; empty when it cannot be read.
inline std::string read(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace testfiles
