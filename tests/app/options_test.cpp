// The command line and the choice of the data folder.

#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/data_folder.h"

namespace rpg {
namespace {

// What a command line gave, in a few words; or its error message.
std::string summary(const ParsedOptions& parsed) {
    if (!parsed.error.empty()) return "error: " + parsed.error;
    const ProgramOptions& o = parsed.options;
    std::string words;
    if (o.help) words += " help";
    if (o.version) words += " version";
    if (o.data_folder) words += " data=" + o.data_folder->string();
    if (o.seed) words += " seed=" + std::to_string(*o.seed);
    if (o.ambiguous == AmbiguousWidth::wide) words += " wide";
    if (o.ambiguous == AmbiguousWidth::narrow) words += " narrow";
    if (o.record) words += " record=" + o.record->string();
    if (o.force) words += " force";
    if (o.replay) words += " replay=" + o.replay->string();
    if (o.speed) words += " speed=" + std::to_string(*o.speed);
    if (o.screen_reader) words += " reader";
    return words.empty() ? "" : words.substr(1);
}

TEST(Options, EachOptionBadValuesUnknownOptionsAndStrayArguments) {
    const struct {
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {{}, ""},
        {{"-h"}, "help"},
        {{"--help", "--version"}, "help version"},
        {{"-d", "some/dir"}, "data=some/dir"},
        {{"--seed", "0"}, "seed=0"},
        {{"--seed=4294967295"}, "seed=4294967295"},
        {{"--ambiguous=wide"}, "wide"},
        {{"--seed", "7", "-dx", "--ambiguous", "narrow"}, "data=x seed=7 narrow"},
        {{"--seed", "3", "--"}, "seed=3"},
        {{"--seed", "4294967296"}, "error: invalid seed '4294967296': a whole number from 0 to 4294967295"},
        {{"--seed", "-1"}, "error: invalid seed '-1': a whole number from 0 to 4294967295"},
        {{"--seed", "12x"}, "error: invalid seed '12x': a whole number from 0 to 4294967295"},
        {{"--seed"}, "error: option --seed needs a value"},
        {{"-d"}, "error: option -d needs a value"},
        {{"--data="}, "error: --data needs a folder"},
        {{"--ambiguous", "measure"}, "error: invalid width 'measure' for --ambiguous: wide or narrow"},
        {{"--colour=red"}, "error: unknown option --colour"},
        {{"-hx"}, "error: unknown option -x"},
        {{"--version=2"}, "error: option --version takes no value"},
        {{"-h", "battle.txt"}, "error: unexpected argument 'battle.txt'"},
        {{"--", "--help"}, "error: unexpected argument '--help'"},
        {{"--record", "r.txt", "--force", "--seed=7"}, "seed=7 record=r.txt force"},
        {{"--replay=r.txt", "--speed", "max"}, "replay=r.txt speed=0"},
        {{"--replay", "r.txt", "--speed=1000"}, "replay=r.txt speed=1000"},
        {{"--replay", "r.txt", "--speed", "0"},
         "error: invalid speed '0' for --speed: a whole number from 1 to 1000, or max"},
        {{"--replay", "r.txt", "--speed", "2.5"},
         "error: invalid speed '2.5' for --speed: a whole number from 1 to 1000, or max"},
        {{"--record="}, "error: --record needs a file"},
        {{"--record", "a", "--replay", "b"}, "error: --record and --replay cannot be given together"},
        {{"--replay", "b", "--seed", "1"}, "error: --seed cannot be given with --replay: the recording has its seed"},
        {{"--force"}, "error: --force goes with --record or --cast"},
        {{"--speed", "2"}, "error: --speed goes with --replay"},
        {{"--screen-reader", "--seed=1"}, "seed=1 reader"},
        {{"--screen-reader", "--replay", "r.txt"}, "replay=r.txt reader"},
        {{"--screen-reader", "-h", "--screen-reader"}, "error: option --screen-reader given twice"},
        {{"--screen-reader=yes"}, "error: option --screen-reader takes no value"},
        {{"--screen-reader="}, "error: option --screen-reader takes no value"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& word : c.arguments) line += " " + word;
        EXPECT_EQ(summary(parse_options(c.arguments)), c.expected) << "arguments:" << line;
    }
}

TEST(DataFolder, GivenThenCurrentThenInstalledThenCurrent) {
    test::DataFolder current, installed, given, empty;
    current.write(data_marker_file, "x");
    installed.write(data_marker_file, "x");
    const struct {
        const char* name;
        std::optional<std::filesystem::path> given;
        std::filesystem::path current, installed, expected;
    } cases[] = {
        {"--data, even over data here", given.path(), current.path(), installed.path(), given.path()},
        {"the current folder with data", std::nullopt, current.path(), installed.path(), current.path()},
        {"else the installed data", std::nullopt, empty.path(), installed.path(), installed.path()},
        {"else here, for the notice", std::nullopt, empty.path(), empty.path(), empty.path()},
        {"no installed folder known", std::nullopt, empty.path(), {}, empty.path()},
    };
    for (const auto& c : cases) EXPECT_EQ(choose_data_folder(c.given, c.current, c.installed), c.expected) << c.name;
}

}  // namespace
}  // namespace rpg
