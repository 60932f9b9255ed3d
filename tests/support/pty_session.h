#pragma once
// A program on a pseudo-terminal, run as a player would run it from a shell,
// with its screen read back through a terminal emulator.
//
// The program is started the way a shell starts a foreground job: a small
// stand-in shell owns the terminal's session and the program runs in a
// process group of its own, made the terminal's foreground group. So keys
// such as Ctrl+C and Ctrl+Z, a change of window size and a stop and continue
// behave as at a real terminal. The stand-in shell reports every stop,
// continue and the end of the program, with its resource use, to the session.
//
// The program is either a file run with a small fixed environment, or a
// function of the test run in the child process in its place, which can
// send lines back to the test (reports()).
//
// Every byte the program writes is kept (output()). The screen is what
// libvterm makes of it, fed as it comes or, for a caller that wants to see
// each write's effect on its own, only as far as the caller feeds it.
// Keys are sent as the bytes a real terminal sends for them.

#include <sys/resource.h>
#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "support/terminal_screen.h"

namespace rpg::test {

// The game's two programs, as built.
std::filesystem::path battle_program();
std::filesystem::path field_program();

// Monotonic time in nanoseconds: the programs' own clock.
using rpg::monotonic_ns;

// Where a standard stream of the program goes.
enum class Stream {
    terminal,  // the pseudo-terminal
    null,      // /dev/null
    pipe,      // a pipe whose other end the test holds open and never uses
    file,      // a file in the program's folder (stdin: empty; stdout/stderr: captured)
};

struct Launch {
    std::filesystem::path program;
    std::vector<std::string> arguments;  // after the program's name
    // Run instead of a program when set: its result is the exit status (99
    // when it throws), and it may write lines to the descriptor it is given,
    // which the session collects as reports().
    std::function<int(int report_fd)> body;
    std::filesystem::path folder;  // the working directory, where the data files are; none when empty
    int columns = 80;
    int rows = 24;
    // Variables set (or, with std::nullopt, removed) on top of the standard
    // environment: TERM=xterm-256color, LANG and LC_ALL C.UTF-8, PATH, HOME
    // (the folder), and the sanitizer options of the test's own environment.
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    Stream input = Stream::terminal;
    Stream output = Stream::terminal;
    Stream error_output = Stream::terminal;
    // The niceness the program asks for, whatever the caller's own; it gets
    // it where the system allows.
    std::optional<int> niceness;
    // False: the screen takes in output only through feed_screen().
    bool screen_follows_output = true;
};

// How the program ended.
struct Ending {
    int status = 0;                    // as waitpid gives it
    rusage usage{};                    // of the program alone
    double seconds_after_request = 0;  // from the call that asked for the end to the report

    bool exited() const;
    int exit_code() const;  // -1 when it did not exit
    bool killed_by(int signo) const;
    double cpu_seconds() const;
    std::string describe() const;
};

// What /proc tells about the program at one moment.
struct Sample {
    std::int64_t at_ns = 0;         // monotonic_ns()
    std::int64_t cpu_ns = 0;        // time on a CPU, user and system
    std::int64_t wait_ns = 0;       // time ready to run but waiting for a CPU
    std::int64_t major_faults = 0;  // page faults that had to read from disk
};

class PtySession {
public:
    using Clock = std::chrono::steady_clock;

    explicit PtySession(Launch launch);
    ~PtySession();  // ends the program (SIGKILL) if it still runs
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    pid_t pid() const { return game_pid_; }

    // --- Input -----------------------------------------------------------
    void send(std::string_view bytes);
    void up() { send("\x1b[A"); }
    void down() { send("\x1b[B"); }
    void right() { send("\x1b[C"); }
    void left() { send("\x1b[D"); }
    void enter() { send("\r"); }
    void space() { send(" "); }

    // --- Screen ----------------------------------------------------------
    const TerminalScreen& screen() const { return screen_; }
    TerminalScreen& screen() { return screen_; }
    int columns() const { return screen_.columns(); }
    int rows() const { return screen_.rows(); }
    Cell cell(int column, int row) const { return screen_.cell(column, row); }
    std::string text(int row, int column = 0, int length = -1) const { return screen_.text(row, column, length); }
    std::string screen_text() const { return screen_.screen_text(); }
    std::vector<Cell> snapshot() const { return screen_.snapshot(); }
    bool alternate_screen() const { return screen_.alternate_screen(); }
    bool cursor_visible() const { return screen_.cursor_visible(); }
    int cursor_column() const { return screen_.cursor_column(); }
    int cursor_row() const { return screen_.cursor_row(); }

    // --- Output ----------------------------------------------------------
    // Every byte the program has written so far.
    const std::string& output() const { return output_; }
    std::uint64_t output_bytes() const { return output_.size(); }
    // Without screen_follows_output: the screen takes in the next `bytes` of
    // the output (no more than have come); how far it has taken it.
    void feed_screen(std::size_t bytes);
    std::size_t screen_fed() const { return fed_; }
    // What a body has reported so far.
    const std::string& reports() const { return reports_text_; }

    // Reads what the program wrote, for up to `milliseconds`; returns true
    // when anything came.
    bool pump(int milliseconds);
    // Pumps until the condition holds (true) or the time runs out (false).
    bool wait_until(const std::function<bool()>& condition, double seconds = 20);
    // Pumps until the condition holds and neither the program has written
    // anything nor a key been sent for `quiet_ms`: the screen is complete
    // and the program waits.
    bool wait_until_quiet(const std::function<bool()>& condition, double seconds = 20, int quiet_ms = 300);
    // Pumps for a while, whatever comes.
    void settle(int milliseconds);
    Clock::time_point last_output() const { return last_output_; }

    // --- The terminal ----------------------------------------------------
    // The terminal's modes as the program left them (read on the terminal side).
    termios modes() const;
    bool echo_and_canonical() const;
    // What was typed and is still waiting on the terminal for whoever reads
    // it next (the shell, once the program has ended); it is taken.
    std::string unread_input();
    // The window changes size: the terminal's size is set and the program
    // told, as a terminal emulator does.
    void resize(int columns, int rows);
    // The terminal goes away: the emulator closes its side.
    void close_terminal();

    // --- The process -----------------------------------------------------
    void signal(int signo);
    bool running() const { return !ending_; }
    // Waits until the program is stopped (true) or the time runs out.
    bool wait_stopped(double seconds = 10);
    bool wait_continued(double seconds = 10);
    std::optional<Ending> wait_exit(double seconds = 20);
    // Sends the signal unless the program has ended, waits for the end,
    // and kills the program when it has not ended within `seconds`.
    Ending finish(int signo, double seconds = 3);
    // User plus system CPU time used so far, and more, from /proc.
    double cpu_seconds() const;
    Sample sample() const;
    // What the program wrote to a captured stream (Stream::file).
    std::string captured_output() const;
    std::string captured_error() const;

    // The screen and state, for failure messages.
    std::string dump() const;

private:
    void start();
    void read_reports();
    void read_body_reports();
    void write_to_terminal(std::string_view bytes);

    Launch launch_;
    TerminalScreen screen_;
    int master_ = -1;
    int slave_ = -1;  // kept open to read the terminal's modes
    int reports_ = -1;
    int body_reports_ = -1;
    int held_pipe_ = -1;  // the test's end of an input pipe
    pid_t shell_pid_ = -1;
    pid_t game_pid_ = -1;
    bool stopped_ = false;
    bool continued_ = false;
    std::optional<Ending> ending_;
    Clock::time_point end_requested_;
    Clock::time_point last_output_;
    Clock::time_point last_input_;
    std::string output_;
    std::size_t fed_ = 0;
    std::string reports_text_;
};

}  // namespace rpg::test
