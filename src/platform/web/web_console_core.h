#pragma once
// The console in a web page's terminal widget (xterm.js), on any host that
// offers what WebHost lists: the console session over a device that takes
// UTF-8 with ANSI escape sequences, every two-byte character taking exactly
// two columns, and answers where its cursor went. Kept free of the browser,
// so that it is tested with a host of the tests' own.

#include <cstdint>

#include "platform/console_session.h"
#include "platform/web/web_host.h"

namespace rpg {

namespace web_detail {

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
// While the page's grid is too small for the game, its size is looked at
// this often.
inline constexpr int room_check_ms = 250;

// The whole milliseconds to sleep towards a deadline (0: the deadline is
// less than a millisecond away, or past: the page is only let run once).
// Never beyond it: a late wake-up is taken off the next pause.
int sleep_towards(std::int64_t now_ns, std::int64_t deadline_ns);

}  // namespace web_detail

class WebConsoleCore : public ConsoleSession {
public:
    WebConsoleCore(WebHost& host, Options options);
};

}  // namespace rpg
