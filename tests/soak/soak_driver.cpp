// Drives the real programs on a pseudo-terminal for the soak run and the
// peak-memory checks of tests/soak/soak.sh.
//
//   soak_driver memory LIMIT_MB
//       field on a map with 64 MB after its 1026 bytes, field on a map linked
//       to /dev/zero, battle with 32 MB of tokens after the hero's values:
//       each program's peak resident memory must stay under LIMIT_MB.
//   soak_driver soak SECONDS [SEED]
//       battle, then field, each for SECONDS: random keys and terminal bytes,
//       window resizes, stops and continues. A battle that ends by itself is
//       started again. Each program must end with status 0 or by the signal
//       sent to end it, with the terminal restored, and its memory must stay
//       flat while it runs.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/pty_session.h"
#include "support/scenario.h"

namespace {

using GameProcess = rpg::test::PtySession;
using rpg::test::Scenario;
using Clock = std::chrono::steady_clock;

int failures = 0;

void fail(const std::string& what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    ++failures;
}

bool shows(const GameProcess& g, const char* utf8) { return g.screen_text().find(utf8) != std::string::npos; }

// Resident memory of a running process, in kB (0 once it is gone).
long resident_kb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

void check_restored(const GameProcess& g, const std::string& who) {
    if (!g.echo_and_canonical()) fail(who + ": echo or canonical mode left off");
    if (g.alternate_screen()) fail(who + ": the alternate screen left on");
    if (!g.cursor_visible()) fail(who + ": the cursor left hidden");
}

// --- Peak memory with big and endless data files ---------------------------

struct MemoryCase {
    const char* label;
    bool field;
    void (*prepare)(Scenario&);
    const char* shown;  // what the program shows once it has loaded; null: it ends by itself
};

std::string junk_tokens(std::size_t bytes) {
    std::string out;
    out.reserve(bytes);
    while (out.size() < bytes) out += "1234567 ";
    return out;
}

int run_memory(long limit_mb) {
    const std::vector<MemoryCase> cases = {
        {"field, 64 MB after the map", true,
         [](Scenario& s) { s.write(rpg::test::map_file, s.read(rpg::test::map_file) + std::string(64u << 20, '#')); },
         "●"},
        {"field, the map linked to /dev/zero", true,
         [](Scenario& s) {
             s.remove(rpg::test::map_file);
             std::filesystem::create_symlink("/dev/zero", s.path() / rpg::test::map_file);
         },
         nullptr},
        {"battle, 32 MB of tokens after the hero's values", false,
         [](Scenario& s) {
             s.write(rpg::test::hero_file, s.read(rpg::test::hero_file) + "\n" + junk_tokens(32u << 20));
         },
         "たたかう"},
    };
    for (const auto& c : cases) {
        Scenario s;
        c.prepare(s);
        GameProcess g(c.field ? s.field() : s.battle());
        if (c.shown != nullptr) {
            if (!g.wait_until_quiet([&] { return shows(g, c.shown); }, 30))
                fail(std::string(c.label) + ": never shown\n" + g.dump());
            g.signal(SIGTERM);
        }
        const auto ending = g.wait_exit(20);
        if (!ending) {
            fail(std::string(c.label) + ": did not end");
            continue;
        }
        const long peak_kb = ending->usage.ru_maxrss;
        std::printf("%-50s peak %6.1f MB, %s\n", c.label, static_cast<double>(peak_kb) / 1024.0,
                    ending->describe().c_str());
        if (peak_kb >= limit_mb * 1024)
            fail(std::string(c.label) + ": peak memory over " + std::to_string(limit_mb) + " MB");
    }
    return failures == 0 ? 0 : 1;
}

// --- The soak run ------------------------------------------------------------

const char* const key_bytes[] = {
    "\x1b[A", "\x1b[B", "\x1b[C", "\x1b[D", "\r", " ",  "\x1bOA", "\x1bOB", "\x1b[1;5C", "\x1bOP",
    "\x1b",   "H",      "P",      "K",      "M",  "\n", "q",      "\x7f",   "\x1b[M !!", "\x1b[200~x\x1b[201~",
};

struct Samples {
    std::vector<std::pair<double, long>> rss;  // (seconds since start, kB)
};

// Memory is flat when the peak of the last third of a run is no more than a
// little above the peak of the middle third; the first third is start-up
// (and, under AddressSanitizer, the filling of its quarantine).
void check_flat(const Samples& s, const std::string& who) {
    if (s.rss.empty() || s.rss.back().first < 20) return;  // too short to tell
    const double third = s.rss.back().first / 3;
    long middle = 0;
    long last = 0;
    for (const auto& [t, kb] : s.rss) {
        if (t < third) continue;
        long& peak = t < 2 * third ? middle : last;
        peak = std::max(peak, kb);
    }
    std::printf("  %s: resident %.1f MB in the middle third, %.1f MB in the last\n", who.c_str(),
                static_cast<double>(middle) / 1024.0, static_cast<double>(last) / 1024.0);
    if (last > middle + 4096) fail(who + ": memory grows while it runs");
}

// One program for `seconds`, restarted whenever it ends by itself.
void soak(bool field, double seconds, std::mt19937& random) {
    const std::string name = field ? "field" : "battle";
    Scenario s;
    const auto end_at = Clock::now() + std::chrono::duration<double>(seconds);
    int runs = 0;
    long keys = 0;
    int resizes = 0;
    int stops = 0;
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    while (Clock::now() < end_at) {
        ++runs;
        const std::string who = name + " run " + std::to_string(runs);
        GameProcess g(field ? s.field() : s.battle());
        const auto started = Clock::now();
        Samples samples;
        auto last_sample = started - std::chrono::seconds(1);
        bool small = false;
        while (g.running() && Clock::now() < end_at) {
            const int roll = pick(100);
            if (roll < 3) {
                // A window too small for the game, or back to a good size.
                small = !small && pick(3) == 0;
                g.resize(small ? 40 + pick(39) : 80 + pick(60), small ? 10 + pick(9) : 19 + pick(30));
                ++resizes;
            } else if (roll < 5) {
                // Ctrl+Z from the keyboard, or a stop from outside; then continue.
                if (pick(2) == 0) {
                    g.send("\x1a");
                } else {
                    g.signal(SIGSTOP);
                }
                if (g.wait_stopped(5)) {
                    g.settle(50 + pick(200));
                    g.signal(SIGCONT);
                    // A battle may end the moment it continues: then the end
                    // is reported rather than the continue.
                    if (!g.wait_continued(5) && g.running()) fail(who + ": did not continue");
                } else if (g.running()) {
                    fail(who + ": did not stop");
                }
                ++stops;
            } else {
                // Mostly the keys the game acts on (the first six), now and
                // then anything else a terminal may send.
                const int choice = pick(10) < 8 ? pick(6) : pick(static_cast<int>(std::size(key_bytes)));
                g.send(key_bytes[choice]);
                ++keys;
            }
            g.pump(5 + pick(40));
            if (Clock::now() - last_sample >= std::chrono::seconds(1)) {
                last_sample = Clock::now();
                const long kb = resident_kb(g.pid());
                if (kb > 0) samples.rss.emplace_back(std::chrono::duration<double>(last_sample - started).count(), kb);
            }
        }
        if (g.running()) {
            if (small) g.resize(80, 24);
            g.signal(SIGTERM);
        }
        const auto ending = g.wait_exit(20);
        if (!ending) {
            fail(who + ": did not end\n" + g.dump());
            continue;
        }
        const bool ended_well = (ending->exited() && ending->exit_code() == 0) || ending->killed_by(SIGTERM);
        if (!ended_well) fail(who + ": ended " + ending->describe() + "\n" + g.dump());
        check_restored(g, who);
        check_flat(samples, who);
    }
    std::printf("%s: %d runs, %ld keys, %d resizes, %d stops and continues\n", name.c_str(), runs, keys, resizes,
                stops);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "memory" && argc == 3) return run_memory(std::atol(argv[2]));
        if (mode == "soak" && argc >= 3) {
            const double seconds = std::atof(argv[2]);
            std::mt19937 random(argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1u);
            soak(false, seconds, random);
            soak(true, seconds, random);
            return failures == 0 ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FAIL: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: %s memory LIMIT_MB | soak SECONDS [SEED]\n", argv[0]);
    return 2;
}
