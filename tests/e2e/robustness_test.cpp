// The programs under the things that happen to a terminal program: signals,
// a stop and a continue, the terminal going away, no terminal at all, a
// window too small or resized, a locale that is not UTF-8, keys the game
// does not know, and long waits for the player.

#include <signal.h>
#include <sys/stat.h>

#include <memory>

#include "battle_session.h"

namespace rpg::test {
namespace {

enum class Program { battle, field };
enum class Moment {
    animation,  // the battle's start-up animation is still running
    waiting,    // the battle waits for a key at the command menu
    field,      // the field's main loop runs
};

std::string name_of(Moment m) {
    switch (m) {
        case Moment::animation: return "Animation";
        case Moment::waiting: return "Waiting";
        case Moment::field: return "Field";
    }
    return "";
}

// Starts the program of the moment and waits until that moment has come.
std::unique_ptr<PtySession> start_at(const Scenario& s, Moment moment) {
    auto game = std::make_unique<PtySession>(moment == Moment::field ? s.field() : s.battle());
    PtySession& g = *game;
    bool reached = false;
    switch (moment) {
        case Moment::animation:
            // The labels come one by one, then the HP bar grows: over a second of animation.
            reached = g.wait_until([&] { return has(g, 10, 1, "たたかう"); }, 30);
            break;
        case Moment::waiting: reached = wait_for_command_menu(g); break;
        case Moment::field: reached = g.wait_until_quiet([&] { return has(g, 46, 16, "●"); }, 30); break;
    }
    EXPECT_TRUE(reached) << g.dump();
    return game;
}

// The terminal is as the shell left it: echo and line editing on, the
// normal screen back and the cursor visible.
void expect_terminal_restored(const PtySession& g) {
    EXPECT_TRUE(g.echo_and_canonical()) << "echo or canonical mode is still off";
    EXPECT_FALSE(g.alternate_screen()) << g.dump();
    EXPECT_TRUE(g.cursor_visible());
}

// --- Signals that end the program -------------------------------------------

struct EndingSignal {
    int signo;
    Moment moment;
};

void PrintTo(const EndingSignal& c, std::ostream* os) {
    *os << sigabbrev_np(c.signo) << " during " << name_of(c.moment);
}

class EndedBySignal : public ::testing::TestWithParam<EndingSignal> {};

TEST_P(EndedBySignal, RestoresTheTerminalAndDiesOfThatSignal) {
    Scenario s;
    auto game = start_at(s, GetParam().moment);
    PtySession& g = *game;
    ASSERT_TRUE(g.alternate_screen());
    ASSERT_FALSE(g.echo_and_canonical()) << "the game runs with echo and line editing off";
    g.signal(GetParam().signo);
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << g.dump();
    EXPECT_TRUE(ending->killed_by(GetParam().signo)) << ending->describe();
    expect_terminal_restored(g);
}

std::vector<EndingSignal> ending_signals() {
    std::vector<EndingSignal> out;
    for (int signo : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        for (Moment m : {Moment::animation, Moment::waiting, Moment::field}) out.push_back({signo, m});
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedBySignal, ::testing::ValuesIn(ending_signals()),
                         [](const ::testing::TestParamInfo<EndingSignal>& test) {
                             return std::string(sigabbrev_np(test.param.signo)) + "During" + name_of(test.param.moment);
                         });

// --- Stop and continue ----------------------------------------------------

struct StopCase {
    Moment moment;
    bool from_keyboard;  // Ctrl+Z typed, or SIGTSTP sent
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << (c.from_keyboard ? "Ctrl+Z" : "SIGTSTP") << " during " << name_of(c.moment);
}

class StoppedAndContinued : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppedAndContinued, GivesTheTerminalBackWhileStoppedAndComesBackIntact) {
    Scenario s;
    auto game = start_at(s, GetParam().moment);
    PtySession& g = *game;
    if (GetParam().from_keyboard) {
        g.send("\x1a");
    } else {
        g.signal(SIGTSTP);
    }
    ASSERT_TRUE(g.wait_stopped()) << g.dump();
    g.settle(100);
    expect_terminal_restored(g);

    g.signal(SIGCONT);
    ASSERT_TRUE(g.wait_continued());
    if (GetParam().moment == Moment::field) {
        ASSERT_TRUE(g.wait_until_quiet([&] { return g.alternate_screen() && has(g, 46, 16, "●"); })) << g.dump();
        EXPECT_TRUE(shows(g, 8, 3, "兵"));
        g.left();
        EXPECT_TRUE(g.wait_until_quiet([&] { return has(g, 44, 16, "●"); })) << g.dump();
    } else {
        ASSERT_TRUE(g.wait_until([&] { return g.alternate_screen(); })) << g.dump();
        ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
        expect_start_screen(g);
        // The game goes on taking keys.
        g.down();
        EXPECT_TRUE(g.wait_until_quiet([&] { return has(g, 7, 3, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
    }
    EXPECT_FALSE(g.echo_and_canonical());
    EXPECT_TRUE(g.running());
}

INSTANTIATE_TEST_SUITE_P(JobControl, StoppedAndContinued,
                         ::testing::Values(StopCase{Moment::waiting, false}, StopCase{Moment::waiting, true},
                                           StopCase{Moment::animation, false}, StopCase{Moment::field, true}),
                         [](const ::testing::TestParamInfo<StopCase>& test) {
                             return std::string(test.param.from_keyboard ? "CtrlZ" : "Sigtstp") + "During" +
                                    name_of(test.param.moment);
                         });

// --- The terminal goes away -----------------------------------------------

void PrintTo(Moment m, std::ostream* os) { *os << name_of(m); }

class TerminalGone : public ::testing::TestWithParam<Moment> {};

TEST_P(TerminalGone, EndsWithoutSpinning) {
    Scenario s;
    auto game = start_at(s, GetParam());
    PtySession& g = *game;
    const double cpu_before = g.cpu_seconds();
    g.close_terminal();  // the window is closed: the game's input ends
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << "still running 10 s after the terminal went away, " << g.cpu_seconds() << " s of CPU used";
    EXPECT_TRUE(ending->exited() || ending->killed_by(SIGHUP)) << ending->describe();
    EXPECT_LT(ending->cpu_seconds() - cpu_before, 0.5) << ending->describe();
}

INSTANTIATE_TEST_SUITE_P(Hangup, TerminalGone, ::testing::Values(Moment::animation, Moment::waiting, Moment::field),
                         [](const ::testing::TestParamInfo<Moment>& test) { return "During" + name_of(test.param); });

// --- No terminal ----------------------------------------------------------

struct NoTerminalCase {
    const char* name;
    Program program;
    Stream input;
    Stream output;
};

void PrintTo(const NoTerminalCase& c, std::ostream* os) { *os << c.name; }

class NotATerminal : public ::testing::TestWithParam<NoTerminalCase> {};

TEST_P(NotATerminal, SaysSoAndFails) {
    Scenario s;
    Launch launch = GetParam().program == Program::battle ? s.battle() : s.field();
    launch.input = GetParam().input;
    launch.output = GetParam().output;
    launch.error_output = Stream::file;
    PtySession g(launch);
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << "waiting for a terminal that will never come";
    EXPECT_TRUE(ending->exited()) << ending->describe();
    EXPECT_NE(ending->exit_code(), 0);
    const std::string message = g.captured_error();
    EXPECT_NE(message.find("terminal"), std::string::npos) << "no clear message: \"" << message << "\"";
    if (GetParam().output == Stream::file) {
        EXPECT_EQ(g.captured_output().find('\x1b'), std::string::npos) << "escape sequences written to a file";
    }
    EXPECT_TRUE(g.echo_and_canonical());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, NotATerminal,
    ::testing::Values(NoTerminalCase{"BattleInputFromDevNull", Program::battle, Stream::null, Stream::terminal},
                      NoTerminalCase{"BattleInputFromAPipe", Program::battle, Stream::pipe, Stream::terminal},
                      NoTerminalCase{"BattleInputFromAFile", Program::battle, Stream::file, Stream::terminal},
                      NoTerminalCase{"BattleOutputToAFile", Program::battle, Stream::terminal, Stream::file},
                      NoTerminalCase{"FieldInputFromAPipe", Program::field, Stream::pipe, Stream::terminal},
                      NoTerminalCase{"FieldOutputToAFile", Program::field, Stream::terminal, Stream::file}),
    [](const ::testing::TestParamInfo<NoTerminalCase>& test) { return std::string(test.param.name); });

// --- Data files that are not files ----------------------------------------

struct NotAFileCase {
    const char* name;
    Program program;
    const char* file;
    bool fifo;  // else a link to /dev/zero
    const char* message;
};

void PrintTo(const NotAFileCase& c, std::ostream* os) { *os << c.name; }

class DataFileNotAFile : public ::testing::TestWithParam<NotAFileCase> {};

TEST_P(DataFileNotAFile, IsRefusedAtOnceByName) {
    const NotAFileCase& c = GetParam();
    Scenario s;
    s.remove(c.file);
    const std::filesystem::path file = s.path() / c.file;
    if (c.fifo) {
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    } else {
        std::filesystem::create_symlink("/dev/zero", file);
    }
    Launch launch = c.program == Program::battle ? s.battle() : s.field();
    launch.error_output = Stream::file;
    PtySession g(launch);
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << "the start is held by the " << (c.fifo ? "FIFO" : "device") << "\n" << g.dump();
    EXPECT_EQ(ending->exit_code(), 1) << ending->describe();
    EXPECT_EQ(g.captured_error(), std::string(c.message) + "\n");
    EXPECT_TRUE(g.echo_and_canonical());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DataFileNotAFile,
    ::testing::Values(NotAFileCase{"BattleHeroAsAFifo", Program::battle, "Hero_Status_Info.txt", true,
                                   "battle: Hero_Status_Info.txt: is a FIFO, not a regular file"},
                      NotAFileCase{"BattleSkillAsADevice", Program::battle, "Flame.txt", false,
                                   "battle: Flame.txt: is a device, not a regular file"},
                      NotAFileCase{"FieldMapAsADevice", Program::field, "test.txt", false,
                                   "field: the map file test.txt is a device, not a regular file"},
                      NotAFileCase{"FieldMapAsAFifo", Program::field, "test.txt", true,
                                   "field: the map file test.txt is a FIFO, not a regular file"}),
    [](const ::testing::TestParamInfo<NotAFileCase>& test) { return std::string(test.param.name); });

// --- Window size ----------------------------------------------------------

// The battle's part of the screen (80 x 19), cell by cell, as the eye sees
// it: the brightness of a blank cell does not show.
std::vector<Cell> battle_area(const PtySession& g) {
    std::vector<Cell> cells;
    for (int row = 0; row < 19; ++row) {
        for (int column = 0; column < 80; ++column) {
            Cell c = g.cell(column, row);
            if (c.text == " " || c.width == 0) c.bright = false;  // a blank, or the right half of a wide character
            cells.push_back(c);
        }
    }
    return cells;
}

// Where two screens differ, for failure messages.
std::string differences(const std::vector<Cell>& now, const std::vector<Cell>& before) {
    std::string out;
    for (std::size_t i = 0; i < now.size() && i < before.size(); ++i) {
        if (now[i] == before[i]) continue;
        out += "(" + std::to_string(i % 80) + ", " + std::to_string(i / 80) + "): \"" + before[i].text + "\"" +
               (before[i].bright ? " bright" : "") + " became \"" + now[i].text + "\"" +
               (now[i].bright ? " bright" : "") + "\n";
    }
    return out;
}

// The message that asks for a larger window, which may wrap at its edge.
bool asks_for_room(const PtySession& g, const char* columns, const char* rows) {
    std::string text;
    for (int row = 0; row < g.rows(); ++row) text += g.text(row);
    return text.find(columns) != std::string::npos && text.find(rows) != std::string::npos;
}

TEST(WindowSize, TooSmallAtStartSaysSoThenPlaysOnceLargeEnough) {
    Scenario s;
    Launch launch = s.battle();
    launch.columns = 60;
    launch.rows = 15;
    PtySession g(launch);
    ASSERT_TRUE(g.wait_until_quiet([&] { return asks_for_room(g, "80", "19"); })) << g.dump();
    EXPECT_TRUE(g.running());
    g.resize(80, 24);
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    expect_start_screen(g);
}

TEST(WindowSize, ResizeDuringPlayRedrawsTheScreenIntact) {
    Scenario s;
    PtySession g(s.battle());
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    g.down();  // something that is not the start-up state: the second frame highlighted
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 7, 3, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
    const std::vector<Cell> before = battle_area(g);

    g.resize(100, 30);
    ASSERT_TRUE(g.wait_until_quiet([&] { return battle_area(g) == before; }))
        << differences(battle_area(g), before) << g.dump();
    EXPECT_TRUE(blank(g, 80, 5, 20));

    g.resize(70, 18);  // too small: the game waits and says so
    ASSERT_TRUE(g.wait_until_quiet([&] { return asks_for_room(g, "80", "19"); })) << g.dump();
    g.down();  // keys typed meanwhile are not for the game
    g.settle(200);
    g.resize(80, 24);
    ASSERT_TRUE(g.wait_until_quiet([&] { return battle_area(g) == before; }))
        << differences(battle_area(g), before) << g.dump();

    // And the game goes on from where it was.
    g.down();
    EXPECT_TRUE(g.wait_until_quiet([&] { return has(g, 5, 6, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
    EXPECT_TRUE(shows(g, 7, 3, "＿＿＿＿＿＿", Look::normal));
}

TEST(WindowSize, FieldTooSmallWaitsForRoom) {
    Scenario s;
    Launch launch = s.field();
    launch.columns = 40;
    launch.rows = 24;
    PtySession g(launch);
    ASSERT_TRUE(g.wait_until_quiet([&] { return asks_for_room(g, "54", "19"); })) << g.dump();
    g.resize(80, 24);
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 46, 16, "●"); }, 30)) << g.dump();
    EXPECT_TRUE(shows(g, 0, 0, "■■■"));
}

// --- Locale ---------------------------------------------------------------

struct LocaleCase {
    const char* name;
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
};

void PrintTo(const LocaleCase& c, std::ostream* os) { *os << c.name; }

class NonUtf8Locale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(NonUtf8Locale, StillShowsTheTextsCorrectly) {
    Scenario s;
    Launch launch = s.battle();
    launch.environment = GetParam().environment;
    PtySession g(launch);
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    expect_start_screen(g);
}

INSTANTIATE_TEST_SUITE_P(Locales, NonUtf8Locale,
                         ::testing::Values(LocaleCase{"LangC", {{"LANG", "C"}, {"LC_ALL", std::nullopt}}},
                                           LocaleCase{"LcAllC", {{"LC_ALL", "C"}}},
                                           LocaleCase{"Nothing", {{"LANG", std::nullopt}, {"LC_ALL", std::nullopt}}},
                                           LocaleCase{
                                               "LcCtypePosix",
                                               {{"LANG", "C.UTF-8"}, {"LC_ALL", std::nullopt}, {"LC_CTYPE", "POSIX"}}}),
                         [](const ::testing::TestParamInfo<LocaleCase>& test) { return std::string(test.param.name); });

// --- Keys the game does not know ------------------------------------------

TEST(Keys, UnknownEscapeSequencesNeverActAsArrows) {
    Scenario s;
    PtySession g(s.battle());
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    const auto highlighted = [&](int entry) {
        const int x = 1 + 2 * (4 - entry) + 2, y = 3 * (entry - 1);
        return has(g, x, y, "＿＿＿＿＿＿", Look::bright);
    };

    // At the first entry: keys whose last byte is the code of down (P, 80),
    // right (M, 77) or Enter, and keys with modifiers.
    for (const char* key : {"\x1bOP", "\x1b[11~", "\x1b[1;5B", "\x1b[1;2B", "\x1b[1;5P", "\x1bOM", "\x1bM", "\x1bP",
                            "\x1b[1;3B", "\x1b[<0;10;5M", "\x1b[M !!"}) {
        g.send(key);
    }
    // However long a sequence runs, none of it is a key.
    std::string overlong = "\x1b[";
    for (int i = 0; i < 100; ++i) overlong += "1;";
    g.send(overlong + "P");
    g.settle(500);
    EXPECT_TRUE(highlighted(1)) << g.dump();
    EXPECT_FALSE(highlighted(2)) << g.dump();
    EXPECT_TRUE(blank(g, 25, 7, 25)) << "a command was started";

    g.down();
    ASSERT_TRUE(g.wait_until_quiet([&] { return highlighted(2); })) << g.dump();

    // At the second entry: keys ending in the code of up (H, 72) or left (K, 75).
    for (const char* key : {"\x1b[H", "\x1bOH", "\x1b[1;5A", "\x1b[1;5H", "\x1b[K", "\x1bH", "\x1b[1;2A"}) g.send(key);
    g.settle(500);
    EXPECT_TRUE(highlighted(2)) << g.dump();
    EXPECT_FALSE(highlighted(1)) << g.dump();

    // The arrows still work, in both forms a terminal sends them.
    g.send("\x1bOB");
    ASSERT_TRUE(g.wait_until_quiet([&] { return highlighted(3); })) << g.dump();
    g.send("\x1bOA");
    ASSERT_TRUE(g.wait_until_quiet([&] { return highlighted(2); })) << g.dump();
}

TEST(Keys, ALoneEscapeDoesNothingAndDelaysNothing) {
    Scenario s;
    PtySession g(s.battle());
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    const std::vector<Cell> before = g.snapshot();
    g.send("\x1b");
    g.settle(300);
    EXPECT_TRUE(g.snapshot() == before) << g.dump();
    EXPECT_TRUE(g.running());

    // A key right after it is acted on.
    g.down();
    EXPECT_TRUE(g.wait_until([&] { return has(g, 7, 3, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
}

// --- Waiting costs nothing ------------------------------------------------

class IdleWait : public ::testing::TestWithParam<Moment> {};

TEST_P(IdleWait, UsesAlmostNoCpu) {
    Scenario s;
    auto game = start_at(s, GetParam());
    PtySession& g = *game;
    const double cpu_before = g.cpu_seconds();
    const auto wall_before = PtySession::Clock::now();
    g.settle(3000);
    const double cpu = g.cpu_seconds() - cpu_before;
    const double wall = std::chrono::duration<double>(PtySession::Clock::now() - wall_before).count();
    EXPECT_LT(cpu, 0.1 * wall) << cpu << " s of CPU in " << wall << " s of waiting";
    EXPECT_TRUE(g.running());
}

INSTANTIATE_TEST_SUITE_P(Cpu, IdleWait, ::testing::Values(Moment::waiting, Moment::field),
                         [](const ::testing::TestParamInfo<Moment>& test) { return "During" + name_of(test.param); });

TEST(IdleWait, AtTheClosingPromptUsesAlmostNoCpu) {
    Scenario s;
    s.make_hero_unbeatable();
    PtySession g(s.battle());
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    for (int i = 0; i < 3; ++i) g.down();
    g.enter();  // run away
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); })) << g.dump();
    const double cpu_before = g.cpu_seconds();
    g.settle(3000);
    EXPECT_LT(g.cpu_seconds() - cpu_before, 0.3);
}

}  // namespace
}  // namespace rpg::test
