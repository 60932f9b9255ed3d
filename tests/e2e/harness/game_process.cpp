#include "harness/game_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

// What the stand-in shell tells the test.
struct Report {
    enum Kind : int { started, stopped, continued, ended } kind;
    pid_t pid;
    int status;
    rusage usage;
};

double seconds_since(GameProcess::Clock::time_point since) {
    return std::chrono::duration<double>(GameProcess::Clock::now() - since).count();
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The environment of the program: a small, fixed one, so that the test does
// not depend on the settings of whoever runs it.
std::vector<std::string> environment_for(const Launch& launch) {
    std::vector<std::pair<std::string, std::string>> vars = {
        {"PATH", "/usr/local/bin:/usr/bin:/bin"},
        {"HOME", launch.folder.string()},
        {"TERM", "xterm-256color"},
        {"LANG", "C.UTF-8"},
        {"LC_ALL", "C.UTF-8"},
    };
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) vars.emplace_back(name, value);
    }
    for (const auto& setting : launch.environment) {
        std::erase_if(vars, [&](const auto& v) { return v.first == setting.first; });
        if (setting.second) vars.emplace_back(setting.first, *setting.second);
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : vars) out.push_back(name + "=" + value);
    return out;
}

}  // namespace

// The emulator calls back into these.
struct EmulatorGlue {
    static void output(const char* bytes, std::size_t length, void* user) {
        static_cast<GameProcess*>(user)->write_to_terminal(std::string_view(bytes, length));
    }
    static int property(VTermProp prop, VTermValue* value, void* user) {
        auto* self = static_cast<GameProcess*>(user);
        if (prop == VTERM_PROP_ALTSCREEN) self->alternate_screen_ = value->boolean != 0;
        if (prop == VTERM_PROP_CURSORVISIBLE) self->cursor_visible_ = value->boolean != 0;
        return 1;
    }
};

namespace {
const VTermScreenCallbacks screen_callbacks = {
    nullptr,                  // damage
    nullptr,                  // moverect
    nullptr,                  // movecursor
    &EmulatorGlue::property,  // settermprop
    nullptr,                  // bell
    nullptr,                  // resize
    nullptr,                  // sb_pushline
    nullptr,                  // sb_popline
};
}  // namespace

// ---------------------------------------------------------------------------
// Ending

bool Ending::exited() const { return WIFEXITED(status); }
int Ending::exit_code() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
bool Ending::killed_by(int signo) const { return WIFSIGNALED(status) && WTERMSIG(status) == signo; }
double Ending::cpu_seconds() const {
    auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return secs(usage.ru_utime) + secs(usage.ru_stime);
}
std::string Ending::describe() const {
    std::ostringstream out;
    if (WIFEXITED(status))
        out << "exited with status " << WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        out << "killed by signal " << WTERMSIG(status) << " (" << strsignal(WTERMSIG(status)) << ")";
    else
        out << "status " << status;
    out << ", " << cpu_seconds() << " s CPU, ended " << seconds_after_request << " s after the request";
    return out.str();
}

// ---------------------------------------------------------------------------
// Start and end

GameProcess::GameProcess(Launch launch) : launch_(std::move(launch)), columns_(launch_.columns), rows_(launch_.rows) {
    vt_ = vterm_new(rows_, columns_);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen_, &screen_callbacks, this);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
    vterm_output_set_callback(vt_, &EmulatorGlue::output, this);
    start();
}

void GameProcess::start() {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns_);
    size.ws_row = static_cast<unsigned short>(rows_);
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) fail("openpty");
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    int report_pipe[2];
    if (pipe2(report_pipe, O_CLOEXEC) != 0) fail("pipe");
    int input_pipe[2] = {-1, -1};
    if (launch_.input == Stream::pipe && pipe2(input_pipe, O_CLOEXEC) != 0) fail("pipe");

    // Everything the children need is prepared before the fork.
    const std::string program = launch_.program.string();
    const std::string folder = launch_.folder.string();
    const std::string in_file = (launch_.folder / "stdin.txt").string();
    const std::string out_file = (launch_.folder / "stdout.txt").string();
    const std::string err_file = (launch_.folder / "stderr.txt").string();
    if (launch_.input == Stream::file) std::ofstream(in_file, std::ios::trunc).flush();
    std::vector<std::string> env = environment_for(launch_);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = launch_.arguments;
    args.insert(args.begin(), launch_.program.filename().string());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const Launch& l = launch_;
    const int slave = slave_;

    shell_pid_ = fork();
    if (shell_pid_ < 0) fail("fork");
    if (shell_pid_ == 0) {
        // The stand-in shell: leader of the terminal's session.
        close(master_);
        close(report_pipe[0]);
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        ::signal(SIGHUP, SIG_IGN);  // a hang-up reaches the program only as the end of its input
        int sync[2];
        if (pipe(sync) != 0) _exit(120);
        pid_t game = fork();
        if (game < 0) _exit(121);
        if (game == 0) {
            close(report_pipe[1]);
            close(sync[1]);
            setpgid(0, 0);
            char go = 0;
            while (read(sync[0], &go, 1) < 0 && errno == EINTR) {}
            close(sync[0]);
            struct sigaction plain {};
            plain.sa_handler = SIG_DFL;
            sigemptyset(&plain.sa_mask);
            for (int s = 1; s < NSIG; ++s) {
                if (s != SIGKILL && s != SIGSTOP) sigaction(s, &plain, nullptr);
            }
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            rlimit no_core{0, 0};
            setrlimit(RLIMIT_CORE, &no_core);

            auto open_for = [&](Stream s, int fd) -> int {
                switch (s) {
                    case Stream::terminal: return slave;
                    case Stream::null: return open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
                    case Stream::pipe: return fd == 0 ? input_pipe[0] : open("/dev/null", O_WRONLY);
                    case Stream::file:
                        if (fd == 0) return open(in_file.c_str(), O_RDONLY);
                        return open(fd == 1 ? out_file.c_str() : err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                }
                return -1;
            };
            const Stream streams[3] = {l.input, l.output, l.error_output};
            for (int fd = 0; fd < 3; ++fd) {
                int from = open_for(streams[fd], fd);
                if (from < 0 || dup2(from, fd) < 0) _exit(122);
            }
            if (chdir(folder.c_str()) != 0) _exit(123);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(127);
        }
        close(sync[0]);
        setpgid(game, game);
        tcsetpgrp(slave, game);
        [[maybe_unused]] ssize_t w = write(sync[1], "g", 1);
        close(sync[1]);
        Report report{Report::started, game, 0, {}};
        w = write(report_pipe[1], &report, sizeof report);
        for (;;) {
            int status = 0;
            rusage usage{};
            pid_t got = wait4(game, &status, WUNTRACED | WCONTINUED, &usage);
            if (got < 0) {
                if (errno == EINTR) continue;
                _exit(124);
            }
            report.kind = WIFSTOPPED(status)     ? Report::stopped
                          : WIFCONTINUED(status) ? Report::continued
                                                 : Report::ended;
            report.status = status;
            report.usage = usage;
            w = write(report_pipe[1], &report, sizeof report);
            if (report.kind == Report::ended) _exit(0);
        }
    }

    close(report_pipe[1]);
    reports_ = report_pipe[0];
    fcntl(reports_, F_SETFL, fcntl(reports_, F_GETFL) | O_NONBLOCK);
    if (input_pipe[0] >= 0) {
        close(input_pipe[0]);
        held_pipe_ = input_pipe[1];
    }
    end_requested_ = Clock::now();
    last_output_ = Clock::now();
    last_input_ = Clock::now();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (game_pid_ < 0 && Clock::now() < deadline) pump(50);
    if (game_pid_ < 0) throw std::runtime_error("the program did not start: " + program);
}

GameProcess::~GameProcess() {
    if (game_pid_ > 0 && !ending_) {
        kill(game_pid_, SIGKILL);
        kill(game_pid_, SIGCONT);
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!ending_ && Clock::now() < deadline) pump(50);
    }
    if (shell_pid_ > 0) {
        int status = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (waitpid(shell_pid_, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                kill(shell_pid_, SIGKILL);
                waitpid(shell_pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    for (int fd : {master_, slave_, reports_, held_pipe_}) {
        if (fd >= 0) close(fd);
    }
    vterm_free(vt_);
}

// ---------------------------------------------------------------------------
// Input and output

void GameProcess::write_to_terminal(std::string_view bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!bytes.empty() && master_ >= 0) {
        ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;  // the terminal is gone
        if (Clock::now() >= deadline) throw std::runtime_error("the program does not read its input");
        pollfd out{master_, POLLOUT, 0};
        poll(&out, 1, 20);
    }
}

void GameProcess::send(std::string_view bytes) {
    last_input_ = Clock::now();
    write_to_terminal(bytes);
}

bool GameProcess::pump(int milliseconds) {
    bool got = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        pollfd fds[2];
        nfds_t count = 0;
        if (reports_ >= 0) fds[count++] = {reports_, POLLIN, 0};
        const nfds_t terminal_at = count;
        if (master_ >= 0) fds[count++] = {master_, POLLIN, 0};
        const int left = static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        int ready = poll(fds, count, got ? 0 : left);
        if (ready < 0 && errno != EINTR) fail("poll");
        if (ready > 0 && reports_ >= 0 && fds[0].revents) read_reports();
        if (ready > 0 && master_ >= 0 && fds[terminal_at].revents) {
            char buffer[8192];
            for (;;) {
                ssize_t n = read(master_, buffer, sizeof buffer);
                if (n <= 0) break;
                vterm_input_write(vt_, buffer, static_cast<std::size_t>(n));
                last_output_ = Clock::now();
                output_bytes_ += static_cast<std::uint64_t>(n);
                got = true;
            }
        }
        if (got || Clock::now() >= deadline) return got;
    }
}

void GameProcess::read_reports() {
    Report report{};
    for (;;) {
        const ssize_t n = read(reports_, &report, sizeof report);
        if (n == 0) {  // the stand-in shell is gone: nothing more will come
            close(reports_);
            reports_ = -1;
            return;
        }
        if (n != static_cast<ssize_t>(sizeof report)) return;
        switch (report.kind) {
            case Report::started: game_pid_ = report.pid; break;
            case Report::stopped: stopped_ = true; break;
            case Report::continued: continued_ = true; break;
            case Report::ended: ending_ = Ending{report.status, report.usage, seconds_since(end_requested_)}; break;
        }
    }
}

bool GameProcess::wait_until(const std::function<bool()>& condition, double seconds) {
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        pump(20);
    }
}

bool GameProcess::wait_until_quiet(const std::function<bool()>& condition, double seconds, int quiet_ms) {
    const auto quiet = std::chrono::milliseconds(quiet_ms);
    return wait_until(
        [&] {
            const auto now = Clock::now();
            return now - last_output_ >= quiet && now - last_input_ >= quiet && condition();
        },
        seconds);
}

void GameProcess::settle(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < deadline) pump(20);
}

// ---------------------------------------------------------------------------
// Screen

Cell GameProcess::cell(int column, int row) const {
    Cell out;
    if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return out;
    VTermScreenCell c{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &c);
    out.bright = c.attrs.bold != 0;
    if (c.chars[0] == static_cast<std::uint32_t>(-1)) {
        out.width = 0;
        return out;
    }
    out.width = c.width;
    if (c.chars[0] == 0) {
        out.text = " ";
        return out;
    }
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && c.chars[i] != 0; ++i) append_utf8(out.text, c.chars[i]);
    return out;
}

std::string GameProcess::text(int row, int column, int length) const {
    std::string out;
    const int end = length < 0 ? columns_ : std::min(columns_, column + length);
    for (int x = column; x < end; ++x) out += cell(x, row).text;
    return out;
}

std::string GameProcess::screen_text() const {
    std::string out;
    for (int row = 0; row < rows_; ++row) {
        std::string line = text(row);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line;
        out += '\n';
    }
    return out;
}

std::vector<Cell> GameProcess::snapshot() const {
    std::vector<Cell> cells;
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) cells.push_back(cell(column, row));
    }
    return cells;
}

std::string GameProcess::dump() const {
    std::ostringstream out;
    out << "screen " << columns_ << "x" << rows_ << (alternate_screen_ ? ", alternate" : ", normal")
        << (cursor_visible_ ? ", cursor shown" : ", cursor hidden") << "; program "
        << (ending_ ? ending_->describe() : std::string("running")) << "\n";
    std::string text = screen_text();
    std::istringstream lines(text);
    std::string line;
    for (int row = 0; std::getline(lines, line); ++row) {
        out << (row < 10 ? " " : "") << row << "|" << line;
        // Where the bright text is, as column ranges.
        std::string bright;
        for (int x = 0; x < columns_; ++x) {
            if (!cell(x, row).bright || cell(x, row).text == " ") continue;
            int end = x;
            while (end + 1 < columns_ && cell(end + 1, row).bright) ++end;
            bright += " " + std::to_string(x) + "-" + std::to_string(end);
            x = end;
        }
        if (!bright.empty()) out << "   [bright:" << bright << "]";
        out << "\n";
    }
    return out.str();
}

// ---------------------------------------------------------------------------
// The terminal

termios GameProcess::modes() const {
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) throw std::runtime_error("cannot read the terminal's modes");
    return t;
}

bool GameProcess::echo_and_canonical() const {
    const termios t = modes();
    return (t.c_lflag & ECHO) && (t.c_lflag & ICANON);
}

void GameProcess::resize(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    vterm_set_size(vt_, rows, columns);
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    if (ioctl(master_, TIOCSWINSZ, &size) != 0) fail("TIOCSWINSZ");
    if (running()) kill(game_pid_, SIGWINCH);
}

void GameProcess::close_terminal() {
    end_requested_ = Clock::now();
    close(master_);
    master_ = -1;
    close(slave_);
    slave_ = -1;
}

// ---------------------------------------------------------------------------
// The process

void GameProcess::signal(int signo) {
    end_requested_ = Clock::now();
    if (running()) kill(game_pid_, signo);
}

bool GameProcess::wait_stopped(double seconds) {
    bool got = wait_until([&] { return stopped_ || ending_.has_value(); }, seconds) && stopped_;
    stopped_ = false;
    return got;
}

bool GameProcess::wait_continued(double seconds) {
    bool got = wait_until([&] { return continued_ || ending_.has_value(); }, seconds) && continued_;
    continued_ = false;
    return got;
}

std::optional<Ending> GameProcess::wait_exit(double seconds) {
    wait_until([&] { return ending_.has_value(); }, seconds);
    if (ending_) pump(50);  // the last of the output
    return ending_;
}

double GameProcess::cpu_seconds() const {
    std::string stat = read_file("/proc/" + std::to_string(game_pid_) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) utime = std::stoll(field);
        if (index == 15) {
            stime = std::stoll(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string GameProcess::captured_output() const { return read_file(launch_.folder / "stdout.txt"); }
std::string GameProcess::captured_error() const { return read_file(launch_.folder / "stderr.txt"); }

}  // namespace e2e
