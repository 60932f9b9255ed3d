#pragma once
// The console in a web page's terminal widget (xterm.js), on any host that
// offers what WebHost lists. The game's Shift-JIS cells are kept in a cell
// grid, as on the terminal, and sent as UTF-8 with ANSI escape sequences,
// every two-byte character taking exactly two columns; keys go through the
// terminal's key decoder. Kept free of the browser, so that it is tested with
// a host of the tests' own.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "platform/cell_grid.h"
#include "platform/console.h"
#include "platform/console_options.h"
#include "platform/key_decoder.h"
#include "platform/pause_clock.h"
#include "platform/web/web_host.h"

namespace rpg {

namespace web_detail {

// How long the widget is given to answer where its cursor is.
inline constexpr int probe_timeout_ms = 500;
// A game that asks for keys this many times in a row without pausing lets
// the page run once, so that the keys it waits for can come at all.
inline constexpr int polls_per_yield = 64;
// The page draws what was written at its next frame, so a pause that ends
// late only shows as a frame the page skips. Drawing a frame holds the program
// up for most of one, and more the first time a font's glyphs are drawn or on
// a busy machine: pauses that fall behind by up to a quarter of a second are
// caught up, which keeps the start-up's run of 1 ms pauses and every animation
// to their sums. A tab the browser sent to sleep (its timers then wait a
// second) goes on from where it woke.
inline constexpr std::int64_t pause_catch_up_ns = 250'000'000;

// The whole milliseconds to sleep towards a deadline (0: the deadline is
// less than a millisecond away, or past: the page is only let run once).
// Never beyond it: a late wake-up is taken off the next pause.
int sleep_towards(std::int64_t now_ns, std::int64_t deadline_ns);

// The columns the widget gives one UTF-8 character: 2 for the wide ones
// (kanji, kana, full-width forms), 1 for the rest, ambiguous ones 2 only
// when `ambiguous` says wide.
int widget_char_width(std::string_view utf8, AmbiguousWidth ambiguous);

}  // namespace web_detail

class WebConsoleCore : public Console {
public:
    using Options = ConsoleOptions;

    // Checks the host, takes the ambiguous width from the options, from
    // RPG_AMBIGUOUS or from the widget's answer, and clears the screen. When
    // anything is wrong, startup_error() says why and nothing else works.
    WebConsoleCore(WebHost& host, Options options);
    ~WebConsoleCore() override;  // brings the screen up to date and resets the look

    const std::string& startup_error() const { return error_; }
    // The screen stays on the page after the end anyway; kept for the
    // programs' common start-up path.
    void keep_screen_on_exit(bool) {}
    void restore();
    AmbiguousWidth ambiguous() const { return ambiguous_; }
    // The ambiguous width in force and the page's grid, once started.
    ConsoleFacts facts();

    void set_cursor(int column, int row) override { grid_.set_cursor(column, row); }
    void set_attribute(std::uint16_t attribute) override { grid_.set_attribute(attribute); }
    void print(std::string_view sjis) override { grid_.write(sjis); }
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;

private:
    enum class Stage { refused, running, restored };
    // What an update does while the page's grid is too small for the game:
    // wait until it is large enough (before a key is read), or show the
    // notice and go on (a pause, which must end on time whatever the size).
    enum class IfTooSmall { wait_for_room, go_on };
    // What becomes of the keys read: kept for the game, or dropped (typed
    // while the notice asked for a larger window, not meant for the game).
    enum class Keys { keep, drop };

    void refuse(const std::string& why);
    void measure_widths();
    void take_input(Keys keys_read = Keys::keep);
    void feed(std::string_view bytes, Keys keys_read = Keys::keep);
    void expire_escape();
    void flush(IfTooSmall if_too_small);
    bool too_small();
    void show_room_notice();
    void paint();

    WebHost& host_;
    Options options_;
    std::string error_;
    Stage stage_ = Stage::refused;
    AmbiguousWidth ambiguous_ = AmbiguousWidth::narrow;
    CellGrid grid_{screen_columns, screen_rows};

    // Screen updates.
    bool paint_all_ = true;
    bool showing_room_notice_ = false;
    int shown_column_ = -1;
    int shown_row_ = -1;
    bool shown_bright_ = false;
    std::string out_;

    // Keys.
    KeyDecoder decoder_;
    std::deque<int> keys_;
    std::int64_t last_byte_ns_ = 0;
    int idle_polls_ = 0;

    PauseClock pauses_{web_detail::pause_catch_up_ns};
};

}  // namespace rpg
