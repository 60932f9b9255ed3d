#pragma once
// The record of every write a program under measurement sends to its
// terminal, kept in a file both the program and the benchmark map: the
// program's side (interpose/write_log.cpp, loaded with LD_PRELOAD) appends a
// record for each write to a terminal, the benchmark reads them. The time is
// taken in the program just before the write, on the monotonic clock both
// share, so that the benchmark's own wake-ups do not blur it.

#include <cstdint>

namespace bench {

struct WriteRecord {
    std::int64_t at_ns;     // monotonic time just before the write
    std::int64_t bytes;     // what the write took (0 when it failed)
    std::int64_t complete;  // 1 once the write has returned; set last
};

// The file: this header, then `capacity` records.
struct WriteLog {
    std::uint64_t claimed;  // records taken so far, possibly not yet complete
    std::uint64_t capacity;
    std::uint64_t overflow;  // writes that found no room
    std::uint64_t reserved;
};

inline WriteRecord* records_of(WriteLog* log) { return reinterpret_cast<WriteRecord*>(log + 1); }

// The environment variable that names the log file for the program's side.
inline constexpr const char* write_log_variable = "BENCH_WRITE_LOG";

inline constexpr std::uint64_t write_log_capacity = 1u << 18;
inline constexpr std::uint64_t write_log_size = sizeof(WriteLog) + write_log_capacity * sizeof(WriteRecord);

}  // namespace bench
