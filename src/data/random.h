#pragma once
// The game's random generator: one per program, seeded once at start.

#include <cstdint>

namespace rpg {

struct Random {
    std::uint32_t state = 0;
};

inline void seed_random(Random& random, std::uint32_t seed) { random.state = seed; }

// Advances the state and yields an integer from 0 to 32767.
inline int draw(Random& random) {
    random.state = random.state * 214013u + 2531011u;
    return static_cast<int>((random.state >> 16) & 32767u);
}

// The seed for a program start: the low 32 bits of the current time.
inline std::uint32_t seed_from_time(std::int64_t seconds) { return static_cast<std::uint32_t>(seconds); }

}  // namespace rpg
