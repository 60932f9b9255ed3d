#pragma once
// The in-memory console for tests and headless runs: the screen is a cell
// grid, keys come from a script of (time, code) pairs, and time is a virtual
// clock that sleeps advance at once. A whole battle plays in milliseconds and
// its screen can be read cell by cell.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/console.h"
#include "platform/console_options.h"

namespace rpg {

class MemoryConsole : public Console {
public:
    struct ScriptedKey {
        std::int64_t at_ms;  // the key arrives at this time of the virtual clock
        int code;
        bool on_read = false;  // pressed only once the game waits for a key
    };
    // One step of what the game did, for tests that check order and pacing.
    struct Event {
        enum Kind { print, sleep } kind;
        int column = 0;  // where a print started
        int row = 0;
        std::uint16_t attribute = 0;
        std::string bytes;     // what a print wrote
        int milliseconds = 0;  // how long a sleep was
    };

    explicit MemoryConsole(int width = screen_columns, int height = screen_rows);

    // Console
    void set_cursor(int column, int row) override;
    void set_attribute(std::uint16_t attribute) override;
    void print(std::string_view sjis) override;
    bool key_waiting() override;
    int read_key() override;  // throws InputClosed when the script is used up
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;
    void announce(int column, int row, std::string_view sjis) override;

    // Key script. Keys given without a time are waiting from the start.
    void add_key(int code, std::int64_t at_ms = 0);
    void add_keys(std::initializer_list<int> codes, std::int64_t at_ms = 0);
    // An arrow key: the prefix code and the direction code.
    void add_arrow(int direction, std::int64_t at_ms = 0);
    // A key the player presses only when the game blocks waiting for one: it
    // is never seen by key_waiting, so no animation or typing consumes it.
    // Pressed keys come after every timed key already in the script.
    void press(int code);
    void press(std::initializer_list<int> codes);
    void press_arrow(int direction);
    std::size_t keys_left() const { return script_.size(); }

    // Virtual clock.
    std::int64_t now_ms() const { return now_ms_; }
    void set_epoch_seconds(std::int64_t seconds) { epoch_seconds_ = seconds; }
    std::int64_t total_sleep_ms() const { return total_sleep_ms_; }

    // Screen.
    const CellGrid& grid() const { return grid_; }
    const Cell& cell(int column, int row) const { return grid_.at(column, row); }
    std::uint16_t attribute_at(int column, int row) const { return grid_.at(column, row).attribute; }
    // A row, or part of it, as UTF-8 (invalid bytes as "?").
    std::string row_text(int row, int column = 0, int length = -1) const;
    // True when the Shift-JIS form of `utf8` stands at (column, row).
    bool shows(int column, int row, std::string_view utf8) const;
    // The whole screen as UTF-8 lines with trailing blanks removed.
    std::string screen_text() const;

    // What the game announced for a screen reader: the last announcement
    // (the cursor of a console in screen-reader mode rests at its point; -1
    // before any), and while events are recorded, all of them in order.
    struct Announcement {
        int column = -1;
        int row = -1;
        std::string sjis;  // what was to be said, or empty
    };
    const Announcement& last_announcement() const { return last_announcement_; }
    const std::vector<Announcement>& announcements() const { return announcements_; }

    // Trace of prints and sleeps; off by default for long runs.
    void record_events(bool on) { recording_ = on; }
    const std::vector<Event>& events() const { return events_; }
    void clear_events() {
        events_.clear();
        announcements_.clear();
    }

private:
    CellGrid grid_;
    std::deque<ScriptedKey> script_;
    std::int64_t now_ms_ = 0;
    std::int64_t epoch_seconds_ = 1'700'000'000;
    std::int64_t total_sleep_ms_ = 0;
    // Out of line: print() runs for every text drawn, most often unrecorded.
    [[gnu::noinline]] void record_print(std::string_view sjis_text);

    bool recording_ = false;
    std::vector<Event> events_;
    Announcement last_announcement_;
    std::vector<Announcement> announcements_;
};

}  // namespace rpg
