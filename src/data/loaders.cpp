#include "data/loaders.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "data/tokens.h"
#include "platform/encoding.h"

namespace rpg {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads the values of a data file in order, the way a formatted read with a
// "%s" or "%d" per value does: blanks before a value are skipped, a string is
// a run of non-blank bytes, a number an optional sign and decimal digits. The
// read stops for good at the end of the text or at the first value that does
// not match; fields after that keep what they held. A string too long for
// its field stops the read too, and refuses the file.
class ValueReader {
public:
    ValueReader(std::string_view text, std::string file_name) : text_(text), file_(std::move(file_name)) {}

    template <std::size_t N>
    void text(FixedText<N>& field, const char* name) {
        if (stopped_) return;
        skip_blanks();
        if (at_end()) return stop();
        std::size_t start = pos_;
        while (!at_end() && !is_blank(text_[pos_])) ++pos_;
        std::string_view token = text_.substr(start, pos_ - start);
        if (token.size() > N - 1) {
            error_ = file_ + ": " + name + " must be at most " + std::to_string(N - 1) + " bytes (found " +
                     std::to_string(token.size()) + " bytes: \"" + utf8_from_sjis(token) + "\")";
            return stop();
        }
        field.fill('\0');
        for (std::size_t i = 0; i < token.size(); ++i) field[i] = token[i];
    }

    void number(u16& field) {
        std::uint64_t value = 0;
        if (read_number(value)) field = static_cast<u16>(value);
    }

    void number(u32& field) {
        std::uint64_t value = 0;
        if (read_number(value)) field = static_cast<u32>(value);
    }

    bool refused() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

private:
    bool at_end() const { return pos_ >= text_.size(); }
    void stop() { stopped_ = true; }

    void skip_blanks() {
        while (!at_end() && is_blank(text_[pos_])) ++pos_;
    }

    // A signed decimal integer in two's-complement form, modulo 2^64: every
    // field keeps its own number of low bits of it.
    bool read_number(std::uint64_t& value) {
        if (stopped_) return false;
        skip_blanks();
        bool negative = false;
        if (!at_end() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            negative = text_[pos_] == '-';
            ++pos_;
        }
        if (at_end() || !is_digit(text_[pos_])) {
            stop();
            return false;
        }
        std::uint64_t magnitude = 0;
        while (!at_end() && is_digit(text_[pos_])) {
            magnitude = magnitude * 10u + static_cast<std::uint64_t>(text_[pos_] - '0');
            ++pos_;
        }
        value = negative ? 0u - magnitude : magnitude;
        return true;
    }

    std::string_view text_;
    std::string file_;
    std::size_t pos_ = 0;
    bool stopped_ = false;
    std::string error_;
};

std::string refusal(const std::string& file, const char* field, const char* rule, long long found) {
    return file + ": " + field + " must be " + rule + " (found " + std::to_string(found) + ")";
}

// The checks shared by the hero and the enemy kinds: both defences divide in
// the damage formulas, and speed is taken as a signed number in the evade test.
bool check_fighter(const std::string& file, u16 defense, u16 magic_defense, u16 speed, std::string& error) {
    if (defense == 0) {
        error = refusal(file, "defense", "at least 1", defense);
        return false;
    }
    if (magic_defense == 0) {
        error = refusal(file, "magic_defense", "at least 1", magic_defense);
        return false;
    }
    if (to_i16(speed) < 0) {
        error = refusal(file, "speed", "at most 32767", speed);
        return false;
    }
    return true;
}

LoadResult missing(const std::string& file, std::string& error) {
    error = file + ": the file cannot be opened";
    return LoadResult::missing;
}

constexpr std::array<const char*, enemy_kind_count> enemy_files = {
    "Pawn_Status_Info.txt", "Knight_Status_Info.txt", "Bishop_Status_Info.txt",
    "Rook_Status_Info.txt", "Queen_Status_Info.txt",  "King_Status_Info.txt",
};

constexpr std::array<const char*, skill_count> skill_files = {
    "SwordCut.txt", "Flame.txt", "BigRevolveSword.txt", "HellFlame.txt", "AbsoluteObedience.txt",
};

// The hero is two columns wide on a map of 54 columns and 19 rows.
constexpr u16 hero_last_column = 52;
constexpr u16 hero_last_row = 18;

}  // namespace

std::optional<std::string> read_text_file(const std::filesystem::path& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.string().c_str(), "rb"), &std::fclose);
    if (!stream) return std::nullopt;
    std::string raw;
    std::array<char, 4096> buffer{};
    for (;;) {
        std::size_t got = std::fread(buffer.data(), 1, buffer.size(), stream.get());
        raw.append(buffer.data(), got);
        if (got < buffer.size()) break;
    }
    if (std::ferror(stream.get())) return std::nullopt;  // e.g. a folder of that name

    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text += raw[i];
    }
    return text;
}

LoadResult load_hero(HeroStatus& hero, const std::filesystem::path& folder, std::string& error) {
    const std::string file = "Hero_Status_Info.txt";
    std::optional<std::string> content = read_text_file(folder / file);
    if (!content) return missing(file, error);

    ValueReader in(*content, file);
    in.text(hero.name, "name");
    in.number(hero.max_hp);
    in.number(hero.attack);
    in.number(hero.defense);
    in.number(hero.magic_attack);
    in.number(hero.magic_defense);
    in.number(hero.speed);
    in.number(hero.next_exp);
    in.number(hero.exp);
    in.number(hero.level);
    in.number(hero.reserved1);
    in.number(hero.reserved2);
    in.number(hero.reserved3);
    in.number(hero.reserved4);
    for (ItemStock& item : hero.items) {
        in.number(item.reserved);
        in.number(item.count);
    }
    in.number(hero.map_x);
    in.number(hero.map_y);
    if (in.refused()) {
        error = in.error();
        return LoadResult::invalid;
    }

    // Current hit points are signed 16-bit: a larger maximum would start the
    // hero with negative hit points.
    if (to_i16(hero.max_hp) < 0) {
        error = refusal(file, "max_hp", "at most 32767", hero.max_hp);
        return LoadResult::invalid;
    }
    if (!check_fighter(file, hero.defense, hero.magic_defense, hero.speed, error)) return LoadResult::invalid;
    if (hero.map_x > hero_last_column) {
        error = refusal(file, "map_x", "at most 52", hero.map_x);
        return LoadResult::invalid;
    }
    if (hero.map_y > hero_last_row) {
        error = refusal(file, "map_y", "at most 18", hero.map_y);
        return LoadResult::invalid;
    }
    return LoadResult::ok;
}

LoadResult load_enemy_kind(EnemyStatus& enemy, const std::filesystem::path& file, std::string& error) {
    const std::string name = file.filename().string();
    std::optional<std::string> content = read_text_file(file);
    if (!content) return missing(name, error);

    ValueReader in(*content, name);
    in.text(enemy.name, "name");
    in.number(enemy.kind);
    in.text(enemy.glyph, "glyph");
    in.number(enemy.reserved2);
    in.number(enemy.target);
    in.number(enemy.max_hp);
    in.number(enemy.attack);
    in.number(enemy.defense);
    in.number(enemy.magic_attack);
    in.number(enemy.magic_defense);
    in.number(enemy.speed);
    in.number(enemy.skill);
    if (in.refused()) {
        error = in.error();
        return LoadResult::invalid;
    }

    // The experience reward divides by the sum of the six stats.
    long long sum = static_cast<long long>(enemy.max_hp) + enemy.attack + enemy.defense + enemy.magic_attack +
                    enemy.magic_defense + enemy.speed;
    if (sum == 0) {
        error = name +
                ": the sum of max_hp, attack, defense, magic_attack, magic_defense and speed "
                "must be at least 1 (found 0)";
        return LoadResult::invalid;
    }
    if (!check_fighter(name, enemy.defense, enemy.magic_defense, enemy.speed, error)) return LoadResult::invalid;
    if (enemy.skill >= skill_count) {
        error = refusal(name, "skill", "0 to 4", enemy.skill);
        return LoadResult::invalid;
    }
    return LoadResult::ok;
}

LoadResult load_enemies(GameRecords& records, const std::filesystem::path& folder, std::string& error) {
    for (int kind = 0; kind < enemy_kind_count; ++kind) {
        EnemyStatus& enemy = records.enemies[static_cast<std::size_t>(kind)];
        LoadResult result = load_enemy_kind(enemy, folder / enemy_files[static_cast<std::size_t>(kind)], error);
        if (result != LoadResult::ok) return result;
        // The kinds that can be fought start with a full pool; the Queen and
        // King pools stay empty.
        if (kind <= kind_rook) enemy.hp.fill(to_i16(enemy.max_hp));
    }
    return LoadResult::ok;
}

LoadResult load_skill(SkillStatus& skill, const std::filesystem::path& file, std::string& error) {
    const std::string name = file.filename().string();
    std::optional<std::string> content = read_text_file(file);
    if (!content) return missing(name, error);

    ValueReader in(*content, name);
    in.text(skill.name, "name");
    in.number(skill.reserved);
    in.number(skill.power);
    in.number(skill.accuracy);
    if (in.refused()) {
        error = in.error();
        return LoadResult::invalid;
    }
    return LoadResult::ok;
}

LoadResult load_skills(GameRecords& records, const std::filesystem::path& folder, std::string& error) {
    for (std::size_t i = 0; i < skill_files.size(); ++i) {
        LoadResult result = load_skill(records.skills[i], folder / skill_files[i], error);
        if (result != LoadResult::ok) return result;
    }
    return LoadResult::ok;
}

LoadResult load_game_data(GameRecords& records, const std::filesystem::path& folder, std::string& error) {
    LoadResult result = load_hero(records.hero, folder, error);
    if (result != LoadResult::ok) return result;
    result = load_enemies(records, folder, error);
    if (result != LoadResult::ok) return result;
    return load_skills(records, folder, error);
}

}  // namespace rpg
