// Keys, read as console input records, and pauses, waited out on a
// high-resolution timer where the system has one.

#include <algorithm>
#include <ctime>

#include "platform/clock.h"
#include "platform/windows/windows_console_internal.h"

namespace rpg {

using namespace console_cells;
using namespace windows_detail;

// ---------------------------------------------------------------------------
// Keys.

// Every input record there is, without waiting. The console gives keys, not
// bytes: each is handed on as the game's code (224 and 72 for the up arrow,
// 13 for Enter, ...), which the key decoder passes through unchanged.
ConsoleHost::Input WindowsHost::read_available() {
    std::string codes;
    for (;;) {
        DWORD count = 0;
        if (!GetNumberOfConsoleInputEvents(input_, &count)) return Input::gone("the console is gone");
        if (count == 0) return Input::of(std::move(codes));
        INPUT_RECORD records[64];
        DWORD got = 0;
        if (!ReadConsoleInputW(input_, records, std::min<DWORD>(count, 64), &got)) {
            return Input::gone("the console is gone");
        }
        for (DWORD i = 0; i < got; ++i) {
            if (records[i].EventType == WINDOW_BUFFER_SIZE_EVENT) size_event_ = true;
            if (records[i].EventType != KEY_EVENT) continue;
            const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
            if (!key.bKeyDown) continue;
            const KeyCodes keys = key_codes_for(key.wVirtualKeyCode, static_cast<char16_t>(key.uChar.UnicodeChar));
            const int repeats = std::clamp(static_cast<int>(key.wRepeatCount), 1, most_repeats);
            for (int r = 0; r < repeats; ++r) {
                for (int c = 0; c < keys.count; ++c) codes += static_cast<char>(keys.codes[c]);
            }
        }
    }
}

// Wakes for any input record, and at least every size_check_ms to look at the
// window's size: every wake may bring news.
ConsoleHost::Wake WindowsHost::wait_input(int timeout_ms) {
    const DWORD wait = timeout_ms < 0 ? size_check_ms : static_cast<DWORD>(std::min<int>(timeout_ms, size_check_ms));
    if (WaitForSingleObject(input_, wait) == WAIT_FAILED) return Wake::gone("the console is gone");
    return Wake::with_news();
}

// ---------------------------------------------------------------------------
// Time and pauses.

std::int64_t WindowsHost::monotonic_ns() { return rpg::monotonic_ns(); }

std::int64_t WindowsHost::now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool WindowsHost::sleep_until(std::int64_t deadline_ns) {
    const std::int64_t left = deadline_ns - monotonic_ns();
    if (left <= 0) return true;
    if (timer_ != nullptr) {
        LARGE_INTEGER due{};
        due.QuadPart = -std::max<std::int64_t>(left / 100, 1);  // relative, in units of 100 ns
        if (SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(timer_, INFINITE) == WAIT_OBJECT_0) {
            return true;
        }
    }
    Sleep(static_cast<DWORD>((left + 999'999) / 1'000'000));
    return true;
}

}  // namespace rpg
