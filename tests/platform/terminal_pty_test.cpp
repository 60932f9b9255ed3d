// The real terminal on a pseudo-terminal: the game's code runs in a child
// process, as a shell's job, whose terminal this test plays, typing keys and
// reading what is drawn.

#include "platform/terminal/terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include "platform/encoding.h"
#include "support/pty_session.h"
#include "support/screen_checks.h"

namespace rpg {
namespace {

using test::Ending;
using test::Launch;
using test::PtySession;

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

// The game's code on a terminal of the given size, run as a shell's job.
Launch on_terminal(int columns, int rows, std::function<int(int)> body) {
    Launch launch;
    launch.body = std::move(body);
    launch.columns = columns;
    launch.rows = rows;
    launch.environment = {{"TERM", "xterm"}};
    return launch;
}

bool reported(PtySession& session, const std::string& text) {
    return session.wait_until([&] { return session.reports().find(text) != std::string::npos; }, 10);
}

// Waits for `text` in what was written from `from` on.
bool written(PtySession& session, const std::string& text, std::size_t from = 0) {
    return session.wait_until([&] { return session.output().find(text, from) != std::string::npos; }, 10);
}

// "●" is one column wide in this locale: a blank keeps "ready" in its place.
bool shows_ready(PtySession& session) {
    return session.wait_until([&] { return has(session, 0, 0, "●ready"); }, 10);
}

Ending end_of(PtySession& session) {
    auto ending = session.wait_exit(10);
    if (!ending) {
        ADD_FAILURE() << "still running:\n" << session.dump();
        return session.finish(SIGKILL);
    }
    return *ending;
}

TEST(TerminalOnPty, KeysArriveAsTheGameCodes) {
    PtySession session(on_terminal(80, 24, echo_keys));
    ASSERT_TRUE(shows_ready(session)) << session.dump();
    // Up, Enter, space, F1 and Ctrl+Up (both swallowed), H, and the end.
    session.send("\x1b[A\r \x1bOP\x1b[1;5AH");
    ASSERT_TRUE(reported(session, "key 72\n"));
    session.send("q");
    EXPECT_EQ(end_of(session).exit_code(), 0) << session.reports();
    EXPECT_EQ(session.reports(), "key 224\nkey 72\nkey 13\nkey 32\nkey 72\nkey 113\n");
}

TEST(TerminalOnPty, KeysTypedWhileNotReadAreNotLeftForTheShell) {
    PtySession session(on_terminal(80, 24, [](int out) {
        Terminal terminal({80, 19});
        terminal.set_cursor(0, 0);
        terminal.print(sjis("●ready"));
        terminal.key_waiting();  // the screen goes out
        usleep(1'500'000);       // keys come meanwhile, unread, as during the missing-file notice
        terminal.restore();
        report(out, "restored");
        usleep(500'000);
        return 0;
    }));
    ASSERT_TRUE(shows_ready(session)) << session.dump();
    session.send("echo typed\r");
    ASSERT_TRUE(reported(session, "restored"));
    EXPECT_EQ(session.unread_input(), "");
    end_of(session);
}

TEST(TerminalOnPty, GameScreenIsLeftAndModesPutBackAtTheEnd) {
    PtySession session(on_terminal(80, 24, echo_keys));
    ASSERT_TRUE(written(session, "ready"));
    const termios during = session.modes();
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(during.c_iflag & ICRNL, 0u);
    session.send("q");
    end_of(session);
    const termios after = session.modes();
    EXPECT_NE(after.c_lflag & ICANON, 0u);
    EXPECT_NE(after.c_lflag & ECHO, 0u);
    EXPECT_NE(after.c_iflag & ICRNL, 0u);
    EXPECT_GT(session.output().rfind(leave_program_screen), session.output().find("ready"));
}

// Deep enough to overflow any stack (the limit is never reached); the
// frames cannot be folded away.
volatile int recursion_limit = 1 << 30;

int recurse(int depth) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (depth >= recursion_limit) return 0;
    return recurse(depth + 1) + frame[0];
}

TEST(TerminalOnPty, StackOverflowStillPutsTheTerminalBack) {
    PtySession session(on_terminal(80, 24, [](int) {
        Terminal terminal({80, 19});
        terminal.set_cursor(0, 0);
        terminal.print(sjis("●ready"));
        terminal.key_waiting();  // the screen goes out
        return recurse(0);
    }));
    ASSERT_TRUE(written(session, "ready"));
    const Ending ending = end_of(session);
    EXPECT_TRUE(ending.killed_by(SIGSEGV)) << ending.describe();
    EXPECT_TRUE(session.echo_and_canonical());
    EXPECT_GT(session.output().rfind(leave_program_screen), session.output().find("ready"));
}

TEST(TerminalOnPty, KeptScreenStaysInTheShell) {
    PtySession session(on_terminal(80, 24, [](int out) {
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
    }));
    EXPECT_EQ(end_of(session).exit_code(), 0) << session.reports();
    const std::string& screen = session.output();
    std::size_t left = screen.rfind(leave_program_screen);
    ASSERT_NE(left, std::string::npos);
    std::string after = screen.substr(left);
    // Blank rows above the text are left out, and the line breaks are the shell's.
    EXPECT_NE(after.find("ファイルが存在しません\r\n●"), std::string::npos);
    EXPECT_EQ(after.find(enter_program_screen), std::string::npos);
}

}  // namespace
}  // namespace rpg
