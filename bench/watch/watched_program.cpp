#include "watch/watched_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "watch/write_log.h"

namespace bench {
namespace {

// Worst cases of the escape sequences a terminal needs around changed cells
// (xterm): a cursor address "ESC[24;80H", a change of look "ESC(BESC[m".
constexpr std::size_t cursor_move_bytes = 8;
constexpr std::size_t look_change_bytes = 6;
// Bytes still without a record this long after they came were not written
// with write(): a record is made before the write and completed right after.
constexpr std::int64_t unclaimed_grace_ns = 20'000'000;
// Output is collected in batches this far apart while it keeps coming, that
// is, while the last bytes came less than `streaming_ns` ago.
constexpr std::int64_t batch_ns = 2'000'000;
constexpr std::int64_t streaming_ns = 100'000'000;

// The write log: a file the program's side maps too.
std::filesystem::path make_log_file() {
    char name[] = "/tmp/rpg-bench-writes-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error(std::string("mkstemp: ") + std::strerror(errno));
    const bool sized = ftruncate(fd, static_cast<off_t>(write_log_size)) == 0;
    close(fd);
    if (!sized) throw std::runtime_error(std::string("write log: ") + std::strerror(errno));
    return name;
}

WriteLog* map_log(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDWR | O_CLOEXEC);
    void* memory = MAP_FAILED;
    if (fd >= 0) memory = mmap(nullptr, write_log_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (fd >= 0) close(fd);
    if (memory == MAP_FAILED) throw std::runtime_error(std::string("write log: ") + std::strerror(errno));
    auto* log = static_cast<WriteLog*>(memory);
    log->capacity = write_log_capacity;
    return log;
}

Launch with_log(Launch launch, const std::filesystem::path& log_file) {
    launch.environment.emplace_back("LD_PRELOAD", write_log_library().string());
    launch.environment.emplace_back(write_log_variable, log_file.string());
    // The program runs at the ordinary priority, whatever the benchmark's own.
    launch.niceness = 0;
    launch.screen_follows_output = false;
    return launch;
}

}  // namespace

std::filesystem::path write_log_library() { return RPG_WRITE_LOG_LIBRARY; }

WatchedProgram::WatchedProgram(Launch launch)
    : log_file_(make_log_file()), log_(map_log(log_file_)), session_(with_log(std::move(launch), log_file_)) {
    screen_before_ = session_.snapshot();
    session_.screen().take_touched_rows();
    last_read_ns_ = now_ns();
}

WatchedProgram::~WatchedProgram() {
    session_.finish(SIGKILL);
    munmap(log_, write_log_size);
    std::error_code ignored;
    std::filesystem::remove(log_file_, ignored);
}

bool WatchedProgram::read_chunk(int timeout_ms) {
    if (!session_.pump(timeout_ms)) return false;
    last_read_ns_ = now_ns();
    return true;
}

// Takes in the next write once both its record and its bytes are there.
// Bytes that no record claims a while after they came are taken in alone.
bool WatchedProgram::take_write() {
    const std::size_t taken = session_.screen_fed();
    if (taken == output().size()) return false;
    const std::size_t index = updates_.size() - unlogged_updates_;
    const std::uint64_t claimed = __atomic_load_n(&log_->claimed, __ATOMIC_ACQUIRE);
    if (index >= claimed || index >= write_log_capacity) {
        if (now_ns() - last_read_ns_ < unclaimed_grace_ns) return false;
        const std::size_t length = output().size() - taken;
        unlogged_bytes_ += length;
        ++unlogged_updates_;
        take(length, last_read_ns_);
        return true;
    }
    const WriteRecord& record = records_of(log_)[index];
    if (__atomic_load_n(&record.complete, __ATOMIC_ACQUIRE) != 1) return false;
    const auto length = static_cast<std::size_t>(record.bytes);
    if (taken + length > output().size()) return false;
    take(length, record.at_ns);
    return true;
}

// Feeds `length` bytes to the emulator as one update and notes what they changed.
void WatchedProgram::take(std::size_t length, std::int64_t at_ns) {
    Update update{at_ns, session_.screen_fed(), length, 0, 0, 0};
    session_.feed_screen(length);
    const int columns = session_.columns();
    bool bright = false;  // the look the terminal is left in
    for (int r : session_.screen().take_touched_rows()) {
        bool in_run = false;
        for (int c = 0; c < columns; ++c) {
            rpg::test::Cell cell = session_.cell(c, r);
            rpg::test::Cell& before = screen_before_[static_cast<std::size_t>(r * columns + c)];
            if (cell == before) {
                in_run = false;
                continue;
            }
            ++update.changed_cells;
            if (!in_run) {
                ++update.runs;
                update.budget += cursor_move_bytes;
                in_run = true;
            }
            if (cell.width != 0) {
                if (cell.bright != bright) {
                    update.budget += look_change_bytes;
                    bright = cell.bright;
                }
                update.budget += cell.text.size();
            }
            before = std::move(cell);
        }
    }
    if (bright) update.budget += look_change_bytes;
    update.budget += cursor_move_bytes;  // the cursor is left where the game wants it
    updates_.push_back(update);
}

bool WatchedProgram::wait_for(const std::function<bool()>& done, int quiet_ms, int timeout_ms, std::size_t* at_update) {
    const std::int64_t start = now_ns();
    const std::int64_t end = start + static_cast<std::int64_t>(timeout_ms) * 1'000'000;
    if (done()) {
        if (at_update) *at_update = updates_.empty() ? 0 : updates_.size() - 1;
        return true;
    }
    std::int64_t last = start;
    for (;;) {
        while (take_write()) {
            if (done()) {
                if (at_update) *at_update = updates_.size() - 1;
                return true;
            }
        }
        const std::int64_t now = now_ns();
        if (now >= end) return false;
        last = std::max(last, last_read_ns_);
        std::int64_t limit = end;
        if (quiet_ms >= 0) {
            const std::int64_t quiet_end = last + static_cast<std::int64_t>(quiet_ms) * 1'000'000;
            if (now >= quiet_end) return false;
            limit = std::min(limit, quiet_end);
        }
        // While the program is drawing, its output is collected every couple
        // of milliseconds rather than at each write: woken by every write,
        // the benchmark would be put on the program's CPU and hold it up.
        // After a quiet spell the first byte wakes it at once.
        const std::int64_t wait_ns = limit - now;
        const bool untaken = session_.screen_fed() < output().size();
        if (now - last_read_ns_ < streaming_ns || untaken) {
            const std::int64_t nap = std::min(wait_ns, batch_ns);
            timespec pause{0, static_cast<long>(std::max<std::int64_t>(nap, 0))};
            nanosleep(&pause, nullptr);
            while (read_chunk(0)) {}
        } else {
            read_chunk(static_cast<int>((wait_ns + 999'999) / 1'000'000));
        }
        if (!session_.running() && session_.screen_fed() == output().size() && !read_chunk(0)) return false;
    }
}

bool WatchedProgram::wait_quiet(int quiet_ms, int timeout_ms) {
    const std::int64_t start = now_ns();
    wait_for([] { return false; }, quiet_ms, timeout_ms);
    return now_ns() - start < static_cast<std::int64_t>(timeout_ms) * 1'000'000;
}

void WatchedProgram::idle(int milliseconds) {
    wait_for([] { return false; }, -1, milliseconds);
}

std::int64_t WatchedProgram::send(std::string_view bytes) {
    const std::int64_t at = now_ns();
    session_.send(bytes);
    return at;
}

bool WatchedProgram::wait_exit(int timeout_ms, Ending& ending) {
    const auto end = session_.wait_exit(timeout_ms / 1000.0);
    if (end) ending = *end;
    return end.has_value();
}

bool WatchedProgram::shows_anywhere(std::string_view utf8) const {
    for (int r = 0; r < session_.rows(); ++r) {
        if (row_has(r, utf8)) return true;
    }
    return false;
}

}  // namespace bench
