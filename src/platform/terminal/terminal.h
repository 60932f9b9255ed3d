#pragma once
// The real terminal: a UTF-8 terminal driven through ncurses. The game's
// Shift-JIS cells are kept in a cell grid and converted to UTF-8 only here,
// every two-byte character taking exactly two columns.
//
// This backend is for Linux: ncurses draws into a memfd_create file and
// shortens the timer slack with prctl for pauses that end on time; the
// programs find their data folder through /proc/self/exe (app/options.cpp).
// Another POSIX system needs those three replaced.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/console_options.h"

namespace rpg {

class Terminal : public Console {
public:
    using Options = ConsoleOptions;

    // Checks that standard input and output are a terminal that can place
    // the cursor and that a UTF-8 locale can be had, then takes the terminal
    // over and measures how wide it draws the game's characters. When
    // anything is wrong the terminal is left as it was, startup_error() says
    // why and nothing else works.
    explicit Terminal(Options options);
    ~Terminal() override;  // restores the terminal

    // Empty when the terminal can be used; otherwise a message for the player.
    const std::string& startup_error() const;

    // When set, the last screen is printed again into the normal screen after
    // the terminal is restored, so that a notice stays readable in the shell.
    void keep_screen_on_exit(bool keep);
    // Restores the terminal now (also done by the destructor).
    void restore();
    // The ambiguous width in force and the size, once started.
    ConsoleFacts facts();

    void set_cursor(int column, int row) override;
    void set_attribute(std::uint16_t attribute) override;
    void print(std::string_view sjis) override;
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rpg
