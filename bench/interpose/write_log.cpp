// Loaded into a program under measurement with LD_PRELOAD: every write to
// the terminal (standard output or error, when they are one) is recorded in
// the shared write log with the time it began. Nothing else changes: the
// write itself goes on to the C library as it was. Safe in signal handlers:
// a record is claimed with one atomic addition and filled without locks.
//
// Only calls of write() itself are seen; the C library's own buffered output
// (printf, fwrite) writes by a way of its own. The game sends its screen with
// write(); the benchmark notices bytes that no record covers.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "watch/write_log.h"

namespace {

using write_function = ssize_t (*)(int, const void*, size_t);

write_function real_write = nullptr;
bench::WriteLog* write_log = nullptr;

std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

__attribute__((constructor)) void open_write_log() {
    real_write = reinterpret_cast<write_function>(dlsym(RTLD_NEXT, "write"));
    const char* path = std::getenv(bench::write_log_variable);
    if (path == nullptr || *path == '\0') return;
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    void* memory = mmap(nullptr, bench::write_log_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) return;
    write_log = static_cast<bench::WriteLog*>(memory);
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t length) {
    if (real_write == nullptr) real_write = reinterpret_cast<write_function>(dlsym(RTLD_NEXT, "write"));
    if (write_log == nullptr || fd < 1 || fd > 2) return real_write(fd, data, length);
    // Asked at every write: a child of the program may have its output
    // elsewhere, and the caller's errno must not change.
    const int saved_errno = errno;
    const bool terminal = isatty(fd) == 1;
    errno = saved_errno;
    if (!terminal) return real_write(fd, data, length);
    const std::uint64_t i = __atomic_fetch_add(&write_log->claimed, 1, __ATOMIC_ACQ_REL);
    if (i >= write_log->capacity) {
        __atomic_fetch_add(&write_log->overflow, 1, __ATOMIC_RELAXED);
        return real_write(fd, data, length);
    }
    bench::WriteRecord& record = bench::records_of(write_log)[i];
    record.at_ns = monotonic_ns();
    const ssize_t written = real_write(fd, data, length);
    record.bytes = written > 0 ? written : 0;
    __atomic_store_n(&record.complete, 1, __ATOMIC_RELEASE);
    return written;
}
