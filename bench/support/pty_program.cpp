#include "support/pty_program.h"

#include <sys/mman.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <vterm.h>

#include "support/write_log.h"

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

std::size_t utf8_length(std::uint32_t c) {
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (c < 0x10000) return 3;
    return 4;
}

void append_utf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string read_file(const std::string& name) {
    std::ifstream in(name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Only the rows the emulator reports changed are compared after a write, so
// that following the screen costs the benchmark little. The user data is the
// list of changed rows.
int on_damage(VTermRect rect, void* rows_data) {
    auto& rows = *static_cast<std::vector<bool>*>(rows_data);
    for (int r = std::max(rect.start_row, 0); r < rect.end_row && r < static_cast<int>(rows.size()); ++r) {
        rows[static_cast<std::size_t>(r)] = true;
    }
    return 1;
}

int on_moverect(VTermRect dest, VTermRect src, void* rows_data) {
    on_damage(dest, rows_data);
    on_damage(src, rows_data);
    return 0;  // the emulator reports the moved cells as damage too
}

}  // namespace

std::int64_t now_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::string Ending::describe() const {
    char text[96];
    if (WIFEXITED(status)) {
        std::snprintf(text, sizeof text, "exited with %d", WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        std::snprintf(text, sizeof text, "ended by signal %d", WTERMSIG(status));
    } else {
        std::snprintf(text, sizeof text, "status %d", status);
    }
    return text;
}

PtyProgram::PtyProgram(const std::filesystem::path& program, const std::filesystem::path& folder,
                       const std::filesystem::path& write_log_library, int columns, int rows,
                       const std::vector<std::string>& arguments)
    : columns_(columns), rows_(rows) {
    vt_ = vterm_new(rows, columns);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    static const VTermScreenCallbacks callbacks = {on_damage, on_moverect, nullptr, nullptr,
                                                   nullptr,   nullptr,     nullptr, nullptr};
    dirty_rows_.assign(static_cast<std::size_t>(rows), false);
    vterm_screen_set_callbacks(screen_, &callbacks, &dirty_rows_);
    vterm_screen_reset(screen_, 1);
    screen_before_.resize(static_cast<std::size_t>(rows * columns));
    for (int r = 0; r < rows; ++r) read_row(r, &screen_before_[static_cast<std::size_t>(r * columns)]);
    dirty_rows_.assign(static_cast<std::size_t>(rows), false);

    // The write log: a file the program's side maps too.
    char log_name[] = "/tmp/rpg-bench-writes-XXXXXX";
    const int log_fd = mkstemp(log_name);
    if (log_fd < 0) throw std::runtime_error(std::string("mkstemp: ") + std::strerror(errno));
    log_file_ = log_name;
    void* memory = MAP_FAILED;
    if (ftruncate(log_fd, static_cast<off_t>(write_log_size)) == 0) {
        memory = mmap(nullptr, write_log_size, PROT_READ | PROT_WRITE, MAP_SHARED, log_fd, 0);
    }
    close(log_fd);
    if (memory == MAP_FAILED) throw std::runtime_error(std::string("write log: ") + std::strerror(errno));
    log_ = static_cast<WriteLog*>(memory);
    log_->capacity = write_log_capacity;

    // Everything the child needs is prepared before the fork.
    std::vector<std::string> environment = {"TERM=xterm-256color", "LC_ALL=C.UTF-8", "LANG=C.UTF-8",
                                            "LD_PRELOAD=" + write_log_library.string(),
                                            std::string(write_log_variable) + "=" + log_file_.string()};
    for (const char* name : {"PATH", "HOME"}) {
        if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    std::string directory = folder.string();
    std::vector<std::string> argument_texts = arguments;
    std::vector<char*> argv = {path.data()};
    for (std::string& a : argument_texts) argv.push_back(a.data());
    argv.push_back(nullptr);

    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) throw std::runtime_error(std::string("forkpty: ") + std::strerror(errno));
    if (pid_ == 0) {
        // The program runs at the ordinary priority, whatever the benchmark's own.
        setpriority(PRIO_PROCESS, 0, 0);
        if (chdir(directory.c_str()) != 0) _exit(126);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    last_read_ns_ = now_ns();
}

PtyProgram::~PtyProgram() {
    if (!ended_) finish(SIGKILL);
    if (master_ >= 0) close(master_);
    munmap(log_, write_log_size);
    std::error_code ignored;
    std::filesystem::remove(log_file_, ignored);
    vterm_free(vt_);
}

void PtyProgram::read_row(int r, Cell* out) const {
    for (int c = 0; c < columns_; ++c, ++out) {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{r, c}, &cell);
        if (cell.chars[0] == static_cast<std::uint32_t>(-1)) {
            out->ch = 0;  // the right half of a wide character
            out->width = 0;
        } else {
            out->ch = cell.chars[0] == 0 ? ' ' : cell.chars[0];
            out->width = cell.width;
        }
        out->bright = cell.attrs.bold != 0;
    }
}

bool PtyProgram::read_chunk(int timeout_ms) {
    if (master_closed_) return false;
    pollfd fd{master_, POLLIN, 0};
    int ready = poll(&fd, 1, timeout_ms);
    if (ready <= 0) return false;
    char buffer[65536];
    ssize_t got = read(master_, buffer, sizeof buffer);
    if (got > 0) {
        output_.append(buffer, static_cast<std::size_t>(got));
        last_read_ns_ = now_ns();
        return true;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return false;
    master_closed_ = true;  // the program has ended and the terminal is gone
    return false;
}

// Takes in the next write once both its record and its bytes are there.
// Bytes that no record claims a while after they came are taken in alone.
bool PtyProgram::take_write() {
    if (taken_bytes_ == output_.size()) return false;
    const std::size_t index = updates_.size() - unlogged_updates_;
    const std::uint64_t claimed = __atomic_load_n(&log_->claimed, __ATOMIC_ACQUIRE);
    if (index >= claimed || index >= write_log_capacity) {
        if (now_ns() - last_read_ns_ < unclaimed_grace_ns) return false;
        const std::size_t length = output_.size() - taken_bytes_;
        unlogged_bytes_ += length;
        ++unlogged_updates_;
        take(length, last_read_ns_);
        return true;
    }
    const WriteRecord& record = records_of(log_)[index];
    if (__atomic_load_n(&record.complete, __ATOMIC_ACQUIRE) != 1) return false;
    const auto length = static_cast<std::size_t>(record.bytes);
    if (taken_bytes_ + length > output_.size()) return false;
    take(length, record.at_ns);
    return true;
}

// Feeds `length` bytes to the emulator as one update and notes what they changed.
void PtyProgram::take(std::size_t length, std::int64_t at_ns) {
    Update update{at_ns, taken_bytes_, length, 0, 0, 0};
    vterm_input_write(vt_, output_.data() + taken_bytes_, length);
    vterm_screen_flush_damage(screen_);
    taken_bytes_ += length;

    std::vector<Cell> row(static_cast<std::size_t>(columns_));
    bool bright = false;  // the look the terminal is left in
    for (int r = 0; r < rows_; ++r) {
        if (!dirty_rows_[static_cast<std::size_t>(r)]) continue;
        dirty_rows_[static_cast<std::size_t>(r)] = false;
        read_row(r, row.data());
        Cell* before = &screen_before_[static_cast<std::size_t>(r * columns_)];
        bool in_run = false;
        for (int c = 0; c < columns_; ++c) {
            const Cell& cell = row[static_cast<std::size_t>(c)];
            if (cell == before[c]) {
                in_run = false;
                continue;
            }
            ++update.changed_cells;
            if (!in_run) {
                ++update.runs;
                update.budget += cursor_move_bytes;
                in_run = true;
            }
            const Cell now = cell;
            before[c] = cell;
            if (now.width == 0) continue;
            if (now.bright != bright) {
                update.budget += look_change_bytes;
                bright = now.bright;
            }
            update.budget += utf8_length(now.ch);
        }
    }
    if (bright) update.budget += look_change_bytes;
    update.budget += cursor_move_bytes;  // the cursor is left where the game wants it
    updates_.push_back(update);
}

bool PtyProgram::wait_for(const std::function<bool()>& done, int quiet_ms, int timeout_ms, std::size_t* at_update) {
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
        if (now - last_read_ns_ < streaming_ns || taken_bytes_ < output_.size()) {
            const std::int64_t nap = std::min(wait_ns, batch_ns);
            timespec pause{0, static_cast<long>(std::max<std::int64_t>(nap, 0))};
            nanosleep(&pause, nullptr);
            while (read_chunk(0)) {}
        } else {
            read_chunk(static_cast<int>((wait_ns + 999'999) / 1'000'000));
        }
        if (master_closed_ && taken_bytes_ == output_.size()) return false;
    }
}

bool PtyProgram::wait_quiet(int quiet_ms, int timeout_ms) {
    const std::int64_t start = now_ns();
    wait_for([] { return false; }, quiet_ms, timeout_ms);
    return now_ns() - start < static_cast<std::int64_t>(timeout_ms) * 1'000'000;
}

void PtyProgram::idle(int milliseconds) {
    wait_for([] { return false; }, -1, milliseconds);
}

std::int64_t PtyProgram::send(std::string_view bytes) {
    const std::int64_t at = now_ns();
    while (!bytes.empty()) {
        ssize_t written = write(master_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return at;
}

Sample PtyProgram::sample() const {
    Sample s;
    s.at_ns = now_ns();
    if (ended_) return s;
    const std::string base = "/proc/" + std::to_string(pid_);
    // stat, after the name in parentheses: field 12 counts major page
    // faults, fields 14 and 15 the user and system time in clock ticks.
    std::string stat = read_file(base + "/stat");
    std::size_t close = stat.rfind(')');
    long long ticks = 0;
    if (close != std::string::npos) {
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        for (int n = 3; fields >> field && n <= 15; ++n) {
            if (n == 12) s.major_faults = std::atoll(field.c_str());
            if (n >= 14) ticks += std::atoll(field.c_str());
        }
    }
    // schedstat: the time on a CPU and the time waiting for one, in
    // nanoseconds; finer than the ticks, which serve where it is missing.
    std::string schedstat = read_file(base + "/schedstat");
    if (!schedstat.empty()) {
        char* end = nullptr;
        s.cpu_ns = std::strtoll(schedstat.c_str(), &end, 10);
        s.wait_ns = std::strtoll(end, nullptr, 10);
    } else {
        s.cpu_ns = ticks * (1'000'000'000LL / sysconf(_SC_CLK_TCK));
    }
    return s;
}

void PtyProgram::reap(int options) {
    if (ended_) return;
    int status = 0;
    rusage usage{};
    if (wait4(pid_, &status, options, &usage) == pid_) {
        ended_ = true;
        ending_.status = status;
        ending_.usage = usage;
    }
}

bool PtyProgram::wait_exit(int timeout_ms, Ending& ending) {
    const std::int64_t end = now_ns() + static_cast<std::int64_t>(timeout_ms) * 1'000'000;
    while (!ended_ && now_ns() < end) {
        read_chunk(5);
        reap(WNOHANG);
    }
    ending = ending_;
    return ended_;
}

Ending PtyProgram::finish(int signo) {
    if (!ended_) {
        kill(pid_, signo);
        const std::int64_t end = now_ns() + 3'000'000'000LL;
        while (!ended_ && now_ns() < end) {
            read_chunk(5);
            reap(WNOHANG);
        }
        if (!ended_) {
            kill(pid_, SIGKILL);
            reap(0);
        }
    }
    return ending_;
}

std::string PtyProgram::row(int r) const {
    std::string out;
    for (int c = 0; c < columns_; ++c) {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{r, c}, &cell);
        if (cell.chars[0] == static_cast<std::uint32_t>(-1)) continue;
        if (cell.chars[0] == 0) {
            out += ' ';
            continue;
        }
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) append_utf8(out, cell.chars[i]);
    }
    return out;
}

bool PtyProgram::shows_anywhere(std::string_view utf8) const {
    for (int r = 0; r < rows_; ++r) {
        if (row_has(r, utf8)) return true;
    }
    return false;
}

bool PtyProgram::bright_at(int column, int r) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{r, column}, &cell);
    return cell.attrs.bold != 0;
}

// ---------------------------------------------------------------------------

DataFolder::DataFolder(const std::filesystem::path& assets) {
    char pattern[] = "/tmp/rpg-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    path_ = made;
    if (assets.empty()) return;
    for (const auto& entry : std::filesystem::directory_iterator(assets)) {
        if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), path_ / entry.path().filename());
    }
}

DataFolder::~DataFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void DataFolder::set_number(const std::string& file, int index, long long value) {
    const std::filesystem::path name = path_ / file;
    std::string text = read_file(name.string());
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t at = 0;
    for (int n = 0;; ++n) {
        while (at < text.size() && blank(text[at])) ++at;
        if (at >= text.size()) throw std::runtime_error(file + " has no value " + std::to_string(index));
        std::size_t end = at;
        while (end < text.size() && !blank(text[end])) ++end;
        if (n == index) {
            const std::string old = text.substr(at, end - at);
            if (old.find_first_not_of("-0123456789") != std::string::npos) {
                throw std::runtime_error(file + " value " + std::to_string(index) + " is not a number");
            }
            text.replace(at, end - at, std::to_string(value));
            break;
        }
        at = end;
    }
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace bench
