#include "FileRewriter.h"

#include "ReadFully.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tramex {

namespace {

constexpr size_t kBlock = 64 * 1024;

using Problems = std::vector<FileChangeProblem>;

void add(Problems& problems, const std::string& name, int step, std::uint64_t offset, int error,
         const std::string& expected = std::string())
{
    problems.push_back({name, step, std::uint32_t(offset), expected, std::uint32_t(error)});
}

// The start of the last part of a path.
size_t nameStart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The dot that starts the extension of the last part, or npos.
size_t extensionDot(const std::string& path)
{
    const size_t start = nameStart(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= start)
        return std::string::npos;
    return dot;
}

std::string folderOf(const std::string& path)
{
    const size_t start = nameStart(path);
    if (start == 0)
        return ".";
    return start == 1 ? std::string("/") : path.substr(0, start - 1);
}

// Where the content of "path" lives: a link's final target.
std::string resolved(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

bool writeFully(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = EIO;
            return false;
        }
        data += put;
        size -= size_t(put);
    }
    return true;
}

// A new file beside "target", removed again unless Keep() is called.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string& target) : m_name(folderOf(target) + "/RegexXXXXXX")
    {
        m_fd = mkostemp(&m_name[0], O_CLOEXEC);
        m_error = m_fd < 0 ? errno : 0;
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            close(m_fd);
        if (!m_kept && m_error == 0)
            unlink(m_name.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Error() const { return m_error; }
    int Fd() const { return m_fd; }
    const std::string& Name() const { return m_name; }

    // Flushes and closes; false with errno when the disk did not take it.
    bool Finish()
    {
        const int fd = m_fd;
        m_fd = -1;
        const bool synced = fsync(fd) == 0;
        const int syncError = errno;
        const bool closed = close(fd) == 0;
        if (!synced)
            errno = syncError;
        return synced && closed;
    }
    // Gives the file its final name.
    bool RenameTo(const std::string& name)
    {
        if (rename(m_name.c_str(), name.c_str()) != 0)
            return false;
        m_kept = true;
        return true;
    }

private:
    std::string m_name;
    int m_fd = -1;
    int m_error = 0;
    bool m_kept = false;
};

class FileHandle
{
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// The file's permission bits and owner onto the new file; the owner only
// where the process may give it. Returns 0 or the error of the bits.
int takeAttributes(int fd, const struct stat& info)
{
    if (fchown(fd, info.st_uid, info.st_gid) != 0 && fchown(fd, uid_t(-1), info.st_gid) != 0) {
        // Not the owner's to give: the file becomes the caller's, as any
        // program's rewrite would make it.
    }
    return fchmod(fd, info.st_mode & 07777) == 0 ? 0 : errno;
}

// Copies "from" to "to" through a temporary file and a rename, so an
// existing "to" is either replaced whole or left as it was. 0 or errno.
int copyFile(const std::string& from, const std::string& to)
{
    FileHandle in(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (in.Fd() < 0 || fstat(in.Fd(), &info) != 0)
        return errno;
    TemporaryFile out(to);
    if (!out.IsOpen())
        return out.Error();
    std::unique_ptr<char[]> block(new char[kBlock]);
    for (;;) {
        const ssize_t got = pattorn::ReadFully(in.Fd(), block.get(), kBlock);
        if (got < 0)
            return errno;
        if (got == 0)
            break;
        if (!writeFully(out.Fd(), block.get(), size_t(got)))
            return errno;
    }
    if (const int error = takeAttributes(out.Fd(), info))
        return error;
    if (!out.Finish() || !out.RenameTo(to))
        return errno;
    return 0;
}

} // namespace

std::string FileRewriter::BackupName(const std::string& fileName, const std::string& saveExtension)
{
    const size_t dot = extensionDot(fileName);
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    return stem + "." + saveExtension;
}

bool FileRewriter::HasExtension(const std::string& fileName, const std::string& extension)
{
    if (extension.empty())
        return false;
    const size_t dot = extensionDot(fileName);
    if (dot == std::string::npos || fileName.size() - dot - 1 != extension.size())
        return false;
    for (size_t i = 0; i < extension.size(); ++i) {
        const unsigned char a = static_cast<unsigned char>(fileName[dot + 1 + i]);
        const unsigned char b = static_cast<unsigned char>(extension[i]);
        if (std::tolower(a) != std::tolower(b))
            return false;
    }
    return true;
}

bool FileRewriter::IsReadOnly(const std::string& fileName)
{
    struct stat info;
    return stat(fileName.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

bool FileRewriter::Rewrite(const std::string& fileName, const std::vector<Replacement>& replacements,
                           const std::string& saveExtension, Problems& problems)
{
    FileHandle in(open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (in.Fd() < 0 || fstat(in.Fd(), &info) != 0) {
        add(problems, fileName, FileChangeProblem::open_failed, 0, errno);
        return false;
    }
    const std::string target = resolved(fileName);
    TemporaryFile out(target);
    if (!out.IsOpen()) {
        add(problems, out.Name(), FileChangeProblem::temporary_failed, 0, out.Error());
        return false;
    }

    std::unique_ptr<char[]> block(new char[kBlock]);
    std::uint64_t offset = 0;
    // Copies the file up to "end" (to its end for UINT64_MAX).
    auto copyUpTo = [&](std::uint64_t end) {
        while (offset < end) {
            const size_t want = size_t(std::min<std::uint64_t>(kBlock, end - offset));
            const ssize_t got = pattorn::ReadFully(in.Fd(), block.get(), want);
            if (got < 0 || (got < ssize_t(want) && end != UINT64_MAX)) {
                add(problems, fileName, FileChangeProblem::read_failed, offset, got < 0 ? errno : 0);
                return false;
            }
            if (!writeFully(out.Fd(), block.get(), size_t(got))) {
                add(problems, out.Name(), FileChangeProblem::write_failed, offset, errno);
                return false;
            }
            offset += std::uint64_t(got);
            if (got < ssize_t(want))
                break; // the end of the file
        }
        return true;
    };

    std::string found;
    for (const Replacement& r : replacements) {
        if (!copyUpTo(r.position))
            return false;
        found.resize(r.matched.size());
        const ssize_t got = pattorn::ReadFully(in.Fd(), &found[0], found.size());
        if (got < 0 || size_t(got) < found.size()) {
            add(problems, fileName, FileChangeProblem::read_failed, offset, got < 0 ? errno : 0);
            return false;
        }
        if (found != r.matched) {
            add(problems, fileName, FileChangeProblem::text_changed, r.position, 0, r.matched);
            return false;
        }
        if (!writeFully(out.Fd(), r.replacement.data(), r.replacement.size())) {
            add(problems, out.Name(), FileChangeProblem::write_failed, offset, errno);
            return false;
        }
        offset += r.matched.size();
    }
    if (!copyUpTo(UINT64_MAX))
        return false;

    const int attributesError = takeAttributes(out.Fd(), info);
    if (!out.Finish()) {
        add(problems, out.Name(), FileChangeProblem::write_failed, offset, errno);
        return false;
    }
    if (!saveExtension.empty()) {
        const std::string backup = BackupName(fileName, saveExtension);
        if (const int error = copyFile(fileName, backup)) {
            add(problems, backup, FileChangeProblem::backup_failed, 0, error);
            return false;
        }
    }
    if (!out.RenameTo(target)) {
        add(problems, fileName, FileChangeProblem::replace_failed, 0, errno);
        return false;
    }
    if (attributesError)
        add(problems, fileName, FileChangeProblem::attributes_failed, 0, attributesError);
    return true;
}

} // namespace tramex
