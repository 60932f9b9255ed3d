#include "screen/status.h"

#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int bar_width = 18;
constexpr int hp_bar_row = 13;
constexpr int hp_row = 14;
constexpr int first_effect_row = 16;
// The HP figure stands right after "HP : ", which starts 6 columns in.
constexpr int hp_figure_offset = 11;
// The counter a new effect starts with (effect_start_counter in
// rules/effects.h): its bar is full and filled with an animation. One tick
// later, at 10, the bar is full too (10 x 1.8 cells).
constexpr i16 new_effect_counter = 11;
// The effect markers stand at column 1 whatever the origin.
constexpr int marker_column = 1;

int clamp_cells(long long cells) {
    if (cells < 0) return 0;
    if (cells > bar_width) return bar_width;
    return static_cast<int>(cells);
}

int left(const View& v) { return v.left_origin; }

}  // namespace

int hp_bar_cells(i16 hp, u16 max_hp) {
    if (max_hp == 0) return 0;
    // The quotient 18 / max is formed first, in double precision, and the
    // product truncated: a full bar is therefore 18 cells for nearly every
    // maximum but 17 for a few (519 of 519 comes out just below 18). Odd values (HP above the maximum,
    // or below 0) still stay inside the bar.
    double cells = hp * (18.0 / max_hp);
    return clamp_cells(static_cast<long long>(cells));
}

int effect_bar_cells(i16 counter) {
    if (counter == new_effect_counter) return bar_width;
    return clamp_cells(static_cast<long long>(counter * 1.8));
}

void draw_hp_panel(View& v, const HeroStatus& hero) {
    const int l = left(v);
    put_at(v, l + 3, 12, "|");
    put_at(v, l + 3, hp_row, "|");
    put_at(v, l, hp_bar_row, "---+");
    // The bar grows from the left, one cell every 30 ms.
    const int cells = hp_bar_cells(hero.hp, hero.max_hp);
    for (int i = 0; i < cells; ++i) {
        put(v, "-");
        pause(v, 30);
    }
    set_text_attribute(v, attr_normal);
    put_at(v, l + 6, hp_row, "HP : ");
    set_highlight(v);
    put(v, decimal(hero.hp));
    set_text_attribute(v, attr_normal);
    put(v, " / " + decimal(hero.max_hp));
}

void draw_level(View& v, u16 level) { put_at(v, left(v) + 6, 12, "Lv : " + decimal(level)); }

void draw_effect_markers(View& v) {
    set_text_attribute(v, attr_normal);
    for (int row = first_effect_row; row < first_effect_row + 3; ++row) {
        put_at(v, left(v) + 3, row, "+");
        pause(v, 10);
    }
}

void redraw_hp_bar(View& v, i16 hp, u16 max_hp) {
    const int l = left(v);
    put_at(v, l + 4, hp_bar_row, blank_run(bar_width));
    move_cursor(v, l + 4, hp_bar_row);
    put(v, repeat("-", hp_bar_cells(hp, max_hp)));
}

void hp_countdown(View& v, i16 hp_before, i16 hp_after, u16 max_hp) {
    const int l = left(v);
    move_cursor(v, l + hp_figure_offset, hp_row);
    set_highlight(v);
    for (int hp = hp_before - 1; hp >= hp_after; --hp) {
        // The trailing blank wipes the last digit when the figure gets shorter.
        put(v, decimal(hp) + " ");
        set_text_attribute(v, attr_normal);
        redraw_hp_bar(v, to_i16(hp), max_hp);
        set_highlight(v);
        if (hp <= 0) break;  // the hero has nothing more to lose
        move_cursor(v, l + hp_figure_offset, hp_row);
        pause(v, 20);
    }
    set_text_attribute(v, attr_normal);
}

void hp_countup(View& v, i16 hp_before, i16 hp_after, u16 max_hp) {
    // The figure counts up in the current look, one point every 20 ms.
    for (int hp = hp_before + 1; hp <= hp_after; ++hp) {
        move_cursor(v, left(v) + hp_figure_offset, hp_row);
        put(v, decimal(hp));
        redraw_hp_bar(v, to_i16(hp), max_hp);
        pause(v, 20);
    }
}

void draw_effect_marker(View& v, u16 row, std::string_view marker) {
    move_cursor(v, marker_column, first_effect_row + row);
    set_highlight(v);
    put(v, marker);
    set_text_attribute(v, attr_normal);
}

void erase_effect_marker(View& v, u16 row) { put_at(v, marker_column, first_effect_row + row, "  "); }

void draw_effect_bar(View& v, i16 counter, u16 row) {
    const int l = left(v);
    const int y = first_effect_row + row;
    set_text_attribute(v, attr_normal);
    put_at(v, l + 4, y, blank_run(bar_width));
    move_cursor(v, l + 4, y);
    if (counter == new_effect_counter) {
        // A new effect fills its bar one cell every 5 ms.
        for (int i = 0; i < bar_width; ++i) {
            put(v, "-");
            pause(v, 5);
        }
    } else {
        put(v, repeat("-", effect_bar_cells(counter)));
    }
}

}  // namespace rpg
