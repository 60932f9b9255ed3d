#pragma once
// The one monotonic clock of the consoles that run on a system (the page has
// its own, performance.now(), reached through its host).

#include <chrono>
#include <cstdint>

namespace rpg {

// Nanoseconds on the system's monotonic clock (CLOCK_MONOTONIC on Linux, the
// performance counter on Windows).
inline std::int64_t monotonic_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace rpg
