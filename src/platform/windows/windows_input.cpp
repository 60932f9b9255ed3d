// Keys, read as console input records, and pauses, waited out on a
// high-resolution timer where the system has one.

#include <algorithm>

#include "platform/windows/windows_console_internal.h"

namespace rpg {

using namespace console_cells;
using namespace windows_detail;

std::int64_t windows_detail::monotonic_ns() {
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

// ---------------------------------------------------------------------------
// Keys.

// Reads every input record there is, without waiting.
void WindowsConsole::Impl::take_input(Keys keys_read) {
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
            if (keys_read == Keys::drop) continue;
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

}  // namespace rpg
