// The real terminal on a pseudo-terminal: the game runs in a child process
// whose terminal this test plays, typing keys and reading what is drawn.

#include "platform/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/encoding.h"

namespace rpg {
namespace {

const std::string leave_program_screen = "\x1b[?1049l";  // xterm's rmcup
const std::string enter_program_screen = "\x1b[?1049h";

void report(int fd, const std::string& text) {
    std::string line = text + "\n";
    [[maybe_unused]] ssize_t ignored = write(fd, line.data(), line.size());
}

// The usual child: shows "ready", then reports every key code until "q".
int echo_keys(int out) {
    Terminal terminal({80, 19});
    if (!terminal.startup_error().empty()) {
        report(out, "error " + terminal.startup_error());
        return 2;
    }
    terminal.set_cursor(0, 0);
    terminal.print(sjis("●ready"));
    try {
        for (;;) {
            int code = terminal.read_key();
            report(out, "key " + std::to_string(code));
            if (code == 'q') return 0;
        }
    } catch (const InputClosed& closed) {
        report(out, std::string("closed ") + closed.what());
        return 3;
    }
}

class Session {
public:
    Session(int columns, int rows, const std::function<int(int)>& body) {
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0) return;
        // Above the standard three, which the child's terminal takes over even
        // when the tests run with some of them closed.
        for (int& fd : pipe_fds) {
            int high = fcntl(fd, F_DUPFD, 10);
            close(fd);
            fd = high;
        }
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = static_cast<unsigned short>(rows);
        std::fflush(stdout);
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            close(pipe_fds[0]);
            setenv("TERM", "xterm", 1);
            int status = 99;
            try {
                status = body(pipe_fds[1]);
            } catch (...) {}
            _exit(status);
        }
        close(pipe_fds[1]);
        reports_fd_ = pipe_fds[0];
    }

    ~Session() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        if (master_ >= 0) close(master_);
        if (reports_fd_ >= 0) close(reports_fd_);
    }

    bool started() const { return pid_ > 0 && master_ >= 0; }
    pid_t pid() const { return pid_; }
    int master() const { return master_; }
    const std::string& screen() const { return screen_; }
    const std::string& reports() const { return reports_; }
    void forget_screen() { screen_.clear(); }

    void type(const std::string& bytes) {
        [[maybe_unused]] ssize_t ignored = write(master_, bytes.data(), bytes.size());
    }

    void hang_up() {
        close(master_);
        master_ = -1;
        master_open_ = false;
    }

    // Reads from the child until `done` holds; false if it never does (after
    // a generous limit that only a broken terminal reaches).
    bool wait_for(const std::function<bool()>& done) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            if (!pump(100) && !master_open_ && !reports_open_) return done();
        }
        return true;
    }
    bool screen_shows(const std::string& text) {
        return wait_for([&] { return screen_.find(text) != std::string::npos; });
    }
    bool reported(const std::string& text) {
        return wait_for([&] { return reports_.find(text) != std::string::npos; });
    }

    // Waits for the child to end and reads all it left.
    int end_status() {
        int status = 0;
        waitpid(pid_, &status, 0);
        ended_ = true;
        while (pump(50)) {}
        return status;
    }

private:
    // Reads what is there within the time; false when nothing came.
    bool pump(int timeout_ms) {
        pollfd fds[2] = {{master_open_ ? master_ : -1, POLLIN, 0}, {reports_open_ ? reports_fd_ : -1, POLLIN, 0}};
        if (fds[0].fd < 0 && fds[1].fd < 0) return false;
        if (poll(fds, 2, timeout_ms) <= 0) return false;
        bool got = false;
        if (fds[0].revents) got |= take(master_, master_open_, screen_);
        if (fds[1].revents) got |= take(reports_fd_, reports_open_, reports_);
        return got;
    }

    static bool take(int fd, bool& open, std::string& into) {
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            open = false;  // the child is gone
            return false;
        }
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int master_ = -1;
    int reports_fd_ = -1;
    bool ended_ = false;
    bool master_open_ = true;
    bool reports_open_ = true;
    std::string screen_;
    std::string reports_;
};

TEST(TerminalOnPty, KeysArriveAsTheGameCodes) {
    Session session(80, 24, echo_keys);
    ASSERT_TRUE(session.started());
    // "●" is one column wide in this locale: a blank keeps "ready" in its place.
    ASSERT_TRUE(session.screen_shows("● ready")) << session.reports();
    // Up, Enter, space, F1 and Ctrl+Up (both swallowed), H, and the end.
    session.type("\x1b[A\r \x1bOP\x1b[1;5AH");
    ASSERT_TRUE(session.reported("key 72\n"));
    session.type("q");
    int status = session.end_status();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << session.reports();
    EXPECT_EQ(session.reports(), "key 224\nkey 72\nkey 13\nkey 32\nkey 72\nkey 113\n");
}

TEST(TerminalOnPty, EscapeAloneArrivesAfterAPause) {
    Session session(80, 24, echo_keys);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("ready"));
    session.type("\x1b");
    ASSERT_TRUE(session.reported("key 27\n"));
    session.type("q");
    session.end_status();
    EXPECT_EQ(session.reports(), "key 27\nkey 113\n");
}

TEST(TerminalOnPty, GameScreenIsLeftAndModesPutBackAtTheEnd) {
    Session session(80, 24, echo_keys);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("ready"));
    termios during{};
    ASSERT_EQ(tcgetattr(session.master(), &during), 0);
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(during.c_iflag & ICRNL, 0u);
    session.type("q");
    session.end_status();
    termios after{};
    ASSERT_EQ(tcgetattr(session.master(), &after), 0);
    EXPECT_NE(after.c_lflag & ICANON, 0u);
    EXPECT_NE(after.c_lflag & ECHO, 0u);
    EXPECT_NE(after.c_iflag & ICRNL, 0u);
    EXPECT_GT(session.screen().rfind(leave_program_screen), session.screen().find("ready"));
}

TEST(TerminalOnPty, EndSignalPutsTheTerminalBackAndEndsTheGameBySignal) {
    Session session(80, 24, echo_keys);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("ready"));
    kill(session.pid(), SIGTERM);
    int status = session.end_status();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    termios after{};
    ASSERT_EQ(tcgetattr(session.master(), &after), 0);
    EXPECT_NE(after.c_lflag & ICANON, 0u);
    EXPECT_NE(after.c_lflag & ECHO, 0u);
    EXPECT_GT(session.screen().rfind(leave_program_screen), session.screen().find("ready"));
}

TEST(TerminalOnPty, TerminalGoneEndsInputWithInputClosed) {
    Session session(80, 24, [](int out) {
        std::signal(SIGHUP, SIG_IGN);  // left ignored, so that the lost terminal shows up as a read error
        return echo_keys(out);
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("ready"));
    session.hang_up();
    int status = session.end_status();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
    EXPECT_NE(session.reports().find("closed "), std::string::npos) << session.reports();
    EXPECT_NE(session.reports().find("the terminal is gone"), std::string::npos) << session.reports();
}

TEST(TerminalOnPty, TooSmallWindowWaitsAndThenShowsTheGame) {
    Session session(60, 10, echo_keys);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("Please make the terminal at least 80 x 19 (now 60 x 10)."));
    EXPECT_EQ(session.screen().find("ready"), std::string::npos);
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    ASSERT_EQ(ioctl(session.master(), TIOCSWINSZ, &size), 0);
    EXPECT_TRUE(session.screen_shows("● ready"));
    session.type("q");
    session.end_status();
    EXPECT_EQ(session.reports(), "key 113\n");
}

TEST(TerminalOnPty, ResizeDuringPlayDrawsTheWholeScreenAgain) {
    Session session(80, 24, echo_keys);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("ready"));
    session.forget_screen();
    winsize size{};
    size.ws_col = 90;
    size.ws_row = 30;
    ASSERT_EQ(ioctl(session.master(), TIOCSWINSZ, &size), 0);
    EXPECT_TRUE(session.screen_shows("● ready"));
    session.type("q");
    session.end_status();
}

// Plays the shell: runs the game as a job of its own in the foreground, and
// on "fg" typed after the game stopped, gives it the terminal back and lets
// it go on.
int shell_with_game(int out) {
    pid_t game = fork();
    if (game == 0) {
        setpgid(0, 0);
        std::signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(STDIN_FILENO, getpid());
        std::signal(SIGTTOU, SIG_DFL);
        _exit(echo_keys(out));
    }
    std::signal(SIGTTOU, SIG_IGN);
    setpgid(game, game);
    int status = 0;
    for (;;) {
        if (waitpid(game, &status, WUNTRACED) < 0) return 98;
        if (!WIFSTOPPED(status)) break;
        tcsetpgrp(STDIN_FILENO, getpgrp());
        report(out, "stopped");
        char line[64];
        if (read(STDIN_FILENO, line, sizeof line) <= 0) return 97;  // "fg", in the shell's own modes
        tcsetpgrp(STDIN_FILENO, game);
        kill(-game, SIGCONT);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 96;
}

TEST(TerminalOnPty, StopPutsTheTerminalBackAndContinuingDrawsTheGameAgain) {
    Session session(80, 24, shell_with_game);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.screen_shows("● ready"));
    session.type("\x1a");  // Ctrl+Z
    ASSERT_TRUE(session.reported("stopped\n"));
    termios stopped{};
    ASSERT_EQ(tcgetattr(session.master(), &stopped), 0);
    EXPECT_NE(stopped.c_lflag & ICANON, 0u);
    EXPECT_NE(stopped.c_lflag & ECHO, 0u);
    EXPECT_GT(session.screen().rfind(leave_program_screen), session.screen().find("ready"));

    session.forget_screen();
    session.type("fg\n");
    EXPECT_TRUE(session.screen_shows("● ready"));
    EXPECT_NE(session.screen().find(enter_program_screen), std::string::npos);
    termios again{};
    ASSERT_EQ(tcgetattr(session.master(), &again), 0);
    EXPECT_EQ(again.c_lflag & (ICANON | ECHO), 0u);

    session.type("\x1b[B");
    session.type("q");
    int status = session.end_status();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(session.reports(), "stopped\nkey 224\nkey 80\nkey 113\n");
}

TEST(TerminalOnPty, KeptScreenStaysInTheShell) {
    Session session(80, 24, [](int out) {
        Terminal terminal({80, 19});
        if (!terminal.startup_error().empty()) return 2;
        terminal.set_cursor(0, 3);
        terminal.line_print(sjis("ファイルが存在しません"));
        terminal.line_print(sjis("●×"));
        terminal.keep_screen_on_exit(true);
        terminal.restore();
        terminal.restore();  // twice is harmless
        report(out, "done");
        return 0;
    });
    ASSERT_TRUE(session.started());
    int status = session.end_status();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << session.reports();
    const std::string& screen = session.screen();
    std::size_t left = screen.rfind(leave_program_screen);
    ASSERT_NE(left, std::string::npos);
    std::string after = screen.substr(left);
    // Blank rows above the text are left out, and the line breaks are the shell's.
    EXPECT_NE(after.find("ファイルが存在しません\r\n●"), std::string::npos);
    EXPECT_EQ(after.find(enter_program_screen), std::string::npos);
}

TEST(Terminal, RefusesWhenInputIsNotATerminal) {
    int saved = dup(STDIN_FILENO);  // -1 when the tests run without any input
    int null = open("/dev/null", O_RDONLY);
    ASSERT_GE(null, 0);
    dup2(null, STDIN_FILENO);
    {
        Terminal terminal({80, 19});
        EXPECT_NE(terminal.startup_error().find("standard input and output must be a terminal"), std::string::npos)
            << terminal.startup_error();
        // Nothing else works, and nothing breaks.
        terminal.print("abc");
        EXPECT_FALSE(terminal.key_waiting());
        EXPECT_THROW(terminal.read_key(), InputClosed);
        terminal.restore();
    }
    if (saved >= 0) {
        dup2(saved, STDIN_FILENO);
        close(saved);
    } else {
        close(STDIN_FILENO);
    }
    if (null != STDIN_FILENO) close(null);
}

}  // namespace
}  // namespace rpg
