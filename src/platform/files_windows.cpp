// Files on Windows: opened by their wide names, so that folders outside the
// ANSI code page work too.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "platform/files.h"

namespace rpg {
namespace {

// A folder cannot be opened as a file here; it is told by its name.
bool names_a_folder(const std::filesystem::path& file) {
    std::error_code failed;
    return std::filesystem::is_directory(file, failed);
}

}  // namespace

ReadableFile::ReadableFile(const std::filesystem::path& file) {
    fd_ = _wopen(file.c_str(), _O_RDONLY | _O_BINARY);
    if (fd_ < 0) {
        open_error_ = errno;
        if (names_a_folder(file)) {
            state_ = State::not_regular;
            kind_ = "a folder";
        }
        return;
    }
    const char* kind = nullptr;
    switch (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)))) {
        case FILE_TYPE_DISK: break;
        case FILE_TYPE_CHAR: kind = "a device"; break;
        case FILE_TYPE_PIPE: kind = "a pipe"; break;
        default: kind = "not a file"; break;
    }
    struct _stati64 info {};
    if (kind == nullptr && _fstati64(fd_, &info) != 0) kind = "not a file";
    if (kind != nullptr) {
        close();
        state_ = State::not_regular;
        kind_ = kind;
        return;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    state_ = State::open;
}

ReadableFile::~ReadableFile() { close(); }

std::ptrdiff_t ReadableFile::read(char* into, std::size_t count) {
    if (fd_ < 0) return 0;
    const int got = _read(fd_, into, static_cast<unsigned>(count < INT_MAX ? count : INT_MAX));
    if (got < 0) read_error_ = errno;
    return got;
}

void ReadableFile::close() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

WrittenFile::~WrittenFile() { close(); }

WrittenFile::Created WrittenFile::create(const std::filesystem::path& file, bool replace) {
    close();
    const int flags = _O_WRONLY | _O_CREAT | _O_BINARY | (replace ? _O_TRUNC : _O_EXCL);
    const int fd = _wopen(file.c_str(), flags, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        error_ = errno;
        if (error_ == EEXIST) return Created::exists;
        return names_a_folder(file) ? Created::folder : Created::failed;
    }
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        _close(fd);
        return Created::not_regular;
    }
    fd_ = fd;
    return Created::ok;
}

bool WrittenFile::write(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        const unsigned want = static_cast<unsigned>(bytes.size() < INT_MAX ? bytes.size() : INT_MAX);
        const int put = _write(fd_, bytes.data(), want);
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return fd_ >= 0;
}

void WrittenFile::close() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

void WrittenFile::write_from_handler(int descriptor, const char* bytes, std::size_t count) {
    [[maybe_unused]] const int put = _write(descriptor, bytes, static_cast<unsigned>(count));
}

}  // namespace rpg
