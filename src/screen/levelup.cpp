#include "screen/levelup.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/encoding.h"
#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int first_row = 2;
constexpr int last_row = 9;  // the experience row
constexpr int row_count = last_row - first_row + 1;

// The labels, each 27 bytes: the name padded to 15, "<==", 9 blanks.
const std::string& label(int index) {
    static const std::array<const char*, row_count> texts = {
        "レベル         <==         ", "体力           <==         ", "攻撃力         <==         ",
        "防御力         <==         ", "魔法攻撃力     <==         ", "魔法防御力     <==         ",
        "素早さ         <==         ", "経験値         <==         ",
    };
    return sjis(texts[static_cast<std::size_t>(index)]);
}

// One stat row of the table: the gain since the battle was won, and the new value.
struct TableRow {
    i16 gain;
    i16 value;
};

TableRow table_row(const LevelUpTable& table, int index) {
    const HeroStatus& now = table.after;
    const HeroStatus& was = table.before;
    auto row = [](u16 new_value, u16 old_value) {
        return TableRow{to_i16(static_cast<long long>(new_value) - old_value), to_i16(new_value)};
    };
    switch (index) {
        case 0: return row(now.level, was.level);
        case 1: return row(now.max_hp, was.max_hp);
        case 2: return row(now.attack, was.attack);
        case 3: return row(now.defense, was.defense);
        case 4: return row(now.magic_attack, was.magic_attack);
        case 5: return row(now.magic_defense, was.magic_defense);
        case 6: return row(now.speed, was.speed);
        default:
            // The experience row: what the battle gave, and the experience now.
            return TableRow{to_i16(table.exp_gained), to_i16(now.exp)};
    }
}

// Blanks behind a number that moved on: two (or nine) columns, or as many
// as the text was wide, so that no digit of a longer number stays behind.
std::string erase_for(const std::string& text, int at_least) {
    return blanks(std::max(at_least, static_cast<int>(text.size())));
}

}  // namespace

void draw_level_up_box(View& v, std::string_view sjis_hero_name) {
    const int x0 = v.right_origin;
    put_at(v, x0 + 1, 0, repeat(sjis("＿"), 26));
    put_at(v, x0 + 6, 0, std::string(sjis_hero_name) + " - LEVEL UP + STATUS UP -");
    for (int row = 1; row <= 10; ++row) {
        put_at(v, x0, row, "|");
        put_at(v, x0 + 53, row, "|");
    }
    put_at(v, x0 + 1, 10, repeat(sjis("＿"), 26));
}

void draw_level_up_gains(View& v, const LevelUpTable& table) {
    const int x0 = v.right_origin;
    for (int i = 0; i < row_count; ++i) {
        put_at(v, x0 + 2, first_row + i, label(i));
        pause(v, 50);
    }

    // Each gain counts up from 0, every number sliding in from the right
    // until it stands just after the plus sign.
    for (int i = 0; i < row_count - 1; ++i) {
        const int row = first_row + i;
        const i16 gain = table_row(table, i).gain;
        put_at(v, x0 + 29, row, "+");
        for (int n = 0; n <= gain; ++n) {
            const std::string figure = decimal(n);
            for (int x = x0 + 50; x >= x0 + 30; --x) {
                put_at(v, x, row, figure);
                pause(v, 1);
                if (x != x0 + 30) put_at(v, x, row, erase_for(figure, 2));
            }
        }
        // A loss (which no level-up gives) is shown as it is, without the slide.
        if (gain < 0) put_at(v, x0 + 30, row, decimal(gain));
    }

    // The experience gained counts up in place; a key cuts the count short.
    const i16 gained = table_row(table, row_count - 1).gain;
    put_at(v, x0 + 29, last_row, "+");
    for (int n = 0; n <= gained; ++n) {
        put_at(v, x0 + 30, last_row, decimal(n));
        pause(v, 1);
        if (v.con.key_waiting()) {
            v.con.read_key();
            put_at(v, x0 + 30, last_row, decimal(gained));
            break;
        }
    }
    if (gained < 0) put_at(v, x0 + 30, last_row, decimal(gained));
}

void draw_level_up_values(View& v, const LevelUpTable& table) {
    const int x0 = v.right_origin;
    // Each new value rises from the experience row into its own row.
    for (int i = 0; i < row_count; ++i) {
        const int row = first_row + i;
        const std::string text = ":     " + decimal(table_row(table, i).value);
        for (int y = last_row; y >= row; --y) {
            put_at(v, x0 + 38, y, text);
            pause(v, 5);
            if (y != row) put_at(v, x0 + 38, y, erase_for(text, 9));
        }
    }
    std::string said;
    for (int i = 0; i < row_count; ++i) {
        const std::string& name = label(i);
        if (i > 0) said += sjis("、");
        said += name.substr(0, name.find("  "));
        said += " " + decimal(table_row(table, i).value);
    }
    v.con.announce(x0 + 44, first_row, said);
}

}  // namespace rpg
