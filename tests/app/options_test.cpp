// The command line and the choice of the data folder.

#include "app/options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "data/test_folder.h"

namespace rpg {
namespace {

struct OptionCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* error;  // a part of the message; nullptr when the line is good
    bool help = false;
    bool version = false;
    std::optional<std::string> data{};
    std::optional<std::uint32_t> seed{};
    AmbiguousChoice ambiguous = AmbiguousChoice::measure;
};

const OptionCase option_cases[] = {
    {"nothing", {}, nullptr},
    {"short help", {"-h"}, nullptr, true},
    {"long help", {"--help"}, nullptr, true},
    {"version", {"--version"}, nullptr, false, true},
    {"short data", {"-d", "some/dir"}, nullptr, false, false, "some/dir"},
    {"long data with =", {"--data=other"}, nullptr, false, false, "other"},
    {"short data joined", {"-dthere"}, nullptr, false, false, "there"},
    {"seed 0", {"--seed", "0"}, nullptr, false, false, std::nullopt, 0u},
    {"largest seed", {"--seed=4294967295"}, nullptr, false, false, std::nullopt, 4294967295u},
    {"everything at once",
     {"--seed", "7", "-d", "x", "--ambiguous", "narrow"},
     nullptr,
     false,
     false,
     "x",
     7u,
     AmbiguousChoice::narrow},
    {"wide", {"--ambiguous=wide"}, nullptr, false, false, std::nullopt, std::nullopt, AmbiguousChoice::wide},
    {"options end at --", {"--seed", "3", "--"}, nullptr, false, false, std::nullopt, 3u},
    {"seed too large", {"--seed", "4294967296"}, "invalid seed '4294967296'"},
    {"negative seed", {"--seed", "-1"}, "invalid seed '-1'"},
    {"seed with trailing letters", {"--seed", "12x"}, "invalid seed '12x'"},
    {"empty seed", {"--seed="}, "invalid seed ''"},
    {"seed without value", {"--seed"}, "option --seed needs a value"},
    {"data without value", {"-d"}, "option -d needs a value"},
    {"empty data", {"--data="}, "--data needs a folder"},
    {"unknown width", {"--ambiguous", "measure"}, "invalid width 'measure'"},
    {"unknown long option", {"--colour"}, "unknown option --colour"},
    {"unknown long option with value", {"--colour=red"}, "unknown option --colour"},
    {"unknown short option", {"-x"}, "unknown option -x"},
    {"unknown short option in a cluster", {"-hx"}, "unknown option -x"},
    {"value to a flag", {"--version=2"}, "option --version takes no value"},
    {"stray argument", {"battle.txt"}, "unexpected argument 'battle.txt'"},
    {"stray argument after options", {"-h", "more"}, "unexpected argument 'more'"},
    {"stray argument after --", {"--", "--help"}, "unexpected argument '--help'"},
};

class OptionTable : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionTable, Parses) {
    const OptionCase& c = GetParam();
    const ParsedOptions parsed = parse_options(c.arguments);
    if (c.error) {
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line";
        return;
    }
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.help, c.help);
    EXPECT_EQ(parsed.options.version, c.version);
    EXPECT_EQ(parsed.options.data_folder, c.data ? std::optional<std::filesystem::path>(*c.data) : std::nullopt);
    EXPECT_EQ(parsed.options.seed, c.seed);
    EXPECT_EQ(parsed.options.ambiguous, c.ambiguous);
}

INSTANTIATE_TEST_SUITE_P(, OptionTable, ::testing::ValuesIn(option_cases), [](const auto& param_info) {
    std::string name = param_info.param.name;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
});

TEST(ProgramName, WrittenOnce) {
    EXPECT_EQ(with_program_name("battle", "no terminal"), "battle: no terminal");
    EXPECT_EQ(with_program_name("battle", "battle: no terminal"), "battle: no terminal");
    EXPECT_EQ(with_program_name("field", "battle: x"), "field: battle: x");
}

// Which folder the data is read from, in each of the four cases.
TEST(DataFolder, GivenThenCurrentThenInstalledThenCurrent) {
    test::TempFolder current, installed, given, empty;
    current.write(data_marker_file, "x");
    installed.write(data_marker_file, "x");

    struct Case {
        const char* name;
        std::optional<std::filesystem::path> given;
        std::filesystem::path current, installed, expected;
    } cases[] = {
        {"--data wins even over a current folder with data", given.path(), current.path(), installed.path(),
         given.path()},
        {"the current folder when it holds the data", std::nullopt, current.path(), installed.path(), current.path()},
        {"else the installed data", std::nullopt, empty.path(), installed.path(), installed.path()},
        {"else the current folder, for the notice", std::nullopt, empty.path(), empty.path(), empty.path()},
        {"no installed folder known", std::nullopt, empty.path(), {}, empty.path()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_data_folder(c.given, c.current, c.installed), c.expected) << c.name;
    }
}

TEST(DataFolder, InstalledDataIsBesideTheProgramsFolder) {
    const std::filesystem::path installed = installed_data_folder(nullptr);
    ASSERT_FALSE(installed.empty());
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(installed, (program.parent_path().parent_path() / "share" / "pawn-battle").lexically_normal());
}

}  // namespace
}  // namespace rpg
