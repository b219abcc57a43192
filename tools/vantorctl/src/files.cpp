#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace vantorctl {
namespace {

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The permissions a new file would get, as the user's umask allows.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool SafeFile::fail(const char *what, std::string &error)
{
    // errno first: the clean-up below may change it.
    error = std::string("cannot ") + what + " " + path_ + ": " + std::strerror(errno);
    abandon();
    return false;
}

bool SafeFile::open(const std::string &path, std::string &error)
{
    abandon();
    path_ = target_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        inPlace_ = true;
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        return fd_ >= 0 || fail("open", error);
    }
    // Through a symbolic link the file it names is replaced, not the link.
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && exists) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            target_ = resolved;
    }
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return fail("create", error);
    }
    temp_ = folderOf(target_) + "/." + nameOf(target_) + ".XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        temp_.clear();
        return fail("create", error);
    }
    ::fchmod(fd_, exists ? (st.st_mode & 07777) : newFileMode());
    return true;
}

bool SafeFile::write(const void *data, size_t size, std::string &error)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return fail("write", error);
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool SafeFile::commit(std::string &error)
{
    if (!inPlace_ && ::fsync(fd_) != 0)
        return fail("write", error);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail("write", error);
    if (inPlace_)
        return true;
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return fail("replace", error);
    temp_.clear();
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void SafeFile::abandon()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
    inPlace_ = false;
}

bool writeFileSafely(const std::string &path, const void *data, size_t size, std::string &error)
{
    SafeFile file;
    return file.open(path, error) && file.write(data, size, error) && file.commit(error);
}

}  // namespace vantorctl
