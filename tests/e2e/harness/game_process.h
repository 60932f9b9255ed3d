#pragma once
// One of the game's programs running on a pseudo-terminal, as a player would
// run it from a shell, with the screen read back through a terminal emulator.
//
// The program is started the way a shell starts a foreground job: a small
// stand-in shell owns the terminal's session and the program runs in a
// process group of its own, made the terminal's foreground group. So keys
// such as Ctrl+C and Ctrl+Z, a change of window size and a stop and continue
// behave as at a real terminal. The stand-in shell reports every stop,
// continue and the end of the program, with its resource use, to the test.
//
// The screen is what libvterm makes of the program's output; the tests read
// cells (text, width, brightness) and the emulator's modes (alternate
// screen, cursor visibility). Keys are sent as the bytes a real terminal
// sends for them.

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

struct VTerm;
struct VTermScreen;

namespace e2e {

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
    std::filesystem::path folder;        // the working directory, where the data files are
    int columns = 80;
    int rows = 24;
    // Variables set (or, with std::nullopt, removed) on top of the standard
    // environment: TERM=xterm-256color, LANG and LC_ALL C.UTF-8, PATH, HOME,
    // and the sanitizer options of the test's own environment.
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    Stream input = Stream::terminal;
    Stream output = Stream::terminal;
    Stream error_output = Stream::terminal;
};

// How the program ended.
struct Ending {
    int status = 0;                    // as waitpid gives it
    rusage usage{};                    // of the program alone
    double seconds_after_request = 0;  // from the call that asked for the end to the report

    bool exited() const;
    int exit_code() const;
    bool killed_by(int signo) const;
    double cpu_seconds() const;
    std::string describe() const;
};

// One screen cell as the terminal shows it.
struct Cell {
    std::string text;  // UTF-8; " " for an empty cell; "" for the right half of a wide character
    int width = 1;     // 1, or 2 for the first half of a wide character, 0 for its right half
    bool bright = false;
    bool operator==(const Cell&) const = default;
};

class GameProcess {
public:
    using Clock = std::chrono::steady_clock;

    explicit GameProcess(Launch launch);
    ~GameProcess();  // ends the program (SIGKILL) if it still runs
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

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
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    Cell cell(int column, int row) const;
    // The text of a row from a column on, over `length` columns (to the end
    // when negative); the right halves of wide characters add nothing.
    std::string text(int row, int column = 0, int length = -1) const;
    std::string screen_text() const;  // every row, trailing blanks removed
    bool alternate_screen() const { return alternate_screen_; }
    bool cursor_visible() const { return cursor_visible_; }
    // A copy of every cell, for comparing a screen before and after.
    std::vector<Cell> snapshot() const;

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
    // How many bytes the program has written so far; a screen that looks as
    // it did before a key can still be told apart by this.
    std::uint64_t output_bytes() const { return output_bytes_; }

    // --- The terminal ----------------------------------------------------
    // The terminal's modes as the program left them (read on the terminal side).
    termios modes() const;
    bool echo_and_canonical() const;
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
    // User plus system CPU time used so far (from /proc).
    double cpu_seconds() const;
    // What the program wrote to a captured stream (Stream::file).
    std::string captured_output() const;
    std::string captured_error() const;

    // The screen and state, for failure messages.
    std::string dump() const;

private:
    friend struct EmulatorGlue;
    void start();
    void read_reports();
    void write_to_terminal(std::string_view bytes);

    Launch launch_;
    int columns_;
    int rows_;
    int master_ = -1;
    int slave_ = -1;  // kept open to read the terminal's modes
    int reports_ = -1;
    int held_pipe_ = -1;  // the test's end of an input pipe
    pid_t shell_pid_ = -1;
    pid_t game_pid_ = -1;
    bool stopped_ = false;
    bool continued_ = false;
    std::optional<Ending> ending_;
    Clock::time_point end_requested_;
    Clock::time_point last_output_;
    Clock::time_point last_input_;
    std::uint64_t output_bytes_ = 0;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    bool alternate_screen_ = false;
    bool cursor_visible_ = true;
};

}  // namespace e2e
