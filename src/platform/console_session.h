#pragma once
// What every console of a real screen does between the game and its device,
// written once: the cell grid the game writes into, bringing the device up to
// date before every pause and every wait for a key, the notice while the
// window is too small for the game, reading keys through the key decoder with
// its wait for the rest of an escape sequence, the measurement of how wide
// the device draws the ambiguous characters, the pauses' deadlines, and the
// one way back at the end.
//
// Each kind of device offers only what it alone can do, as a ConsoleHost:
// bytes in and out, its size, painting the grid, its clock and sleeping. The
// terminal (termios, poll, ncurses), the Windows console and the page's
// terminal widget are such hosts.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/console.h"
#include "platform/console_options.h"
#include "platform/key_decoder.h"
#include "platform/pause_clock.h"

namespace rpg {

// How long a device is given to answer where its cursor is.
inline constexpr int probe_timeout_ms = 500;

// Where a console stands: not taken over yet (a device taken at first use),
// refused (startup_error() says why), in the game's hands, or given back.
enum class Stage { waiting, refused, running, restored };
// What an update does while the window is too small for the game: wait
// until it is large enough (before a key is read), or show the notice and
// go on (a pause, which must end on time whatever the window's size).
enum class IfTooSmall { wait_for_room, go_on };
// What becomes of the keys read: kept for the game, or dropped (typed while
// the notice asked for a larger window, not meant for the game).
enum class Keys { keep, drop };

struct ScreenSize {
    int columns = 0;
    int rows = 0;
    bool operator==(const ScreenSize&) const = default;
};

class ConsoleHost {
public:
    virtual ~ConsoleHost() = default;

    // --- Start and end.
    // Empty when the device can be used at all; otherwise the message for
    // the player. Asked first, before the player's settings are read.
    virtual std::string problem() = 0;
    // Takes the device over: the game's modes and screen, cleared, with the
    // cursor at the top left. Empty on success; otherwise why not, the device
    // left as it was found. `ambiguous` is the player's setting, if any.
    virtual std::string start(AmbiguousWidth ambiguous) = 0;
    // True for a device taken over only at the first output or key read.
    virtual bool starts_at_first_use() const { return false; }
    // Told the ambiguous width in force once it is known, before any paint.
    virtual void started(AmbiguousWidth) {}
    // Gives the device back as it was found (only after a start).
    virtual void release() = 0;
    // Prints the game's last screen into the player's own, after release.
    virtual void print_kept_screen(const CellGrid&) {}
    // Whether the game's last screen is drawn before the device is given back
    // (no use where the game's screen goes away with it).
    virtual bool paints_last_screen() const { return true; }
    // What the device is called in a message ("the terminal").
    virtual std::string_view name() const = 0;

    // --- How wide the device draws ambiguous characters.
    // True for a device that answers where its cursor went (a terminal): the
    // session asks it. Any other device measures itself in start().
    virtual bool answers_cursor_reports() const { return true; }
    // The width the device's own character library gives `utf8`, taken when
    // no answer comes.
    virtual int library_width(std::string_view /*utf8*/) { return 1; }
    // For a device that measures itself: what it found.
    virtual AmbiguousWidth own_ambiguous() { return AmbiguousWidth::narrow; }

    // --- Bytes in and out.
    struct Input {
        std::string bytes;  // what came, without waiting
        bool closed = false;
        std::string why;  // when closed: the message for the player
        static Input of(std::string bytes) { return {std::move(bytes), false, {}}; }
        static Input gone(std::string why) { return {{}, true, std::move(why)}; }
    };
    // The bytes that can be read now (a device that gives key codes rather
    // than bytes gives them as bytes: the decoder passes them on unchanged).
    virtual Input read_available() = 0;
    struct Wake {
        bool news = false;  // the screen may need bringing up to date
        bool closed = false;
        std::string why;
        static Wake with_news() { return {true, false, {}}; }
        static Wake gone(std::string why) { return {false, true, std::move(why)}; }
    };
    // Returns once input may be waiting, news came, or after timeout_ms (< 0:
    // no timeout, though a device may look again at its own pace).
    virtual Wake wait_input(int timeout_ms) = 0;
    // Raw bytes for the device: the width probe's request.
    virtual void write(std::string_view bytes) = 0;

    // --- The screen.
    virtual ScreenSize size() = 0;
    // True when the device's screen must be sent again whole (the window
    // changed size, or the game came back from a stop).
    virtual bool take_news() { return false; }
    // Brings the device's screen up to the grid's dirty rows (all of them
    // and more when `whole`: what the device shows is not known), with the
    // cursor at the grid's; then clears the grid's dirty rows.
    virtual void paint(CellGrid& grid, bool whole) = 0;
    // Shows the too-small notice's lines from the top left on a blank screen.
    virtual void show_notice(const std::vector<std::string>& lines) = 0;
    // How often a wait for a larger window looks at the size again when
    // nothing wakes it (-1: the device wakes the wait when its size changes).
    virtual int room_check_ms() const { return -1; }

    // --- A screen reader.
    // Told before the start when one follows the game: the device then shows
    // its cursor and leaves it, at every paint, where the grid's stands (a
    // terminal and the page always do).
    virtual void follow_with_cursor() {}
    // What a screen reader should say, in UTF-8 (only in that mode, after the
    // paint that shows it). A device that has no way to say it leaves it to
    // the reader, which reads at the cursor.
    virtual void say(std::string_view /*utf8*/) {}

    // --- Time.
    virtual std::int64_t monotonic_ns() = 0;
    virtual std::int64_t now_seconds() = 0;
    // Sleeps towards a deadline on the monotonic clock, never beyond it.
    // True once it has passed; false when woken before it (news to show, or a
    // device that sleeps in steps), to be called again.
    virtual bool sleep_until(std::int64_t deadline_ns) = 0;
    // How late a run of pauses may fall before its count starts again.
    virtual std::int64_t pause_catch_up_ns() const { return PauseClock::least_catch_up_ns; }
    // A game that polls for keys this many times in a row without pausing
    // lets the device's surroundings run once (0: never needed).
    virtual int polls_per_yield() const { return 0; }
    virtual void yield() {}
};

class ConsoleSession : public Console {
public:
    using Options = ConsoleOptions;

    // Checks the device and the player's settings, then takes the device
    // over (or, for a device taken at first use, waits for that) and
    // measures it. When anything is wrong the device is left as it was,
    // startup_error() says why and nothing else works.
    ConsoleSession(std::unique_ptr<ConsoleHost> host, Options options);
    ~ConsoleSession() override;  // restores the device

    // Empty when the device can be used; otherwise a message for the player.
    const std::string& startup_error() const { return error_; }
    // When set, the last screen is printed again into the player's own
    // screen after the device is restored, so that a notice stays readable.
    void keep_screen_on_exit(bool keep) { keep_screen_ = keep; }
    // Restores the device now (also done by the destructor).
    void restore();
    // The ambiguous width in force and the size, once started.
    ConsoleFacts facts();

    void set_cursor(int column, int row) override { grid_.set_cursor(column, row); }
    void set_attribute(std::uint16_t attribute) override { grid_.set_attribute(attribute); }
    void print(std::string_view sjis) override;
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override { return host_->now_seconds(); }
    // In screen-reader mode: the cursor rests there at every paint, and the
    // text is said at the next.
    void announce(int column, int row, std::string_view sjis) override;

protected:
    ConsoleHost& host() { return *host_; }

private:
    bool running();  // takes a device taken at first use over
    void start();
    void refuse(const std::string& why);
    void measure_widths();
    [[noreturn]] void input_closed(const std::string& why);

    void take_input(Keys keys_read = Keys::keep);
    void feed(std::string_view bytes, Keys keys_read = Keys::keep);
    void expire_escape();

    void flush(IfTooSmall if_too_small);
    void take_news();
    bool too_small();
    void show_room_notice();
    void paint();

    std::unique_ptr<ConsoleHost> host_;
    Options options_;
    std::string error_;
    Stage stage_ = Stage::refused;
    bool keep_screen_ = false;
    AmbiguousWidth ambiguous_ = AmbiguousWidth::narrow;  // as measured or set
    CellGrid grid_{screen_columns, screen_rows};

    // Screen updates.
    bool whole_ = false;           // the device's screen must be sent again whole
    bool showing_notice_ = false;  // the screen asks for a larger window
    ScreenSize notice_size_;       // the size the notice was shown for

    // Keys.
    KeyDecoder decoder_;
    std::deque<int> keys_;
    std::int64_t last_byte_ns_ = 0;
    int idle_polls_ = 0;

    PauseClock pauses_;

    // A screen reader's point, where the cursor rests at every paint (none
    // yet: where the game's own cursor stands), and the texts to say at the
    // next paint, in Shift-JIS.
    std::optional<CellGrid::CursorSpot> focus_;
    std::vector<std::string> to_say_;
};

}  // namespace rpg
