// Files written whole or not at all: the bytes go to a temporary file beside
// the target, are flushed to the disk and checked, and only then is it renamed
// over the target. A failure leaves the old file as it was and no partial one.
// Devices and pipes (/dev/stdout, a FIFO) are written as they are.
#pragma once

#include <cstddef>
#include <string>

namespace vantorctl {

class SafeFile {
public:
    SafeFile() = default;
    ~SafeFile() { abandon(); }
    SafeFile(const SafeFile &) = delete;
    SafeFile &operator=(const SafeFile &) = delete;

    // Each returns false with error set to what the user is told.
    bool open(const std::string &path, std::string &error);
    bool write(const void *data, size_t size, std::string &error);
    bool commit(std::string &error);
    // Removes the temporary file; the target stays as it was.
    void abandon();

private:
    bool fail(const char *what, std::string &error);

    std::string path_;    // as the user gave it
    std::string target_;  // the file renamed over (symbolic links followed)
    std::string temp_;
    int fd_ = -1;
    bool inPlace_ = false;
};

bool writeFileSafely(const std::string &path, const void *data, size_t size, std::string &error);

}  // namespace vantorctl
