#pragma once
// Files as the game uses them. A data file or a recording is read only when
// it is a regular file: it is opened without waiting (a FIFO's open would wait
// for a writer, a device may never end) and what was opened is judged, not
// the name, so that nothing swapped in meanwhile gets through. A recording is
// written to a new file unless replacing one is asked for, each line out of
// the program as soon as it is written. One source per system:
// files_posix.cpp (Linux, the browser's file system) and files_windows.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace rpg {

// A file opened for reading, if it is a regular file.
class ReadableFile {
public:
    enum class State {
        open,         // a regular file, ready to read
        missing,      // the name cannot be opened (no such file, no permission)
        not_regular,  // a folder, a FIFO, a device, a socket: see kind()
    };

    explicit ReadableFile(const std::filesystem::path& file);
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    State state() const { return state_; }
    // What was opened instead of a regular file: "a folder", "a FIFO",
    // "a device", "a socket", "a pipe" or "not a file".
    const char* kind() const { return kind_; }
    // Why the open failed when missing (errno's value; ENOENT for no such file).
    int open_error() const { return open_error_; }
    // The file's size when it was opened.
    std::uint64_t size() const { return size_; }

    // Reads up to `count` bytes: how many were read, 0 at the end, -1 when the
    // read failed (read_error() then says why).
    std::ptrdiff_t read(char* into, std::size_t count);
    int read_error() const { return read_error_; }
    void close();

private:
    State state_ = State::missing;
    const char* kind_ = "not a file";
    int open_error_ = 0;
    int read_error_ = 0;
    std::uint64_t size_ = 0;
    int fd_ = -1;
};

// How reading a whole file within a bound came out.
enum class WholeRead { ok, too_large, failed };
// Reads the rest of an open file into `text`, refusing it once it holds more
// than `limit` bytes (a file can grow while it is read).
WholeRead read_whole(ReadableFile& file, std::uint64_t limit, std::string& text);

// A file written from its start, unbuffered: each write reaches the file at once.
class WrittenFile {
public:
    enum class Created {
        ok,
        exists,       // the name is taken and replacing it was not asked for
        folder,       // the name is a folder
        not_regular,  // a FIFO, a device: never replaced
        not_emptied,  // a regular file to replace that could not be emptied
        failed,       // any other failure: see error()
    };

    WrittenFile() = default;
    ~WrittenFile();
    WrittenFile(const WrittenFile&) = delete;
    WrittenFile& operator=(const WrittenFile&) = delete;

    // Makes `file` new, or with `replace` empties a regular file of that name.
    Created create(const std::filesystem::path& file, bool replace);
    // Why create failed (errno's value).
    int error() const { return error_; }
    bool is_open() const { return fd_ >= 0; }
    // Writes all of `bytes`; false when the file takes no more.
    bool write(std::string_view bytes);
    void close();
    // For a signal handler: the descriptor (-1 when closed), and a write with
    // only what a handler may call.
    int descriptor() const { return fd_; }
    static void write_from_handler(int descriptor, const char* bytes, std::size_t count);

private:
    int fd_ = -1;
    int error_ = 0;
};

// A path as UTF-8 text for a message, whatever the system's own encoding of
// paths (wide on Windows).
std::string path_text(const std::filesystem::path& path);

// FNV-1a, 64 bits, continued from `hash`.
std::uint64_t fnv1a64(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325u);

// Sixteen lowercase hexadecimal digits, leading zeros kept; and back, none
// unless the word is exactly that.
std::string hex64(std::uint64_t value);
std::optional<std::uint64_t> parse_hex64(std::string_view word);

// The digest (fnv1a64) of a regular file as it stood when opened, read a
// piece at a time so that a data file's size never changes what the program
// holds; none when the file cannot be read as a regular file.
std::optional<std::uint64_t> file_digest(const std::filesystem::path& file);

}  // namespace rpg
