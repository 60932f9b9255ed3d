#include "screen/lists.h"

#include <string>

#include "platform/encoding.h"
#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int window_column = 54;
constexpr int window_width = 20;
constexpr int left_arrow_column = 55;
constexpr int right_arrow_column = 71;
constexpr int item_name_column = 59;
constexpr int count_line = 5;
constexpr int count_sign_column = 62;
constexpr int count_column = 65;
constexpr int count_width = 5;  // the largest stock, 65535

int entry_row(int entry, int top) { return top + 2 * entry; }

const std::string& item_name(int entry) {
    switch (entry) {
        case 1: return sjis("ポーション");
        case 2: return sjis("プロテイン");
        default: return sjis("バックラー");
    }
}

// Each entry of the ability list has a column of its own, set for the game's
// five skills rather than worked out from a name's length: entries 2, 3 and
// 5 centre フレイム, 大回転斬り and 絶対服従 between the arrows (columns 57
// to 70), while entries 1 and 4 (剣の一撃, 地獄の炎) stand two columns right
// of centre. A skill file with a longer name keeps its entry's column.
int skill_name_column(int entry) {
    switch (entry) {
        case 1:
        case 4: return 62;
        case 2:
        case 5: return 60;
        default: return 59;
    }
}

// One entry slides down from row 0 to its own row, one row per frame.
// Entry 1 is the selected one when a list opens: its arrows are bright.
template <typename DrawName>
void slide_entry(View& v, int entry, DrawName draw_name) {
    const int frames = 2 * entry + 1;
    for (int f = 0; f < frames; ++f) {
        const int top = f - 2 * entry;
        if (entry == 1) {
            set_highlight(v);
            draw_list_arrows(v, entry, top);
            set_text_attribute(v, attr_normal);
        } else {
            draw_list_arrows(v, entry, top);
        }
        draw_name(top);
        pause(v, 1);
        if (f != frames - 1) clear_list_row(v, entry, top);
    }
}

}  // namespace

int last_skill_index(u16 level) {
    if (level < 12) return 1;
    if (level < 18) return 2;
    if (level < 25) return 3;
    return 4;
}

void draw_list_arrows(View& v, int entry, int top) {
    put_at(v, left_arrow_column, entry_row(entry, top), sjis("＜"));
    put_at(v, right_arrow_column, entry_row(entry, top), sjis("＞"));
}

void draw_item_name(View& v, int entry, int top) {
    if (entry < 1 || entry > 3) return;
    put_at(v, item_name_column, entry_row(entry, top), item_name(entry));
}

void draw_skill_name(View& v, const std::array<SkillStatus, skill_count>& skills, int entry, int top) {
    if (entry < 1 || entry > skill_count) return;
    put_at(v, skill_name_column(entry), entry_row(entry, top),
           text_of(skills[static_cast<std::size_t>(entry - 1)].name));
}

void announce_item(View& v, int entry, u16 count) {
    if (entry < 1 || entry > 3) return;
    v.con.announce(item_name_column, entry_row(entry, 0), item_name(entry) + " " + decimal(count));
}

void announce_skill(View& v, const std::array<SkillStatus, skill_count>& skills, int entry) {
    if (entry < 1 || entry > skill_count) return;
    v.con.announce(skill_name_column(entry), entry_row(entry, 0),
                   text_of(skills[static_cast<std::size_t>(entry - 1)].name));
}

void draw_count_sign(View& v) { put_at(v, count_sign_column, entry_row(count_line, 0), sjis("×")); }

void draw_item_count(View& v, u16 count) {
    // The whole field is written, so a shorter stock leaves no digit behind.
    const std::string figure = decimal(count);
    put_at(v, count_column, entry_row(count_line, 0), figure + blanks(count_width - static_cast<int>(figure.size())));
}

void clear_list_row(View& v, int entry, int top) {
    put_at(v, window_column, entry_row(entry, top), blank_run(window_width));
}

void draw_item_title(View& v) { put_at(v, window_column, 0, "________Item________"); }

void draw_ability_title(View& v) { put_at(v, window_column, 0, "______Ability_______"); }

void clear_list_title(View& v) { put_at(v, window_column, 0, blank_run(window_width)); }

void open_item_list(View& v) {
    set_text_attribute(v, attr_normal);
    for (int entry = 3; entry >= 1; --entry) {
        slide_entry(v, entry, [&v, entry](int top) { draw_item_name(v, entry, top); });
    }
    draw_item_title(v);
}

void open_ability_list(View& v, const std::array<SkillStatus, skill_count>& skills, u16 level) {
    set_text_attribute(v, attr_normal);
    // The lowest entry goes first, so that each one passes only through rows
    // above those already placed.
    for (int entry = last_skill_index(level) + 1; entry >= 1; --entry) {
        slide_entry(v, entry, [&v, &skills, entry](int top) { draw_skill_name(v, skills, entry, top); });
    }
    draw_ability_title(v);
}

}  // namespace rpg
