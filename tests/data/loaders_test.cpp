#include "data/loaders.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "support/data_folder.h"
#include "support/read_count.h"

namespace rpg {
using test::assets_folder;
namespace {

using TempFolder = test::DataFolder;

// The 22 tokens of a good hero file.
std::vector<std::string> hero_tokens() {
    return {sjis("勇者"), "60", "12", "8", "5", "6", "10", "100", "0", "1", "0",
            "0",          "0",  "0",  "0", "3", "0", "2",  "0",   "2", "4", "1"};
}

std::string join(const std::vector<std::string>& tokens, const std::string& separator = " ") {
    std::string out;
    for (std::size_t i = 0; i < tokens.size(); ++i) out += (i ? separator : "") + tokens[i];
    return out;
}

void expect_default_hero(const HeroStatus& hero) {
    EXPECT_EQ(text_of(hero.name), sjis("勇者"));
    EXPECT_EQ(hero.max_hp, 60);
    EXPECT_EQ(hero.attack, 12);
    EXPECT_EQ(hero.defense, 8);
    EXPECT_EQ(hero.magic_attack, 5);
    EXPECT_EQ(hero.magic_defense, 6);
    EXPECT_EQ(hero.speed, 10);
    EXPECT_EQ(hero.next_exp, 100u);
    EXPECT_EQ(hero.exp, 0u);
    EXPECT_EQ(hero.level, 1);
    EXPECT_EQ(hero.items[item_potion].count, 3);
    EXPECT_EQ(hero.items[item_protein].count, 2);
    EXPECT_EQ(hero.items[item_buckler].count, 2);
    EXPECT_EQ(hero.map_x, 4);
    EXPECT_EQ(hero.map_y, 1);
}

struct LayoutCase {
    const char* label;
    std::string content;
};

TEST(LoadHero, TokenLayoutsCarryNoMeaning) {
    const auto tokens = hero_tokens();
    std::string ragged;  // one to three tokens per line, with blank lines
    for (std::size_t i = 0; i < tokens.size(); ++i) ragged += tokens[i] + (i % 3 == 2 ? "\n\n" : " \t ");
    const std::vector<LayoutCase> cases = {
        {"one line", join(tokens)},
        {"one per line", join(tokens, "\n") + "\n"},
        {"blank lines", "\n\n" + join(tokens, "\n\n\n") + "\n\n"},
        {"CR LF", join(tokens, "\r\n") + "\r\n"},
        {"CR LF with blank lines", "\r\n" + join(tokens, "\r\n\r\n") + "\r\n"},
        {"tabs and form feeds", join(tokens, "\t\v\f")},
        {"ragged", ragged},
        {"no final line break", join(tokens, "\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        folder.write("Hero_Status_Info.txt", c.content);
        HeroStatus hero;
        std::string error;
        ASSERT_EQ(load_hero(hero, folder.path(), error), LoadResult::ok) << error;
        expect_default_hero(hero);
    }
}

// Loads a hero file of the sample tokens with one token replaced.
LoadResult load_hero_with(std::size_t token, const std::string& value, HeroStatus& hero, std::string& error) {
    auto tokens = hero_tokens();
    tokens[token] = value;
    TempFolder folder;
    folder.write("Hero_Status_Info.txt", join(tokens));
    return load_hero(hero, folder.path(), error);
}

struct WidthCase {
    std::size_t token;  // index into hero_tokens()
    std::string value;
    std::uint64_t expected;
};

std::uint64_t hero_field(const HeroStatus& hero, std::size_t token) {
    switch (token) {
        case 2: return hero.attack;
        case 4: return hero.magic_attack;
        case 7: return hero.next_exp;
        case 8: return hero.exp;
        case 9: return hero.level;
        case 10: return hero.reserved1;
        case 15: return hero.items[item_potion].count;
        default: ADD_FAILURE() << "no such test field " << token; return 0;
    }
}

TEST(LoadHero, NumbersAreStoredAtTheFieldWidth) {
    const std::vector<WidthCase> cases = {
        {2, "65537", 1},
        {2, "-1", 65535},
        {2, "+12", 12},
        {2, "0012", 12},
        {4, "65536", 0},
        {4, "-65535", 1},
        {9, "131074", 2},
        {10, "99999999999999999999", 65535},  // 10^20 - 1, whose low 16 bits are all set
        {15, "-2", 65534},
        {8, "70000", 70000},
        {8, "4294967297", 1},
        {8, "-1", 4294967295u},
        {7, "4000000000", 4000000000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("token " + std::to_string(c.token) + " = " + c.value);
        HeroStatus hero;
        std::string error;
        ASSERT_EQ(load_hero_with(c.token, c.value, hero, error), LoadResult::ok) << error;
        EXPECT_EQ(hero_field(hero, c.token), c.expected);
    }
}

// A hero record whose every field holds a marker value, to see which fields a
// read reached.
HeroStatus marked_hero() {
    HeroStatus hero;
    hero.name = {'o', 'l', 'd'};
    hero.max_hp = 901;
    hero.attack = 902;
    hero.defense = 903;
    hero.magic_attack = 904;
    hero.magic_defense = 905;
    hero.speed = 906;
    hero.next_exp = 907;
    hero.exp = 908;
    hero.level = 909;
    hero.items[item_buckler].count = 910;
    hero.map_x = 11;
    hero.map_y = 12;
    return hero;
}

TEST(LoadHero, ShortFileLeavesTheRemainingFields) {
    auto tokens = hero_tokens();
    tokens.resize(5);  // name, max_hp, attack, defense, magic_attack
    TempFolder folder;
    folder.write("Hero_Status_Info.txt", join(tokens, "\n") + "\n");
    HeroStatus hero = marked_hero();
    std::string error;
    ASSERT_EQ(load_hero(hero, folder.path(), error), LoadResult::ok) << error;
    EXPECT_EQ(text_of(hero.name), sjis("勇者"));
    EXPECT_EQ(hero.max_hp, 60);
    EXPECT_EQ(hero.magic_attack, 5);
    EXPECT_EQ(hero.magic_defense, 905);
    EXPECT_EQ(hero.speed, 906);
    EXPECT_EQ(hero.exp, 908u);
    EXPECT_EQ(hero.items[item_buckler].count, 910);
    EXPECT_EQ(hero.map_x, 11);
}

TEST(LoadHero, EmptyFileLeavesEverything) {
    TempFolder folder;
    folder.write("Hero_Status_Info.txt", "\r\n \n");
    HeroStatus hero = marked_hero();
    std::string error;
    ASSERT_EQ(load_hero(hero, folder.path(), error), LoadResult::ok) << error;
    EXPECT_EQ(text_of(hero.name), "old");
    EXPECT_EQ(hero.max_hp, 901);
    EXPECT_EQ(hero.map_y, 12);
}

TEST(LoadHero, TokensAfterTheLastFieldAreIgnored) {
    TempFolder folder;
    folder.write("Hero_Status_Info.txt", join(hero_tokens()) + "\n7 8 junk 99999\n");
    HeroStatus hero;
    std::string error;
    ASSERT_EQ(load_hero(hero, folder.path(), error), LoadResult::ok) << error;
    expect_default_hero(hero);
}

TEST(LoadHero, ATokenThatIsNotANumberStopsTheRead) {
    struct Case {
        std::string attack_token;
        int attack;  // what attack holds afterwards
    };
    // A number read takes the sign and digits at the front of a token; what
    // follows is left for the next value, which then fails to match.
    const std::vector<Case> cases = {{"abc", 902}, {"-", 902}, {"+-3", 902}, {"x12", 902}, {"12abc", 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attack_token);
        HeroStatus hero = marked_hero();
        std::string error;
        ASSERT_EQ(load_hero_with(2, c.attack_token, hero, error), LoadResult::ok) << error;
        EXPECT_EQ(hero.max_hp, 60);
        EXPECT_EQ(hero.attack, c.attack);
        EXPECT_EQ(hero.defense, 903);
        EXPECT_EQ(hero.level, 909);
        EXPECT_EQ(hero.map_y, 12);
    }
}

struct RefusalCase {
    std::size_t token;
    std::string value;
    std::string message;  // empty: accepted
};

TEST(LoadHero, RefusesANameTooLongForItsField) {
    const std::string f = "Hero_Status_Info.txt: ";
    const std::vector<RefusalCase> cases = {
        {0, "ABCDEFGHIJKLMNO", ""},
        {0, "ABCDEFGHIJKLMNOP", f + "name must be at most 15 bytes (found 16 bytes: \"ABCDEFGHIJKLMNOP\")"},
        {0, sjis("勇者勇者勇者勇者"), f + "name must be at most 15 bytes (found 16 bytes: \"勇者勇者勇者勇者\")"},
        {0, std::string(40, 'a'),
         f + "name must be at most 15 bytes (found 40 bytes: \"" + std::string(40, 'a') + "\")"},
        {0, std::string(1 << 20, 'b'),
         f + "name must be at most 15 bytes (found more than 40 bytes, starting \"" + std::string(40, 'b') + "\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8_from_sjis(c.value.substr(0, 40)));
        HeroStatus hero;
        std::string error;
        LoadResult result = load_hero_with(c.token, c.value, hero, error);
        EXPECT_EQ(result, c.message.empty() ? LoadResult::ok : LoadResult::invalid) << error;
        EXPECT_EQ(error, c.message);
    }
}

TEST(LoadHero, MissingFileIsReported) {
    TempFolder folder;
    HeroStatus hero;
    std::string error;
    EXPECT_EQ(load_hero(hero, folder.path(), error), LoadResult::missing);
    EXPECT_NE(error.find("Hero_Status_Info.txt"), std::string::npos);
}

// The 12 tokens of a good enemy file.
std::vector<std::string> enemy_tokens() {
    return {sjis("歩兵"), "1", sjis("歩"), "0", "1", "40", "9", "5", "3", "4", "8", "0"};
}

TEST(LoadEnemyKind, ReadsEveryField) {
    TempFolder folder;
    folder.write("Pawn_Status_Info.txt", join(enemy_tokens(), "\r\n") + "\r\n");
    EnemyStatus enemy;
    std::string error;
    ASSERT_EQ(load_enemy_kind(enemy, folder.path() / "Pawn_Status_Info.txt", error), LoadResult::ok) << error;
    EXPECT_EQ(text_of(enemy.name), sjis("歩兵"));
    EXPECT_EQ(enemy.kind, 1);
    EXPECT_EQ(text_of(enemy.glyph), sjis("歩"));
    EXPECT_EQ(enemy.target, 1);
    EXPECT_EQ(enemy.max_hp, 40);
    EXPECT_EQ(enemy.attack, 9);
    EXPECT_EQ(enemy.defense, 5);
    EXPECT_EQ(enemy.magic_attack, 3);
    EXPECT_EQ(enemy.magic_defense, 4);
    EXPECT_EQ(enemy.speed, 8);
    EXPECT_EQ(enemy.skill, 0);
    for (i16 hp : enemy.hp) EXPECT_EQ(hp, 0);  // a single kind's pool is filled by load_enemies
}

TEST(LoadEnemyKind, RefusesANameOrGlyphTooLongForItsField) {
    const std::string f = "Knight_Status_Info.txt: ";
    const std::vector<RefusalCase> cases = {
        {0, "ABCDEFGHIJKLMNOPQRS", ""},
        {0, "ABCDEFGHIJKLMNOPQRST", f + "name must be at most 19 bytes (found 20 bytes: \"ABCDEFGHIJKLMNOPQRST\")"},
        {2, "abc", ""},
        {2, "abcd", f + "glyph must be at most 3 bytes (found 4 bytes: \"abcd\")"},
        {2, sjis("歩兵"), f + "glyph must be at most 3 bytes (found 4 bytes: \"歩兵\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("token " + std::to_string(c.token) + " = " + utf8_from_sjis(c.value));
        auto tokens = enemy_tokens();
        tokens[c.token] = c.value;
        TempFolder folder;
        folder.write("Knight_Status_Info.txt", join(tokens));
        EnemyStatus enemy;
        std::string error;
        LoadResult result = load_enemy_kind(enemy, folder.path() / "Knight_Status_Info.txt", error);
        EXPECT_EQ(result, c.message.empty() ? LoadResult::ok : LoadResult::invalid) << error;
        EXPECT_EQ(error, c.message);
    }
}

TEST(LoadSkill, ReadsAndRefusesAnOverlongName) {
    TempFolder folder;
    folder.write("Flame.txt", sjis("火炎") + "\n0\n3\n2\nextra\n");
    folder.write("HellFlame.txt", sjis("地獄の業火ファイア") + " 0 5 2");   // 18 bytes
    folder.write("SwordCut.txt", sjis("地獄の業火ファイアー") + " 0 5 2");  // 20 bytes
    SkillStatus skill;
    std::string error;
    ASSERT_EQ(load_skill(skill, folder.path() / "Flame.txt", error), LoadResult::ok) << error;
    EXPECT_EQ(text_of(skill.name), sjis("火炎"));
    EXPECT_EQ(skill.power, 3);
    EXPECT_EQ(skill.accuracy, 2);
    EXPECT_EQ(load_skill(skill, folder.path() / "HellFlame.txt", error), LoadResult::ok) << error;
    EXPECT_EQ(load_skill(skill, folder.path() / "SwordCut.txt", error), LoadResult::invalid);
    EXPECT_EQ(error, "SwordCut.txt: name must be at most 19 bytes (found 20 bytes: \"地獄の業火ファイアー\")");
}

const char* const kind_files[] = {"Pawn_Status_Info.txt", "Knight_Status_Info.txt", "Bishop_Status_Info.txt",
                                  "Rook_Status_Info.txt", "Queen_Status_Info.txt",  "King_Status_Info.txt"};
const char* const skill_files[] = {"SwordCut.txt", "Flame.txt", "BigRevolveSword.txt", "HellFlame.txt",
                                   "AbsoluteObedience.txt"};

// Writes a full set of data files; kind k has max_hp 40 + k and name "kind<k>".
void write_game_data(TempFolder& folder) {
    folder.write("Hero_Status_Info.txt", join(hero_tokens()));
    for (int k = 0; k < 6; ++k) {
        auto tokens = enemy_tokens();
        tokens[0] = "kind" + std::to_string(k);
        tokens[1] = std::to_string(k + 1);
        tokens[5] = std::to_string(40 + k);
        folder.write(kind_files[k], join(tokens));
    }
    for (int s = 0; s < 5; ++s)
        folder.write(skill_files[s], "skill" + std::to_string(s) + " 0 " + std::to_string(s + 1) + " 2");
}

TEST(LoadEnemies, FillsThePoolsOfTheKindsThatCanBeFought) {
    TempFolder folder;
    write_game_data(folder);
    GameRecords records;
    std::string error;
    ASSERT_EQ(load_game_data(records, folder.path(), error), LoadResult::ok) << error;
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        const EnemyStatus& enemy = records.enemies[static_cast<std::size_t>(k)];
        EXPECT_EQ(text_of(enemy.name), "kind" + std::to_string(k));
        EXPECT_EQ(enemy.max_hp, 40 + k);
        for (i16 hp : enemy.hp) EXPECT_EQ(hp, k <= kind_rook ? 40 + k : 0);
    }
    for (int s = 0; s < 5; ++s) EXPECT_EQ(records.skills[static_cast<std::size_t>(s)].power, s + 1);
}

TEST(LoadEnemies, StopsAtTheFirstRefusedKind) {
    TempFolder folder;
    write_game_data(folder);
    auto tokens = enemy_tokens();
    tokens[2] = "abcd";
    folder.write("Bishop_Status_Info.txt", join(tokens));
    GameRecords records;
    std::string error;
    EXPECT_EQ(load_enemies(records, folder.path(), error), LoadResult::invalid);
    EXPECT_EQ(error, "Bishop_Status_Info.txt: glyph must be at most 3 bytes (found 4 bytes: \"abcd\")");
    EXPECT_EQ(text_of(records.enemies[kind_knight].name), "kind1");
    EXPECT_EQ(text_of(records.enemies[kind_rook].name), "");
}

// One value of a full set of data files changed, then loaded for a program.
struct CheckCase {
    const char* file;
    std::size_t token;  // index into the file's tokens
    std::string value;  // empty: the file ends before this token
    DataUser user;
    std::string message;  // empty: accepted
};

TEST(DataChecks, EachProgramRefusesOnlyWhatItReads) {
    constexpr DataUser battle = DataUser::battle;
    constexpr DataUser field = DataUser::field;
    const char* hero = "Hero_Status_Info.txt";
    const char* pawn = "Pawn_Status_Info.txt";
    const std::string h = std::string(hero) + ": ";
    const std::string p = std::string(pawn) + ": ";
    const std::vector<CheckCase> cases = {
        // The hero in battle: hit points are signed, both defences divide.
        {hero, 1, "32767", battle, ""},
        {hero, 1, "32768", battle, h + "max_hp must be at most 32767 (found 32768)"},
        {hero, 1, "32768", field, ""},
        {hero, 3, "0", battle, h + "defense must be at least 1 (found 0)"},
        {hero, 3, "0", field, ""},
        {hero, 3, "", battle, h + "defense must be at least 1 (found 0)"},  // a file of three values
        {hero, 3, "", field, ""},
        {hero, 5, "0", battle, h + "magic_defense must be at least 1 (found 0)"},
        {hero, 5, "0", field, ""},
        // Every speed plays; the evade and escape rolls guard their divisors.
        {hero, 6, "32768", battle, ""},
        {hero, 6, "-1", battle, ""},
        // The map position only in the field.
        {hero, 20, "53", battle, ""},
        {hero, 20, "52", field, ""},
        {hero, 20, "53", field, h + "map_x must be at most 52 (found 53)"},
        {hero, 21, "19", battle, ""},
        {hero, 21, "19", field, h + "map_y must be at most 18 (found 19)"},
        // The pawn fights: its defences divide, its skill is looked up.
        {pawn, 7, "0", battle, p + "defense must be at least 1 (found 0)"},
        {pawn, 7, "0", field, ""},
        {pawn, 9, "0", battle, p + "magic_defense must be at least 1 (found 0)"},
        {pawn, 10, "40000", battle, ""},
        {pawn, 11, "4", battle, ""},
        {pawn, 11, "5", battle, p + "skill must be 0 to 4 (found 5)"},
        {pawn, 11, "-1", battle, p + "skill must be 0 to 4 (found 65535)"},
        {pawn, 11, "5", field, ""},
        // The kinds that never fight are kept as read.
        {"Knight_Status_Info.txt", 7, "0", battle, ""},
        {"King_Status_Info.txt", 11, "9", battle, ""},
        {"King_Status_Info.txt", 10, "40000", battle, ""},
        {"King_Status_Info.txt", 3, "", battle, ""},
        // A string that cannot be stored is refused for any kind, by both.
        {"Queen_Status_Info.txt", 2, "abcd", field,
         "Queen_Status_Info.txt: glyph must be at most 3 bytes (found 4 bytes: \"abcd\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " token " + std::to_string(c.token) + " = \"" + c.value + "\" for the " +
                     (c.user == battle ? "battle" : "field"));
        TempFolder folder;
        write_game_data(folder);
        auto tokens = c.file == std::string(hero) ? hero_tokens() : enemy_tokens();
        if (c.value.empty()) {
            tokens.resize(c.token);
        } else {
            tokens[c.token] = c.value;
        }
        folder.write(c.file, join(tokens));
        GameRecords records;
        std::string error;
        EXPECT_EQ(load_game_data(records, folder.path(), error, c.user),
                  c.message.empty() ? LoadResult::ok : LoadResult::invalid);
        EXPECT_EQ(error, c.message);
    }
}

TEST(MissingFile, KingMissingReadsHeroAndFiveKindsButNoSkill) {
    TempFolder folder;
    write_game_data(folder);
    folder.remove("King_Status_Info.txt");
    GameRecords records;
    std::string error;
    EXPECT_EQ(load_game_data(records, folder.path(), error), LoadResult::missing);
    EXPECT_EQ(text_of(records.hero.name), sjis("勇者"));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(text_of(records.enemies[static_cast<std::size_t>(k)].name), "kind" + std::to_string(k));
    EXPECT_EQ(text_of(records.enemies[kind_king].name), "");
    for (const SkillStatus& skill : records.skills) {
        EXPECT_EQ(text_of(skill.name), "");
        EXPECT_EQ(skill.power, 0);
    }
}

TEST(ReadTextFile, DropsOnlyACarriageReturnBeforeALineFeedAndStopsAtTheLimit) {
    struct Case {
        std::string raw;
        std::size_t limit;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\r\n", 100, "a\nb\n"},
        {"a\rb", 100, "a\rb"},
        {"a\r\r\nb", 100, "a\r\nb"},
        {"end\r", 100, "end\r"},
        {"\n\r\n\n", 100, "\n\n\n"},
        {std::string("x\0\r\ny", 5), 100, std::string("x\0\ny", 4)},
        {"", 100, ""},
        {"abcdef", 3, "abc"},
        {"ab\r\ncd", 3, "ab\n"},  // the pair is one byte of the limit
        {"ab\rcd", 3, "ab\r"},
        {"abc", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        TempFolder folder;
        folder.write("f.txt", c.raw);
        auto read = read_text_file(folder.path() / "f.txt", c.limit);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, c.text);
    }
}

#ifndef _WIN32
using test::bytes_read_so_far;

TEST(BoundedReads, NothingAfterTheLastValueIsRead) {
    // 8 MB of tokens after the last field; the read stops well before them.
    std::string junk;
    for (int i = 0; i < (1 << 20); ++i) junk += "1234567 ";
    struct Case {
        const char* file;
        std::string content;
    };
    const std::vector<Case> cases = {
        {"Hero_Status_Info.txt", join(hero_tokens()) + "\n" + junk},
        {"Pawn_Status_Info.txt", join(enemy_tokens()) + "\n" + junk},
        {"King_Status_Info.txt", join(enemy_tokens()) + "\n" + junk},
        {"Flame.txt", "fire 0 3 2\n" + junk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder folder;
        write_game_data(folder);
        folder.write(c.file, c.content);
        GameRecords records;
        std::string error;
        const std::uint64_t before = bytes_read_so_far();
        ASSERT_EQ(load_game_data(records, folder.path(), error), LoadResult::ok) << error;
        EXPECT_LT(bytes_read_so_far() - before, 256u * 1024u);
        EXPECT_EQ(records.hero.map_y, 1);
    }
}

TEST(BoundedReads, AFileThatIsNotARegularFileIsRefusedByName) {
    // Refused at once, without waiting for a writer or reading a device, and
    // said for what it is; a read that fails is not a missing file either.
    struct Case {
        const char* label;
        void (*make)(const std::filesystem::path& file);
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"a folder", [](const std::filesystem::path& f) { std::filesystem::create_directory(f); },
         "is a folder, not a regular file"},
        {"a FIFO nobody writes", [](const std::filesystem::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
         "is a FIFO, not a regular file"},
        {"a link to an endless device",
         [](const std::filesystem::path& f) { std::filesystem::create_symlink("/dev/zero", f); },
         "is a device, not a regular file"},
        {"a link to the null device",
         [](const std::filesystem::path& f) { std::filesystem::create_symlink("/dev/null", f); },
         "is a device, not a regular file"},
        {"a file whose read fails",
         [](const std::filesystem::path& f) { std::filesystem::create_symlink("/proc/self/mem", f); },
         "cannot be read (Input/output error)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        for (const char* name : {"Hero_Status_Info.txt", "Rook_Status_Info.txt", "AbsoluteObedience.txt"}) {
            SCOPED_TRACE(name);
            TempFolder folder;
            write_game_data(folder);
            folder.remove(name);
            c.make(folder.path() / name);
            GameRecords records;
            std::string error;
            EXPECT_EQ(load_game_data(records, folder.path(), error), LoadResult::invalid);
            EXPECT_EQ(error, std::string(name) + ": " + c.problem);
        }
        TempFolder folder;
        c.make(folder.path() / "test.txt");
        std::string problem;
        EXPECT_FALSE(read_text_file(folder.path() / "test.txt", 1026, &problem).has_value());
        EXPECT_EQ(problem, c.problem);
    }
    // Only a file that cannot be opened is missing.
    TempFolder folder;
    std::string problem = "unchanged";
    EXPECT_FALSE(read_text_file(folder.path() / "test.txt", 1026, &problem).has_value());
    EXPECT_EQ(problem, "");
}

#endif  // the process's read count, FIFOs and devices are Linux's

TEST(BundledData, LoadsAndFitsTheGame) {
    const std::string assets = assets_folder();
    GameRecords records;
    std::string error;
    ASSERT_EQ(load_game_data(records, assets, error), LoadResult::ok) << error;
    const HeroStatus& hero = records.hero;
    EXPECT_GE(hero.level, 1);
    EXPECT_LE(hero.level, 5);
    EXPECT_EQ(hero.map_x % 2, 0);
    EXPECT_LT(hero.exp, hero.next_exp);
    for (int k = 0; k < 6; ++k) {
        const EnemyStatus& enemy = records.enemies[static_cast<std::size_t>(k)];
        EXPECT_EQ(enemy.kind, k + 1);
        EXPECT_EQ(enemy.target, 1);
        EXPECT_EQ(text_of(enemy.glyph).size(), 2u);  // one full-width character
    }
    for (const SkillStatus& skill : records.skills) {
        EXPECT_FALSE(text_of(skill.name).empty());
        EXPECT_GT(skill.power, 0);
    }
}

}  // namespace
}  // namespace rpg
