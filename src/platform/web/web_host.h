#pragma once
// What the web console needs of the page it runs in: the terminal widget's
// output and keys, its size, the page's clocks and a way to sleep without
// stopping the page. In the browser these are calls into the page's host
// object (web_console.cpp); the tests give a host of their own.

#include <cstdint>
#include <string>
#include <string_view>

namespace rpg {

class WebHost {
public:
    virtual ~WebHost() = default;

    // Empty when the page offers what the game needs; else why not.
    virtual std::string problem() = 0;
    // Text for the terminal widget: UTF-8 with ANSI escape sequences.
    virtual void write(std::string_view utf8) = 0;
    // The bytes typed since the last call (one char per byte), "" if none.
    virtual std::string take_input() = 0;
    // Returns once input is waiting, or after timeout_ms (< 0: no timeout).
    virtual void wait_input(int timeout_ms) = 0;
    // The grid the page offers.
    virtual int columns() = 0;
    virtual int rows() = 0;
    // A monotonic clock, and the time of day in whole seconds.
    virtual std::int64_t monotonic_ns() = 0;
    virtual std::int64_t now_seconds() = 0;
    // Sleeps, letting the page run meanwhile; 0 only yields to the page.
    virtual void sleep(int milliseconds) = 0;
    // In screen-reader mode: a text for the page's screen reader, in UTF-8.
    virtual void say(std::string_view /*utf8*/) {}
};

}  // namespace rpg
