// The Windows console: taking it over and putting it back.
//
// The console is taken over at the first output or key read: a screen buffer
// of the game's own (the player's screen comes back untouched at the end),
// code page 932, keys one at a time without echo, the cursor hidden (shown
// when a screen reader follows it, which reads where it rests). A
// control handler puts everything back when the game is ended with Ctrl+C,
// Ctrl+Break or by closing the window.

#include "platform/windows/windows_console.h"

#include <windows.h>

#include <memory>

#include "platform/signal_note.h"
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

WindowsHost* active_console = nullptr;

// The signal a POSIX shell would name for each event, for the program's last
// note (a recording's ending: 128 + the number): Ctrl+C an interrupt,
// Ctrl+Break the C runtime's SIGBREAK, a closed window a hang-up.
int signal_of(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: return 2;
        case CTRL_BREAK_EVENT: return 21;
        default: return 1;
    }
}

// Runs on a thread of its own, while the game's goes on: the console is put
// back under the lock the drawing takes, then the note is left.
BOOL WINAPI on_control(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT: {
            {
                std::lock_guard guard(console_lock);
                if (active_console != nullptr) active_console->put_back();
            }
            leave_signal_note(signal_of(event));
            ExitProcess(STATUS_CONTROL_C_EXIT);
        }
        default: return FALSE;
    }
}

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

}  // namespace

WindowsHost::WindowsHost()
    : wine_(under_wine()), input_(GetStdHandle(STD_INPUT_HANDLE)), output_(GetStdHandle(STD_OUTPUT_HANDLE)) {}

WindowsHost::~WindowsHost() {
    release();
    if (coarse_timer_) timeEndPeriod(1);
    if (timer_ != nullptr) CloseHandle(timer_);
}

std::string WindowsHost::problem() {
    if (!is_console(input_) || !is_console(output_)) return "standard input and output must be a console";
    // Pauses end at their deadline to the millisecond where the system can;
    // elsewhere its tick is shortened while the game runs.
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (timer_ == nullptr) {
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        coarse_timer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    }
    return {};
}

std::string WindowsHost::start(AmbiguousWidth ambiguous) {
    std::lock_guard guard(console_lock);
    screen_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (screen_ == INVALID_HANDLE_VALUE) return "the console could not be set up";
    input_code_page_before_ = GetConsoleCP();
    output_code_page_before_ = GetConsoleOutputCP();
    GetConsoleMode(input_, &input_mode_before_);
    GetConsoleMode(output_, &output_mode_before_);
    active_console = this;
    running_ = true;
    SetConsoleCtrlHandler(on_control, TRUE);

    SetConsoleOutputCP(932);
    SetConsoleCP(932);
    // Keys one at a time without echo; Ctrl+C still reaches the control
    // handler; changes of size arrive as events; no mouse, no selection.
    SetConsoleMode(input_, ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS);
    // No wrapping at the right edge: writing the bottom-right cell must not
    // scroll the screen.
    SetConsoleMode(screen_, ENABLE_PROCESSED_OUTPUT);
    SetConsoleTextAttribute(screen_, normal_look);
    CONSOLE_CURSOR_INFO cursor{};
    if (GetConsoleCursorInfo(screen_, &cursor)) {
        cursor.bVisible = follow_cursor_ ? TRUE : FALSE;
        SetConsoleCursorInfo(screen_, &cursor);
    }
    // Measured before the buffer is shown, so that the test characters never
    // appear.
    measure_widths(ambiguous);

    // The game's buffer is exactly the window, so that nothing scrolls it away.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(output_, &info)) {
        const SHORT w = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
        const SHORT h = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
        SetConsoleScreenBufferSize(screen_, COORD{w, h});
        const SMALL_RECT window{0, 0, static_cast<SHORT>(w - 1), static_cast<SHORT>(h - 1)};
        SetConsoleWindowInfo(screen_, TRUE, &window);
    }
    SetConsoleActiveScreenBuffer(screen_);
    take_window_size();
    blank_screen();
    return {};
}

void WindowsHost::measure_widths(AmbiguousWidth ambiguous) {
    auto cells_of = [this](const wchar_t* character) {
        if (!SetConsoleCursorPosition(screen_, coord(0, 0))) return 0;
        DWORD written = 0;
        if (!WriteConsoleW(screen_, character, 1, &written, nullptr)) return 0;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!GetConsoleScreenBufferInfo(screen_, &info)) return 0;
        return measured_cells(0, 0, info.dwCursorPosition.X, info.dwCursorPosition.Y, info.dwSize.X);
    };
    const int kanji = cells_of(L"\u5175");   // 兵
    const int symbol = cells_of(L"\u25CF");  // ●
    widths_ = decide_cell_widths(kanji, symbol, wine_, ambiguous);
}

void WindowsHost::put_back() {
    if (!running_) return;
    // Wine's console does not draw the player's screen again when it becomes
    // the active one; the game's is cleared, so that none of it stays behind.
    if (wine_) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (GetConsoleScreenBufferInfo(screen_, &info)) {
            DWORD done = 0;
            const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
            FillConsoleOutputCharacterW(screen_, L' ', cells, coord(0, 0), &done);
            FillConsoleOutputAttribute(screen_, normal_look, cells, coord(0, 0), &done);
        }
    }
    SetConsoleActiveScreenBuffer(output_);
    CloseHandle(screen_);
    screen_ = INVALID_HANDLE_VALUE;
    SetConsoleMode(input_, input_mode_before_);
    SetConsoleMode(output_, output_mode_before_);
    // Keys the game did not read (typed during the notice, say) are not left
    // for the shell to act on.
    FlushConsoleInputBuffer(input_);
    SetConsoleCP(input_code_page_before_);
    SetConsoleOutputCP(output_code_page_before_);
    active_console = nullptr;
    running_ = false;
}

void WindowsHost::release() {
    {
        std::lock_guard guard(console_lock);
        if (!running_) return;
        put_back();
    }
    SetConsoleCtrlHandler(on_control, FALSE);
}

WindowsConsole::WindowsConsole(Options options) : ConsoleSession(std::make_unique<WindowsHost>(), options) {}

}  // namespace rpg
