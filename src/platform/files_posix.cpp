// Files on a POSIX system: Linux, and the browser's file system.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace rpg {
namespace {

const char* kind_of(const struct stat& info) {
    if (S_ISREG(info.st_mode)) return nullptr;
    if (S_ISDIR(info.st_mode)) return "a folder";
    if (S_ISFIFO(info.st_mode)) return "a FIFO";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device";
    if (S_ISSOCK(info.st_mode)) return "a socket";
    return "not a file";
}

}  // namespace

ReadableFile::ReadableFile(const std::filesystem::path& file) {
    fd_ = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        open_error_ = errno;
        return;
    }
    struct stat info {};
    const char* kind = fstat(fd_, &info) == 0 ? kind_of(info) : "not a file";
    if (kind != nullptr) {
        close();
        state_ = State::not_regular;
        kind_ = kind;
        return;
    }
    // Reads of a regular file wait for the disk as usual.
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    size_ = static_cast<std::uint64_t>(info.st_size);
    state_ = State::open;
}

ReadableFile::~ReadableFile() { close(); }

std::ptrdiff_t ReadableFile::read(char* into, std::size_t count) {
    if (fd_ < 0) return 0;
    for (;;) {
        const ssize_t got = ::read(fd_, into, count);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        read_error_ = errno;
        return -1;
    }
}

void ReadableFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

WrittenFile::~WrittenFile() { close(); }

WrittenFile::Created WrittenFile::create(const std::filesystem::path& file, bool replace) {
    close();
    // Never waiting on a FIFO, and replacing only a regular file.
    const int flags = O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (replace ? 0 : O_EXCL);
    const int fd = ::open(file.c_str(), flags, 0644);
    if (fd < 0) {
        error_ = errno;
        // A FIFO with no reader, or a device, refuses a non-blocking open.
        return error_ == EEXIST   ? Created::exists
               : error_ == EISDIR ? Created::folder
               : error_ == ENXIO  ? Created::not_regular
                                  : Created::failed;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Created::not_regular;
    }
    if (replace && ftruncate(fd, 0) != 0) {
        error_ = errno;
        ::close(fd);
        return Created::not_emptied;
    }
    fd_ = fd;
    return Created::ok;
}

bool WrittenFile::write(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return fd_ >= 0;
}

void WrittenFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void WrittenFile::write_from_handler(int descriptor, const char* bytes, std::size_t count) {
    [[maybe_unused]] const ssize_t put = ::write(descriptor, bytes, count);
}

}  // namespace rpg
