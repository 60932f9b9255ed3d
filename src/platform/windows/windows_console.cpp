// The Windows console.
//
// The game writes Shift-JIS bytes into an 80 x 25 cell grid, exactly as the
// test console does. Only when the screen is brought up to date (before every
// pause and every wait for a key) are the rows written since the last update
// compared with what the console shows, and the span that changed written
// with one console call per run of one look.
//
// The console is taken over at the first output or key read: a screen buffer
// of the game's own (the player's screen comes back untouched at the end),
// code page 932, keys one at a time without echo, the cursor hidden. A
// control handler puts everything back when the game is ended with Ctrl+C,
// Ctrl+Break or by closing the window.

#include "platform/windows/windows_console.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/console_cells.h"
#include "platform/pause_clock.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace rpg {

using namespace console_cells;

namespace {

constexpr int logical_columns = 80;
constexpr int logical_rows = 25;
// While waiting for a key the window's size is looked at this often: not
// every console reports a change of size as an event.
constexpr DWORD size_check_ms = 500;
// A held key reports how often it repeated; more than this at once is not
// meant for a menu.
constexpr int most_repeats = 32;
constexpr WORD normal_look = attr_normal;

bool under_wine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::int64_t monotonic_ns() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const std::int64_t ticks = now.QuadPart;
    return ticks / frequency * 1'000'000'000 + ticks % frequency * 1'000'000'000 / frequency;
}

COORD coord(int column, int row) { return COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)}; }

std::wstring wide_of(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

void write_text(HANDLE to, std::u16string_view text) {
    const std::wstring wide = wide_of(text);
    DWORD written = 0;
    WriteConsoleW(to, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

// What the control handler puts back when the game is ended from outside.
struct ActiveConsole {
    virtual void put_back() = 0;

protected:
    ~ActiveConsole() = default;
};

}  // namespace

// ---------------------------------------------------------------------------

struct WindowsConsole::Impl final : ActiveConsole {
    enum class Stage { waiting, running, restored };

    Options options;
    std::string error;
    CellGrid grid{logical_columns, logical_rows};
    Stage stage = Stage::waiting;
    bool keep_screen = false;
    bool wine = false;

    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;  // the player's screen buffer
    HANDLE screen = INVALID_HANDLE_VALUE;  // the game's, while it runs
    UINT input_code_page_before = 0;
    UINT output_code_page_before = 0;
    DWORD input_mode_before = 0;
    DWORD output_mode_before = 0;
    HANDLE timer = nullptr;
    bool coarse_timer = false;  // no high-resolution timer: the system's tick was shortened

    CellWidths widths;
    int columns = 0;  // the size of the console's window
    int rows = 0;
    // What each row of the console shows; empty when that is not known.
    std::vector<std::vector<RowPiece>> shown = std::vector<std::vector<RowPiece>>(logical_rows);
    WORD shown_look = normal_look;
    bool showing_notice = false;  // the console is too small and says so
    bool size_event = false;      // the console reported a change of size
    std::int64_t next_size_check_ns = 0;

    std::deque<int> keys;
    PauseClock pauses;

    bool start();
    void stop();
    void put_back() override;  // the console as the player had it; also from the control handler
    void measure_widths();
    bool take_window_size();
    bool window_changed();
    bool too_small() const { return columns < options.min_columns || rows < options.min_rows; }
    void blank_screen();
    void flush(bool wait_for_room);
    void show_too_small();
    void paint();
    void take_input(bool discard);
    [[noreturn]] void input_closed();
    void wait_until(std::int64_t deadline_ns);
    void print_kept_screen() const;
};

namespace {

// Held while the console is being changed; the control handler takes it before
// it puts the console back, so that it never finds the game half way through
// an update. Only one console is in use at a time.
std::mutex console_lock;
ActiveConsole* active_console = nullptr;

BOOL WINAPI on_control(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT: {
            std::lock_guard guard(console_lock);
            if (active_console != nullptr) active_console->put_back();
            ExitProcess(STATUS_CONTROL_C_EXIT);
        }
        default: return FALSE;
    }
}

}  // namespace

bool WindowsConsole::Impl::start() {
    if (stage == Stage::running) return true;
    if (stage == Stage::restored || !error.empty()) return false;
    std::lock_guard guard(console_lock);

    screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (screen == INVALID_HANDLE_VALUE) {
        error = "the console could not be set up";
        stage = Stage::restored;
        return false;
    }
    input_code_page_before = GetConsoleCP();
    output_code_page_before = GetConsoleOutputCP();
    GetConsoleMode(input, &input_mode_before);
    GetConsoleMode(output, &output_mode_before);
    active_console = this;
    SetConsoleCtrlHandler(on_control, TRUE);

    SetConsoleOutputCP(932);
    SetConsoleCP(932);
    // Keys one at a time without echo; Ctrl+C still reaches the control
    // handler; changes of size arrive as events; no mouse, no selection.
    SetConsoleMode(input, ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS);
    // No wrapping at the right edge: writing the bottom-right cell must not
    // scroll the screen.
    SetConsoleMode(screen, ENABLE_PROCESSED_OUTPUT);
    SetConsoleTextAttribute(screen, normal_look);
    CONSOLE_CURSOR_INFO cursor{};
    if (GetConsoleCursorInfo(screen, &cursor)) {
        cursor.bVisible = FALSE;
        SetConsoleCursorInfo(screen, &cursor);
    }
    // Measured before the buffer is shown, so that the test characters never
    // appear.
    measure_widths();

    // The game's buffer is exactly the window, so that nothing scrolls it away.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(output, &info)) {
        const SHORT w = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
        const SHORT h = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
        SetConsoleScreenBufferSize(screen, COORD{w, h});
        const SMALL_RECT window{0, 0, static_cast<SHORT>(w - 1), static_cast<SHORT>(h - 1)};
        SetConsoleWindowInfo(screen, TRUE, &window);
    }
    SetConsoleActiveScreenBuffer(screen);
    stage = Stage::running;
    take_window_size();
    blank_screen();
    return true;
}

void WindowsConsole::Impl::measure_widths() {
    auto cells_of = [this](const wchar_t* character) {
        if (!SetConsoleCursorPosition(screen, coord(0, 0))) return 0;
        DWORD written = 0;
        if (!WriteConsoleW(screen, character, 1, &written, nullptr)) return 0;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!GetConsoleScreenBufferInfo(screen, &info)) return 0;
        return measured_cells(0, 0, info.dwCursorPosition.X, info.dwCursorPosition.Y, info.dwSize.X);
    };
    const int kanji = cells_of(L"\u5175");   // 兵
    const int symbol = cells_of(L"\u25CF");  // ●
    widths = decide_widths(kanji, symbol, wine, options.ambiguous);
}

// Takes the window's size as it is now; true when it changed.
bool WindowsConsole::Impl::take_window_size() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) return false;
    const int w = info.srWindow.Right - info.srWindow.Left + 1;
    const int h = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (w == columns && h == rows) return false;
    columns = w;
    rows = h;
    SetConsoleScreenBufferSize(screen, coord(w, h));
    return true;
}

// Looks at the window's size when the console reported a change, and now and
// then anyway: not every console reports one.
bool WindowsConsole::Impl::window_changed() {
    const std::int64_t now = monotonic_ns();
    if (!size_event && now < next_size_check_ns) return false;
    size_event = false;
    next_size_check_ns = now + static_cast<std::int64_t>(size_check_ms) * 1'000'000;
    return take_window_size();
}

void WindowsConsole::Impl::blank_screen() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) return;
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    DWORD done = 0;
    FillConsoleOutputCharacterW(screen, L' ', cells, coord(0, 0), &done);
    FillConsoleOutputAttribute(screen, normal_look, cells, coord(0, 0), &done);
    for (auto& row : shown) row.clear();
    grid.mark_all_dirty();
}

void WindowsConsole::Impl::put_back() {
    if (stage != Stage::running) return;
    // Wine's console does not draw the player's screen again when it becomes
    // the active one; the game's is cleared, so that none of it stays behind.
    if (wine) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (GetConsoleScreenBufferInfo(screen, &info)) {
            DWORD done = 0;
            const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
            FillConsoleOutputCharacterW(screen, L' ', cells, coord(0, 0), &done);
            FillConsoleOutputAttribute(screen, normal_look, cells, coord(0, 0), &done);
        }
    }
    SetConsoleActiveScreenBuffer(output);
    CloseHandle(screen);
    screen = INVALID_HANDLE_VALUE;
    SetConsoleMode(input, input_mode_before);
    SetConsoleMode(output, output_mode_before);
    // Keys the game did not read (typed during the notice, say) are not left
    // for the shell to act on.
    FlushConsoleInputBuffer(input);
    SetConsoleCP(input_code_page_before);
    SetConsoleOutputCP(output_code_page_before);
    active_console = nullptr;
    stage = Stage::restored;
}

void WindowsConsole::Impl::stop() {
    if (stage != Stage::running) {
        stage = Stage::restored;
        return;
    }
    {
        std::lock_guard guard(console_lock);
        put_back();
    }
    SetConsoleCtrlHandler(on_control, FALSE);
    if (keep_screen) print_kept_screen();
}

// The rows that hold anything, as lines in the player's own screen.
void WindowsConsole::Impl::print_kept_screen() const {
    std::u16string lines[logical_rows];
    int first = -1;
    int last = -1;
    for (int row = 0; row < grid.height(); ++row) {
        for (const RowPiece& piece : console_pieces(grid, row, -1)) append_utf16(lines[row], piece.utf8);
        lines[row].erase(std::min(lines[row].size(), lines[row].find_last_not_of(u' ') + 1));
        if (lines[row].empty()) continue;
        if (first < 0) first = row;
        last = row;
    }
    if (first < 0) return;
    std::u16string out;
    for (int row = first; row <= last; ++row) {
        out += lines[row];
        out += u"\r\n";
    }
    write_text(output, out);
}

// ---------------------------------------------------------------------------
// Screen updates.

void WindowsConsole::Impl::flush(bool wait_for_room) {
    if (!start()) return;
    std::unique_lock guard(console_lock);
    if (stage != Stage::running) return;
    if (window_changed()) {
        showing_notice = false;
        blank_screen();
    }
    if (too_small()) {
        show_too_small();
        if (!wait_for_room) return;
        // Nothing to do until the window grows: wait without using the CPU.
        // Keys typed meanwhile are not meant for the game and are dropped.
        while (too_small()) {
            guard.unlock();
            WaitForSingleObject(input, size_check_ms);
            take_input(true);
            guard.lock();
            if (stage != Stage::running) return;
            if (take_window_size()) show_too_small();
        }
        showing_notice = false;
        blank_screen();
        pauses.restart();
    }
    paint();
}

void WindowsConsole::Impl::show_too_small() {
    if (showing_notice) return;
    blank_screen();
    showing_notice = true;
    char message[160];
    std::snprintf(message, sizeof message, "Please make the terminal at least %d x %d (now %d x %d).",
                  options.min_columns, options.min_rows, columns, rows);
    // Wrapped at blanks, so that a narrow window still reads whole words.
    std::vector<std::string> lines(1);
    std::string_view rest = message;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view word = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
        if (!lines.back().empty() && static_cast<int>(lines.back().size() + 1 + word.size()) > columns) {
            lines.emplace_back();
        }
        if (!lines.back().empty()) lines.back() += ' ';
        lines.back() += word;
    }
    SetConsoleTextAttribute(screen, normal_look);
    shown_look = normal_look;
    for (std::size_t row = 0; row < lines.size() && static_cast<int>(row) < rows; ++row) {
        SetConsoleCursorPosition(screen, coord(0, static_cast<int>(row)));
        std::u16string text;
        append_utf16(text, std::string_view(lines[row]).substr(0, static_cast<std::size_t>(columns)));
        write_text(screen, text);
    }
}

void WindowsConsole::Impl::paint() {
    const int visible_columns = std::min(grid.width(), columns);
    const int visible_rows = std::min(grid.height(), rows);
    for (int row = 0; row < visible_rows; ++row) {
        if (!grid.row_dirty(row)) continue;
        std::vector<RowPiece> pieces = console_pieces(grid, row, visible_columns);
        std::vector<RowPiece>& before = shown[static_cast<std::size_t>(row)];
        for (const ConsoleRun& run : console_runs(pieces, before, widths)) {
            SetConsoleCursorPosition(screen, coord(run.column, row));
            if (run.attribute != shown_look) {
                shown_look = run.attribute;
                SetConsoleTextAttribute(screen, shown_look);
            }
            write_text(screen, run.text);
        }
        before = std::move(pieces);
    }
    grid.clear_dirty();
}

// ---------------------------------------------------------------------------
// Keys.

// Reads every input record there is, without waiting.
void WindowsConsole::Impl::take_input(bool discard) {
    for (;;) {
        DWORD count = 0;
        if (!GetNumberOfConsoleInputEvents(input, &count)) input_closed();
        if (count == 0) return;
        INPUT_RECORD records[64];
        DWORD got = 0;
        if (!ReadConsoleInputW(input, records, std::min<DWORD>(count, 64), &got)) input_closed();
        for (DWORD i = 0; i < got; ++i) {
            if (records[i].EventType == WINDOW_BUFFER_SIZE_EVENT) size_event = true;
            if (records[i].EventType != KEY_EVENT) continue;
            const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
            if (!key.bKeyDown) continue;
            const KeyCodes codes = key_codes_for(key.wVirtualKeyCode, static_cast<char16_t>(key.uChar.UnicodeChar));
            if (discard) continue;
            const int repeats = std::clamp(static_cast<int>(key.wRepeatCount), 1, most_repeats);
            for (int r = 0; r < repeats; ++r) {
                for (int c = 0; c < codes.count; ++c) keys.push_back(codes.codes[c]);
            }
        }
    }
}

void WindowsConsole::Impl::input_closed() {
    stop();
    throw InputClosed("the console is gone");
}

// ---------------------------------------------------------------------------
// Pauses.

void WindowsConsole::Impl::wait_until(std::int64_t deadline_ns) {
    const std::int64_t left = deadline_ns - monotonic_ns();
    if (left <= 0) return;
    if (timer != nullptr) {
        LARGE_INTEGER due{};
        due.QuadPart = -std::max<std::int64_t>(left / 100, 1);  // relative, in units of 100 ns
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0) {
            return;
        }
    }
    Sleep(static_cast<DWORD>((left + 999'999) / 1'000'000));
}

// ---------------------------------------------------------------------------

WindowsConsole::WindowsConsole(Options options) : impl_(std::make_unique<Impl>()) {
    Impl& c = *impl_;
    c.options = options;
    c.wine = under_wine();
    c.input = GetStdHandle(STD_INPUT_HANDLE);
    c.output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (c.input == INVALID_HANDLE_VALUE || c.input == nullptr || !GetConsoleMode(c.input, &mode) ||
        c.output == INVALID_HANDLE_VALUE || c.output == nullptr || !GetConsoleMode(c.output, &mode)) {
        c.error = "standard input and output must be a console";
        return;
    }
    // The player's word on the symbols' width, as for the terminal.
    if (c.options.ambiguous == AmbiguousWidth::measure) {
        const char* value = std::getenv("RPG_AMBIGUOUS");
        const std::string_view setting = value != nullptr ? value : "";
        if (setting == "wide") {
            c.options.ambiguous = AmbiguousWidth::wide;
        } else if (setting == "narrow") {
            c.options.ambiguous = AmbiguousWidth::narrow;
        } else if (!setting.empty()) {
            c.error = std::string("RPG_AMBIGUOUS is \"") + value + "\"; it must be \"wide\" or \"narrow\"";
            return;
        }
    }
    // Pauses end at their deadline to the millisecond where the system can;
    // elsewhere its tick is shortened while the game runs.
    c.timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (c.timer == nullptr) {
        c.timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        c.coarse_timer = timeBeginPeriod(1) == TIMERR_NOERROR;
    }
}

WindowsConsole::~WindowsConsole() {
    impl_->stop();
    if (impl_->coarse_timer) timeEndPeriod(1);
    if (impl_->timer != nullptr) CloseHandle(impl_->timer);
}

const std::string& WindowsConsole::startup_error() const { return impl_->error; }

void WindowsConsole::keep_screen_on_exit(bool keep) { impl_->keep_screen = keep; }

void WindowsConsole::restore() { impl_->stop(); }

void WindowsConsole::set_cursor(int column, int row) { impl_->grid.set_cursor(column, row); }

void WindowsConsole::set_attribute(std::uint16_t attribute) { impl_->grid.set_attribute(attribute); }

void WindowsConsole::print(std::string_view sjis_text) {
    impl_->start();
    impl_->grid.write(sjis_text);
}

bool WindowsConsole::key_waiting() {
    Impl& c = *impl_;
    if (!c.start()) return false;
    if (c.keys.empty()) c.take_input(false);
    // A game that polls for keys without pausing still sees its screen.
    if (c.keys.empty()) c.flush(true);
    return !c.keys.empty();
}

int WindowsConsole::read_key() {
    Impl& c = *impl_;
    if (!c.start()) {
        throw InputClosed(c.error.empty() ? "the console was already restored" : c.error);
    }
    c.flush(true);
    bool waited = false;
    c.take_input(false);
    while (c.keys.empty()) {
        // Wakes for any input record, and now and then to look at the
        // window's size.
        if (WaitForSingleObject(c.input, size_check_ms) == WAIT_FAILED) c.input_closed();
        waited = true;
        c.take_input(false);
        if (c.keys.empty()) c.flush(true);
    }
    // Pauses after a wait for the player are measured from now.
    if (waited) c.pauses.restart();
    const int code = c.keys.front();
    c.keys.pop_front();
    return code;
}

void WindowsConsole::sleep_ms(int milliseconds) {
    Impl& c = *impl_;
    // A window too small for the game shows its notice but holds no pause up:
    // a timed notice must still end on time.
    if (c.stage != Impl::Stage::restored) c.flush(false);
    if (milliseconds <= 0) return;
    c.wait_until(c.pauses.next(monotonic_ns(), static_cast<std::int64_t>(milliseconds) * 1'000'000));
}

std::int64_t WindowsConsole::now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace rpg
