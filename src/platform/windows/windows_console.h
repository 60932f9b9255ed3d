#pragma once
// The Windows console. The game's Shift-JIS cells are kept in a cell grid, as
// on every console, and written with the console API in code page 932 on a
// screen buffer of the game's own, every two-byte character taking exactly
// two cells whatever the console makes of it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/console_options.h"

namespace rpg {

class WindowsConsole : public Console {
public:
    using Options = ConsoleOptions;

    // Checks that standard input and output are a console; if not,
    // startup_error() says why and nothing else works. The console is taken
    // over only at the first output or key read.
    explicit WindowsConsole(Options options);
    ~WindowsConsole() override;  // restores the console

    // Empty when the console can be used; otherwise a message for the player.
    const std::string& startup_error() const;

    // When set, the last screen is printed again into the player's own
    // screen after the console is restored, so that a notice stays readable.
    void keep_screen_on_exit(bool keep);
    // Restores the console now (also done by the destructor).
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
