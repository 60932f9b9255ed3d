// Recordings on a real terminal. A battle and a walk on the field are played
// with keys at uneven moments (some while a message is typed or the
// experience counted, some once the screen is still) and recorded; the
// replay at full speed shows every screen the run showed between keys, in
// the same order, and ends as the run did. A recording cut short replays to
// its cut and says so; a broken one is refused before the terminal is touched.

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

#include "battle_session.h"

namespace rpg::test {
namespace {

using Screen = std::vector<Cell>;

Launch with(Launch launch, std::vector<std::string> arguments) {
    launch.arguments = std::move(arguments);
    // No measuring: the recording and the replay see the same width.
    launch.environment.emplace_back("RPG_AMBIGUOUS", "narrow");
    return launch;
}

// Waits until the screen is still and keeps it.
void keep_still_screen(PtySession& g, std::vector<Screen>& screens) {
    ASSERT_TRUE(g.wait_until_quiet([] { return true; })) << g.dump();
    screens.push_back(g.snapshot());
}

// Replays a recording at full speed and looks through everything it wrote,
// as the terminal showed it write by write, for the screens in order.
// Returns how many of them came, and the replay's ending and its last line.
struct Replayed {
    std::size_t screens_found = 0;
    int status = -1;
    std::string output;
};

// The game's 19 rows: a replay shows where it stands on the row under them.
bool same_game_rows(const Screen& a, const Screen& b, int columns) {
    const auto cells = static_cast<std::ptrdiff_t>(19 * columns);
    return a.size() == b.size() && std::equal(a.begin(), a.begin() + cells, b.begin());
}

Replayed replay(const Launch& program, const std::string& file, const std::vector<Screen>& screens) {
    Launch launch = with(program, {"--replay", file, "--speed", "max"});
    launch.screen_follows_output = false;
    PtySession g(launch);
    Replayed r;
    const std::optional<Ending> ending = g.wait_exit(60);
    if (!ending) return r;
    r.status = ending->exit_code();
    r.output = g.output();
    // A frame's last byte comes before the next frame's first escape: look there.
    std::size_t fed = 0;
    for (std::size_t at = r.output.find('\x1b', 1); r.screens_found < screens.size();
         at = r.output.find('\x1b', at + 1)) {
        const std::size_t upto = at == std::string::npos ? r.output.size() : at;
        g.feed_screen(upto - fed);
        fed = upto;
        while (r.screens_found < screens.size() &&
               same_game_rows(g.snapshot(), screens[r.screens_found], g.columns())) {
            ++r.screens_found;
        }
        if (at == std::string::npos) break;
    }
    return r;
}

// The keys of a run: Enter, each followed by a pause of this many
// milliseconds, or (-1) by a wait until the screen is still.
constexpr int uneven[] = {-1, 0, 40, -1, 150, 15, -1, 70, -1, 5, 300};

TEST(Recordings, ABattleReplaysScreenForScreenAndACutRecordingToItsCut) {
    Scenario scenario;
    scenario.make_hero_unbeatable();  // a short battle, with blows, messages and an experience count
    std::vector<Screen> screens;
    std::vector<int> keys_before;  // how many keys were sent before each screen
    int status = -1;
    {
        PtySession g(with(scenario.battle(), {"--seed", "7", "--record", "rec.txt"}));
        ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
        screens.push_back(g.snapshot());
        keys_before.push_back(0);
        int sent = 0;
        for (; sent < 80 && !has(g, 27, 13, closing_prompt); ++sent) {
            g.enter();
            const int pause = uneven[static_cast<std::size_t>(sent) % std::size(uneven)];
            if (pause >= 0) {
                g.settle(pause);
                continue;
            }
            keep_still_screen(g, screens);
            keys_before.push_back(sent + 1);
        }
        ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); })) << g.dump();
        screens.push_back(g.snapshot());
        keys_before.push_back(sent);
        g.send("x");
        const std::optional<Ending> ending = g.wait_exit();
        ASSERT_TRUE(ending) << g.dump();
        status = ending->exit_code();
    }
    EXPECT_EQ(status, 0);
    ASSERT_GE(screens.size(), 5u);

    const Replayed whole = replay(scenario.battle(), "rec.txt", screens);
    EXPECT_EQ(whole.screens_found, screens.size());
    EXPECT_EQ(whole.status, status);
    EXPECT_NE(whole.output.find("battle: rec.txt: the replay reached the recorded ending"), std::string::npos)
        << whole.output.substr(whole.output.size() - std::min<std::size_t>(whole.output.size(), 300));

    // Cut after the fourth key: the screens shown before it come again.
    const std::string text = scenario.read("rec.txt");
    std::size_t cut = 0;
    for (int key = 0; key < 5; ++key) cut = text.find("\nkey ", cut + 1);
    scenario.write("cut.txt", text.substr(0, cut + 1));
    std::vector<Screen> before_cut;
    for (std::size_t i = 0; i < screens.size() && keys_before[i] <= 4; ++i) before_cut.push_back(screens[i]);
    const Replayed part = replay(scenario.battle(), "cut.txt", before_cut);
    EXPECT_EQ(part.screens_found, before_cut.size());
    EXPECT_EQ(part.status, 0);
    EXPECT_NE(part.output.find("the replay reached the end of the recording, which was cut short (4 of 4 keys"),
              std::string::npos);
}

TEST(Recordings, AFieldWalkEndedByCtrlCReplaysScreenForScreen) {
    Scenario scenario;
    std::vector<Screen> screens;
    {
        PtySession g(with(scenario.field(), {"--seed", "3", "--record", "rec.txt"}));
        const int x = std::stoi(scenario.text_value(hero_file, hero::map_x));
        const int y = std::stoi(scenario.text_value(hero_file, hero::map_y));
        ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, x, y, "●"); }, 30)) << g.dump();
        screens.push_back(g.snapshot());
        const char* steps[] = {"\x1b[D", "\x1b[D", "\x1b[A", "\x1b[A", "\x1b[C", "\x1b[D", "\x1b[B", "\x1b[D"};
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            g.send(steps[i]);
            const int pause = uneven[i % std::size(uneven)];
            if (pause >= 0) {
                g.settle(pause);
            } else {
                keep_still_screen(g, screens);
            }
        }
        keep_still_screen(g, screens);
        g.settle(1200);  // the run goes on a while after the last key
        g.signal(SIGINT);
        const std::optional<Ending> ending = g.wait_exit();
        ASSERT_TRUE(ending) << g.dump();
        EXPECT_TRUE(ending->killed_by(SIGINT)) << ending->describe();
    }
    const std::string text = scenario.read("rec.txt");
    EXPECT_NE(text.find("\nend 130 "), std::string::npos) << "Ctrl+C still writes the ending";

    const Replayed r = replay(scenario.field(), "rec.txt", screens);
    EXPECT_EQ(r.screens_found, screens.size());
    EXPECT_EQ(r.status, 130);
    EXPECT_NE(r.output.find("field: rec.txt: the replay reached the recorded ending"), std::string::npos) << r.output;
}

TEST(Recordings, ABrokenRecordingOrAnExistingFileIsRefusedInOneLineWithTheTerminalUntouched) {
    Scenario scenario;
    scenario.write("junk.txt", std::string("rpg-recording 1\nprogram battle\nseed 7\n\x7f\x00\x01", 41));
    scenario.write("exists.txt", "mine");
    ASSERT_EQ(mkfifo((scenario.path() / "fifo").c_str(), 0600), 0);
    const struct {
        std::vector<std::string> arguments;
        const char* line;
    } cases[] = {
        {{"--replay", "junk.txt"}, "battle: junk.txt:4: not text (a byte 127)\r\n"},
        {{"--replay", "fifo"}, "battle: fifo: not a regular file\r\n"},
        {{"--record", "exists.txt"}, "battle: exists.txt: already exists (give --force to replace it)\r\n"},
    };
    for (const auto& c : cases) {
        PtySession g(with(scenario.battle(), c.arguments));
        const std::optional<Ending> ending = g.wait_exit(10);
        ASSERT_TRUE(ending) << c.line;
        EXPECT_EQ(ending->exit_code(), 1) << c.line;
        EXPECT_EQ(g.output(), c.line);
        EXPECT_TRUE(g.echo_and_canonical());
    }
    EXPECT_EQ(scenario.read("exists.txt"), "mine");
}

}  // namespace
}  // namespace rpg::test
