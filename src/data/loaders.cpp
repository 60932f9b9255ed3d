#include "data/loaders.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "data/tokens.h"
#include "platform/encoding.h"
#include "platform/files.h"

namespace rpg {
namespace {

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// What opening or reading a data file came to.
enum class SourceState {
    open,         // being read, or read to its end
    missing,      // the name cannot be opened (no such file, no permission)
    not_regular,  // a folder, a FIFO, a device or a socket: refused by name
    read_failed,  // opened, but a read failed
};

// A data file read in small pieces, so that what the program holds does not
// grow with the file. Only a regular file is read (see platform/files.h).
class ByteSource {
public:
    explicit ByteSource(const std::filesystem::path& file) : file_(file) {
        switch (file_.state()) {
            case ReadableFile::State::open: state_ = SourceState::open; break;
            case ReadableFile::State::missing: break;
            case ReadableFile::State::not_regular:
                state_ = SourceState::not_regular;
                problem_ = std::string("is ") + file_.kind() + ", not a regular file";
                break;
        }
    }

    bool is_open() const { return state_ != SourceState::missing && state_ != SourceState::not_regular; }
    SourceState state() const { return state_; }
    // Why the file cannot be used, for a refusal after its name: "is a FIFO,
    // not a regular file", "cannot be read (Input/output error)".
    const std::string& problem() const { return problem_; }
    // True once a read has failed (an unreadable file rather than an end).
    bool failed() const { return state_ == SourceState::read_failed; }

    // The next byte (0 to 255) without taking it, or -1 at the end.
    int peek() {
        if (pos_ == size_ && !fill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    int get() {
        const int c = peek();
        if (c >= 0) ++pos_;
        return c;
    }

private:
    bool fill() {
        if (state_ != SourceState::open) return false;
        const std::ptrdiff_t got = file_.read(buffer_.data(), buffer_.size());
        pos_ = 0;
        size_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        if (got > 0) return true;
        if (got < 0) {
            const int error = file_.read_error();
            state_ = SourceState::read_failed;
            problem_ = std::string("cannot be read (") + (error != 0 ? std::strerror(error) : "read error") + ")";
        }
        file_.close();
        return false;
    }

    ReadableFile file_;
    SourceState state_ = SourceState::missing;
    std::string problem_;
    std::array<char, 4096> buffer_{};
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
};

// How much of an overlong string a refusal quotes.
constexpr std::size_t quoted_bytes = 40;

// Reads the values of a data file in order, the way a formatted read with a
// "%s" or "%d" per value does: blanks before a value are skipped, a string is
// a run of non-blank bytes, a number an optional sign and decimal digits. The
// read stops for good at the end of the file or at the first value that does
// not match; fields after that keep what they held. A string too long for
// its field stops the read too, and refuses the file. Nothing after the
// last value asked for is read.
class ValueReader {
public:
    ValueReader(ByteSource& in, std::string file_name) : in_(in), file_(std::move(file_name)) {}

    template <std::size_t N>
    void text(FixedText<N>& field, const char* name) {
        if (stopped_) return;
        skip_blanks();
        if (in_.peek() < 0) return stop();
        // The token is kept only as far as the field and the refusal need it.
        std::string token;
        std::size_t length = 0;
        while (in_.peek() >= 0 && !is_blank(static_cast<char>(in_.peek())) && length <= quoted_bytes) {
            token += static_cast<char>(in_.get());
            ++length;
        }
        if (length > N - 1) {
            const bool cut = length > quoted_bytes;
            if (cut) token.resize(quoted_bytes);
            error_ = file_ + ": " + name + " must be at most " + std::to_string(N - 1) + " bytes (found " +
                     (cut ? "more than " + std::to_string(quoted_bytes) + " bytes, starting \""
                          : std::to_string(length) + " bytes: \"") +
                     utf8_from_sjis(token) + "\")";
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
    void stop() { stopped_ = true; }

    void skip_blanks() {
        while (in_.peek() >= 0 && is_blank(static_cast<char>(in_.peek()))) in_.get();
    }

    // A signed decimal integer in two's-complement form, modulo 2^64: every
    // field keeps its own number of low bits of it.
    bool read_number(std::uint64_t& value) {
        if (stopped_) return false;
        skip_blanks();
        bool negative = false;
        if (in_.peek() == '+' || in_.peek() == '-') negative = in_.get() == '-';
        if (!is_digit(in_.peek())) {
            stop();
            return false;
        }
        std::uint64_t magnitude = 0;
        while (is_digit(in_.peek())) magnitude = magnitude * 10u + static_cast<std::uint64_t>(in_.get() - '0');
        value = negative ? 0u - magnitude : magnitude;
        return true;
    }

    ByteSource& in_;
    std::string file_;
    bool stopped_ = false;
    std::string error_;
};

// A file that cannot be opened is missing (the game shows its notice); one
// that is there but cannot be read is refused by name.
LoadResult not_opened(const ByteSource& in, const std::string& file, std::string& error) {
    if (in.state() == SourceState::missing) {
        error = file + ": the file cannot be opened";
        return LoadResult::missing;
    }
    error = file + ": " + in.problem();
    return LoadResult::invalid;
}

// The end of one file's read: a refused string, an unreadable file, or done.
LoadResult finish(const ValueReader& values, const ByteSource& in, const std::string& file, std::string& error) {
    if (values.refused()) {
        error = values.error();
        return LoadResult::invalid;
    }
    if (in.failed()) return not_opened(in, file, error);
    return LoadResult::ok;
}

std::string refusal(const std::string& file, const char* field, const char* rule, long long found) {
    return file + ": " + field + " must be " + rule + " (found " + std::to_string(found) + ")";
}

constexpr std::array<const char*, enemy_kind_count> enemy_files = {
    "Pawn_Status_Info.txt", "Knight_Status_Info.txt", "Bishop_Status_Info.txt",
    "Rook_Status_Info.txt", "Queen_Status_Info.txt",  "King_Status_Info.txt",
};

constexpr std::array<const char*, skill_count> skill_files = {
    "SwordCut.txt", "Flame.txt", "BigRevolveSword.txt", "HellFlame.txt", "AbsoluteObedience.txt",
};

constexpr const char* hero_file = "Hero_Status_Info.txt";

// The hero is two columns wide on a map of 54 columns and 19 rows.
constexpr u16 hero_last_column = 52;
constexpr u16 hero_last_row = 18;

// Both damage formulas divide by the defender's defence and by its defence
// times its magic defence.
bool check_defences(const std::string& file, u16 defense, u16 magic_defense, std::string& error) {
    if (defense == 0) {
        error = refusal(file, "defense", "at least 1", defense);
        return false;
    }
    if (magic_defense == 0) {
        error = refusal(file, "magic_defense", "at least 1", magic_defense);
        return false;
    }
    return true;
}

bool check_for_battle(const GameRecords& records, std::string& error) {
    const HeroStatus& hero = records.hero;
    // Current hit points are signed 16-bit: a larger maximum would start the
    // hero with negative hit points.
    if (to_i16(hero.max_hp) < 0) {
        error = refusal(hero_file, "max_hp", "at most 32767", hero.max_hp);
        return false;
    }
    if (!check_defences(hero_file, hero.defense, hero.magic_defense, error)) return false;

    // The pawn is the only kind that fights; the others are kept as read.
    const EnemyStatus& pawn = records.enemies[kind_pawn];
    const std::string pawn_file = enemy_files[kind_pawn];
    if (!check_defences(pawn_file, pawn.defense, pawn.magic_defense, error)) return false;
    // The pawn attacks with this entry of the skill table.
    if (pawn.skill >= skill_count) {
        error = refusal(pawn_file, "skill", "0 to 4", pawn.skill);
        return false;
    }
    return true;
}

bool check_for_field(const GameRecords& records, std::string& error) {
    // The hero is drawn and walks on the map; off it, it could never move.
    const HeroStatus& hero = records.hero;
    if (hero.map_x > hero_last_column) {
        error = refusal(hero_file, "map_x", "at most 52", hero.map_x);
        return false;
    }
    if (hero.map_y > hero_last_row) {
        error = refusal(hero_file, "map_y", "at most 18", hero.map_y);
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> read_text_file(const std::filesystem::path& file, std::size_t limit, std::string* problem) {
    ByteSource in(file);
    auto fail = [&]() -> std::optional<std::string> {
        if (problem != nullptr) *problem = in.problem();
        return std::nullopt;
    };
    if (!in.is_open()) return fail();
    std::string text;
    while (text.size() < limit) {
        int c = in.get();
        if (c < 0) break;
        if (c == '\r' && in.peek() == '\n') c = in.get();
        text += static_cast<char>(c);
    }
    if (in.failed()) return fail();
    return text;
}

LoadResult load_hero(HeroStatus& hero, const std::filesystem::path& folder, std::string& error) {
    const std::string file = hero_file;
    ByteSource source(folder / file);
    if (!source.is_open()) return not_opened(source, file, error);

    ValueReader in(source, file);
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
    return finish(in, source, file, error);
}

LoadResult load_enemy_kind(EnemyStatus& enemy, const std::filesystem::path& file, std::string& error) {
    const std::string name = file.filename().string();
    ByteSource source(file);
    if (!source.is_open()) return not_opened(source, name, error);

    ValueReader in(source, name);
    in.text(enemy.name, "name");
    in.number(enemy.kind);
    in.text(enemy.glyph, "glyph");
    in.number(enemy.reserved);
    in.number(enemy.target);
    in.number(enemy.max_hp);
    in.number(enemy.attack);
    in.number(enemy.defense);
    in.number(enemy.magic_attack);
    in.number(enemy.magic_defense);
    in.number(enemy.speed);
    in.number(enemy.skill);
    return finish(in, source, name, error);
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
    ByteSource source(file);
    if (!source.is_open()) return not_opened(source, name, error);

    ValueReader in(source, name);
    in.text(skill.name, "name");
    in.number(skill.reserved);
    in.number(skill.power);
    in.number(skill.accuracy);
    return finish(in, source, name, error);
}

LoadResult load_skills(GameRecords& records, const std::filesystem::path& folder, std::string& error) {
    for (std::size_t i = 0; i < skill_files.size(); ++i) {
        LoadResult result = load_skill(records.skills[i], folder / skill_files[i], error);
        if (result != LoadResult::ok) return result;
    }
    return LoadResult::ok;
}

LoadResult check_game_data(const GameRecords& records, DataUser user, std::string& error) {
    const bool fits = user == DataUser::battle ? check_for_battle(records, error) : check_for_field(records, error);
    return fits ? LoadResult::ok : LoadResult::invalid;
}

std::vector<std::string> game_data_files() {
    std::vector<std::string> names{hero_file};
    names.insert(names.end(), enemy_files.begin(), enemy_files.end());
    names.insert(names.end(), skill_files.begin(), skill_files.end());
    return names;
}

LoadResult load_game_data(GameRecords& records, const std::filesystem::path& folder, std::string& error,
                          DataUser user) {
    LoadResult result = load_hero(records.hero, folder, error);
    if (result != LoadResult::ok) return result;
    result = load_enemies(records, folder, error);
    if (result != LoadResult::ok) return result;
    result = load_skills(records, folder, error);
    if (result != LoadResult::ok) return result;
    return check_game_data(records, user, error);
}

}  // namespace rpg
