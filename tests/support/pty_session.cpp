#include "support/pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
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
#include <thread>

namespace rpg::test {
namespace {

// What the stand-in shell tells the session.
struct Report {
    enum Kind : int { started, stopped, continued, ended } kind;
    pid_t pid;
    int status;
    rusage usage;
};

double seconds_since(PtySession::Clock::time_point since) {
    return std::chrono::duration<double>(PtySession::Clock::now() - since).count();
}

void fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Moves a descriptor above the standard three, which the program's streams
// take over even when the test runs with some of them closed.
int above_standard(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    if (high < 0) fail("fcntl");
    close(fd);
    return high;
}

// The environment of the program: a small, fixed one, so that the test does
// not depend on the settings of whoever runs it.
std::vector<std::pair<std::string, std::string>> environment_for(const Launch& launch) {
    std::vector<std::pair<std::string, std::string>> vars = {
        {"PATH", "/usr/local/bin:/usr/bin:/bin"},
        {"TERM", "xterm-256color"},
        {"LANG", "C.UTF-8"},
        {"LC_ALL", "C.UTF-8"},
    };
    if (!launch.folder.empty()) vars.emplace_back("HOME", launch.folder.string());
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) vars.emplace_back(name, value);
    }
    for (const auto& setting : launch.environment) {
        std::erase_if(vars, [&](const auto& v) { return v.first == setting.first; });
        if (setting.second) vars.emplace_back(setting.first, *setting.second);
    }
    return vars;
}

}  // namespace

std::filesystem::path battle_program() { return RPG_BATTLE_PROGRAM; }
std::filesystem::path field_program() { return RPG_FIELD_PROGRAM; }

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

PtySession::PtySession(Launch launch)
    : launch_(std::move(launch)),
      screen_(launch_.columns, launch_.rows, [this](std::string_view bytes) { write_to_terminal(bytes); }) {
    start();
}

void PtySession::start() {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(launch_.columns);
    size.ws_row = static_cast<unsigned short>(launch_.rows);
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) fail("openpty");
    master_ = above_standard(master_);
    slave_ = above_standard(slave_);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    int report_pipe[2];
    if (pipe2(report_pipe, O_CLOEXEC) != 0) fail("pipe");
    for (int& fd : report_pipe) fd = above_standard(fd);
    int input_pipe[2] = {-1, -1};
    if (launch_.input == Stream::pipe && pipe2(input_pipe, O_CLOEXEC) != 0) fail("pipe");
    for (int& fd : input_pipe) fd = above_standard(fd);
    int body_pipe[2] = {-1, -1};
    if (launch_.body && pipe2(body_pipe, O_CLOEXEC) != 0) fail("pipe");
    for (int& fd : body_pipe) fd = above_standard(fd);

    // Everything the children need is prepared before the fork.
    const std::string program = launch_.program.string();
    const std::string folder = launch_.folder.string();
    const std::string in_file = (launch_.folder / "stdin.txt").string();
    const std::string out_file = (launch_.folder / "stdout.txt").string();
    const std::string err_file = (launch_.folder / "stderr.txt").string();
    if (launch_.input == Stream::file) std::ofstream(in_file, std::ios::trunc).flush();
    const auto vars = environment_for(launch_);
    std::vector<std::string> env;
    for (const auto& [name, value] : vars) env.push_back(name + "=" + value);
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

    std::fflush(nullptr);  // nothing buffered is written twice
    shell_pid_ = fork();
    if (shell_pid_ < 0) fail("fork");
    if (shell_pid_ == 0) {
        // The stand-in shell: leader of the terminal's session.
        close(master_);
        close(report_pipe[0]);
        if (body_pipe[0] >= 0) close(body_pipe[0]);
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
            if (l.niceness) setpriority(PRIO_PROCESS, 0, *l.niceness);

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
            if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(123);
            if (l.body) {
                clearenv();
                for (const auto& [name, value] : vars) setenv(name.c_str(), value.c_str(), 1);
                int status = 99;
                try {
                    status = l.body(body_pipe[1]);
                } catch (...) {}
                _exit(status);
            }
            execve(program.c_str(), argv.data(), envp.data());
            _exit(127);
        }
        if (body_pipe[1] >= 0) close(body_pipe[1]);
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
    if (body_pipe[0] >= 0) {
        close(body_pipe[1]);
        body_reports_ = body_pipe[0];
        fcntl(body_reports_, F_SETFL, fcntl(body_reports_, F_GETFL) | O_NONBLOCK);
    }
    end_requested_ = Clock::now();
    last_output_ = Clock::now();
    last_input_ = Clock::now();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (game_pid_ < 0 && Clock::now() < deadline) pump(50);
    if (game_pid_ < 0) throw std::runtime_error("the program did not start: " + program);
}

PtySession::~PtySession() {
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
    for (int fd : {master_, slave_, reports_, body_reports_, held_pipe_}) {
        if (fd >= 0) close(fd);
    }
}

// ---------------------------------------------------------------------------
// Input and output

void PtySession::write_to_terminal(std::string_view bytes) {
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

void PtySession::send(std::string_view bytes) {
    last_input_ = Clock::now();
    write_to_terminal(bytes);
}

void PtySession::feed_screen(std::size_t bytes) {
    bytes = std::min(bytes, output_.size() - fed_);
    screen_.write(std::string_view(output_).substr(fed_, bytes));
    fed_ += bytes;
}

bool PtySession::pump(int milliseconds) {
    bool got = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        const nfds_t reports_at = count;
        if (reports_ >= 0) fds[count++] = {reports_, POLLIN, 0};
        const nfds_t body_at = count;
        if (body_reports_ >= 0) fds[count++] = {body_reports_, POLLIN, 0};
        const nfds_t terminal_at = count;
        if (master_ >= 0) fds[count++] = {master_, POLLIN, 0};
        const int left = static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        int ready = poll(fds, count, got ? 0 : left);
        if (ready < 0 && errno != EINTR) fail("poll");
        if (ready > 0 && reports_ >= 0 && fds[reports_at].revents) read_reports();
        if (ready > 0 && body_reports_ >= 0 && fds[body_at].revents) {
            read_body_reports();
            got = true;
        }
        if (ready > 0 && master_ >= 0 && fds[terminal_at].revents) {
            char buffer[65536];
            for (;;) {
                ssize_t n = read(master_, buffer, sizeof buffer);
                if (n <= 0) break;
                output_.append(buffer, static_cast<std::size_t>(n));
                last_output_ = Clock::now();
                got = true;
            }
            if (launch_.screen_follows_output) feed_screen(output_.size() - fed_);
        }
        if (got || Clock::now() >= deadline) return got;
    }
}

void PtySession::read_reports() {
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

void PtySession::read_body_reports() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(body_reports_, buffer, sizeof buffer);
        if (n > 0) {
            reports_text_.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {  // the program and everything it started have ended
            close(body_reports_);
            body_reports_ = -1;
        }
        return;
    }
}

bool PtySession::wait_until(const std::function<bool()>& condition, double seconds) {
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        pump(20);
    }
}

bool PtySession::wait_until_quiet(const std::function<bool()>& condition, double seconds, int quiet_ms) {
    const auto quiet = std::chrono::milliseconds(quiet_ms);
    return wait_until(
        [&] {
            const auto now = Clock::now();
            return now - last_output_ >= quiet && now - last_input_ >= quiet && condition();
        },
        seconds);
}

void PtySession::settle(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < deadline) pump(20);
}

std::string PtySession::dump() const {
    std::ostringstream out;
    out << "screen " << columns() << "x" << rows() << (alternate_screen() ? ", alternate" : ", normal")
        << (cursor_visible() ? ", cursor shown" : ", cursor hidden") << "; program "
        << (ending_ ? ending_->describe() : std::string("running")) << "\n"
        << screen_.dump();
    if (!reports_text_.empty()) out << "reports:\n" << reports_text_;
    return out.str();
}

// ---------------------------------------------------------------------------
// The terminal

termios PtySession::modes() const {
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) throw std::runtime_error("cannot read the terminal's modes");
    return t;
}

bool PtySession::echo_and_canonical() const {
    const termios t = modes();
    return (t.c_lflag & ECHO) && (t.c_lflag & ICANON);
}

std::string PtySession::unread_input() {
    if (slave_ < 0) return {};
    // Read as the next program would, in raw mode, without waiting; the
    // modes are put back as they were.
    const termios before = modes();
    termios raw = before;
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(slave_, TCSANOW, &raw) != 0) fail("tcsetattr");
    std::string unread;
    char bytes[256];
    for (ssize_t n; (n = read(slave_, bytes, sizeof bytes)) > 0;) unread.append(bytes, static_cast<std::size_t>(n));
    tcsetattr(slave_, TCSANOW, &before);
    return unread;
}

void PtySession::resize(int columns, int rows) {
    screen_.resize(columns, rows);
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    if (ioctl(master_, TIOCSWINSZ, &size) != 0) fail("TIOCSWINSZ");
    if (running()) kill(game_pid_, SIGWINCH);
}

void PtySession::close_terminal() {
    end_requested_ = Clock::now();
    close(master_);
    master_ = -1;
    close(slave_);
    slave_ = -1;
}

// ---------------------------------------------------------------------------
// The process

void PtySession::signal(int signo) {
    end_requested_ = Clock::now();
    if (running()) kill(game_pid_, signo);
}

bool PtySession::wait_stopped(double seconds) {
    bool got = wait_until([&] { return stopped_ || ending_.has_value(); }, seconds) && stopped_;
    stopped_ = false;
    return got;
}

bool PtySession::wait_continued(double seconds) {
    bool got = wait_until([&] { return continued_ || ending_.has_value(); }, seconds) && continued_;
    continued_ = false;
    return got;
}

std::optional<Ending> PtySession::wait_exit(double seconds) {
    wait_until([&] { return ending_.has_value(); }, seconds);
    if (ending_) pump(50);  // the last of the output
    return ending_;
}

Ending PtySession::finish(int signo, double seconds) {
    if (!ending_) {
        signal(signo);
        if (!wait_exit(seconds)) {
            kill(game_pid_, SIGKILL);
            kill(game_pid_, SIGCONT);
            wait_exit(10);
        }
    }
    return ending_ ? *ending_ : Ending{};
}

Sample PtySession::sample() const {
    Sample s;
    s.at_ns = monotonic_ns();
    if (ending_ || game_pid_ <= 0) return s;
    const std::string base = "/proc/" + std::to_string(game_pid_);
    // stat, after the name in parentheses: field 12 counts major page
    // faults, fields 14 and 15 the user and system time in clock ticks.
    const std::string stat = read_file(base + "/stat");
    const std::size_t close = stat.rfind(')');
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
    const std::string schedstat = read_file(base + "/schedstat");
    if (!schedstat.empty()) {
        char* end = nullptr;
        s.cpu_ns = std::strtoll(schedstat.c_str(), &end, 10);
        s.wait_ns = std::strtoll(end, nullptr, 10);
    } else {
        s.cpu_ns = ticks * (1'000'000'000LL / sysconf(_SC_CLK_TCK));
    }
    return s;
}

double PtySession::cpu_seconds() const { return static_cast<double>(sample().cpu_ns) / 1e9; }

std::string PtySession::captured_output() const { return read_file(launch_.folder / "stdout.txt"); }
std::string PtySession::captured_error() const { return read_file(launch_.folder / "stderr.txt"); }

}  // namespace rpg::test
