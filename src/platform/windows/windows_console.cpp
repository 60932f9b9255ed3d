// The Windows console: taking it over, putting it back, the public calls.
//
// The console is taken over at the first output or key read: a screen buffer
// of the game's own (the player's screen comes back untouched at the end),
// code page 932, keys one at a time without echo, the cursor hidden. A
// control handler puts everything back when the game is ended with Ctrl+C,
// Ctrl+Break or by closing the window.

#include "platform/windows/windows_console.h"

#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "platform/windows/windows_console_internal.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace rpg {

using namespace console_cells;
using namespace windows_detail;

namespace windows_detail {
std::mutex console_lock;
}  // namespace windows_detail

namespace {

bool under_wine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

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
    widths = decide_cell_widths(kanji, symbol, wine, options.ambiguous);
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
    c.error = take_ambiguous_setting(c.options);
    if (!c.error.empty()) return;
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

ConsoleFacts WindowsConsole::facts() {
    Impl& c = *impl_;
    if (!c.start()) return ConsoleFacts{};
    const AmbiguousWidth ambiguous = c.widths.symbol_drawn == 2 ? AmbiguousWidth::wide : AmbiguousWidth::narrow;
    return ConsoleFacts{ambiguous, c.columns, c.rows};
}

void WindowsConsole::set_cursor(int column, int row) { impl_->grid.set_cursor(column, row); }

void WindowsConsole::set_attribute(std::uint16_t attribute) { impl_->grid.set_attribute(attribute); }

void WindowsConsole::print(std::string_view sjis_text) {
    impl_->start();
    impl_->grid.write(sjis_text);
}

bool WindowsConsole::key_waiting() {
    Impl& c = *impl_;
    if (!c.start()) return false;
    if (c.keys.empty()) c.take_input(Impl::Keys::keep);
    // A game that polls for keys without pausing still sees its screen.
    if (c.keys.empty()) c.flush(Impl::IfTooSmall::wait_for_room);
    return !c.keys.empty();
}

int WindowsConsole::read_key() {
    Impl& c = *impl_;
    if (!c.start()) {
        throw InputClosed(c.error.empty() ? "the console was already restored" : c.error);
    }
    c.flush(Impl::IfTooSmall::wait_for_room);
    bool waited = false;
    c.take_input(Impl::Keys::keep);
    while (c.keys.empty()) {
        // Wakes for any input record, and now and then to look at the
        // window's size.
        if (WaitForSingleObject(c.input, size_check_ms) == WAIT_FAILED) c.input_closed();
        waited = true;
        c.take_input(Impl::Keys::keep);
        if (c.keys.empty()) c.flush(Impl::IfTooSmall::wait_for_room);
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
    if (c.stage != Impl::Stage::restored) c.flush(Impl::IfTooSmall::go_on);
    if (milliseconds <= 0) return;
    c.wait_until(c.pauses.next(monotonic_ns(), static_cast<std::int64_t>(milliseconds) * 1'000'000));
}

std::int64_t WindowsConsole::now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace rpg
