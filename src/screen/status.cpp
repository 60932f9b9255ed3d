#include "screen/status.h"

#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int bar_width = 18;
constexpr int hp_bar_row = 13;
constexpr int hp_row = 14;
constexpr int first_effect_row = 16;

int clamp_cells(long long cells) {
    if (cells < 0) return 0;
    if (cells > bar_width) return bar_width;
    return static_cast<int>(cells);
}

int left(const Battle& b) { return b.screen.left_origin; }

}  // namespace

int hp_bar_cells(i16 hp, u16 max_hp) {
    if (max_hp == 0) return 0;
    // The quotient first, as the bar has always been scaled: 519 of 519 comes
    // out just below 18 and draws 17 cells. Odd values (HP above the maximum,
    // or below 0) still stay inside the bar.
    double cells = hp * (18.0 / max_hp);
    return clamp_cells(static_cast<long long>(cells));
}

int effect_bar_cells(i16 counter) {
    if (counter == 11) return bar_width;
    return clamp_cells(static_cast<long long>(counter * 1.8));
}

void draw_hp_panel(Battle& b) {
    const int l = left(b);
    put_at(b, l + 3, 12, "|");
    put_at(b, l + 3, hp_row, "|");
    put_at(b, l, hp_bar_row, "---+");
    // The bar grows from the left, one cell every 30 ms.
    const int cells = hp_bar_cells(b.rec.hero.hp, b.rec.hero.max_hp);
    for (int i = 0; i < cells; ++i) {
        put(b, "-");
        pause(b, 30);
    }
    set_text_attribute(b, attr_normal);
    put_at(b, l + 6, hp_row, "HP : ");
    set_highlight(b);
    put(b, decimal(b.rec.hero.hp));
    set_text_attribute(b, attr_normal);
    put(b, " / " + decimal(b.rec.hero.max_hp));
}

void draw_level(Battle& b) { put_at(b, left(b) + 6, 12, "Lv : " + decimal(b.rec.hero.level)); }

void draw_effect_markers(Battle& b) {
    set_text_attribute(b, attr_normal);
    for (int row = first_effect_row; row < first_effect_row + 3; ++row) {
        put_at(b, left(b) + 3, row, "+");
        pause(b, 10);
    }
}

void redraw_hp_bar(Battle& b) {
    const int l = left(b);
    put_at(b, l + 4, hp_bar_row, blanks(bar_width));
    move_cursor(b, l + 4, hp_bar_row);
    put(b, repeat("-", hp_bar_cells(b.rec.hero.hp, b.rec.hero.max_hp)));
}

void hp_countdown(Battle& b, i16 count) {
    HeroStatus& hero = b.rec.hero;
    const int l = left(b);
    move_cursor(b, l + 11, hp_row);
    set_highlight(b);
    for (i16 step = 0; step < count; ++step) {
        hero.hp = to_i16(hero.hp - 1);
        // The trailing blank wipes the last digit when the figure gets shorter.
        put(b, decimal(hero.hp) + " ");
        set_text_attribute(b, attr_normal);
        redraw_hp_bar(b);
        set_highlight(b);
        if (hero.hp <= 0) break;  // the hero has nothing more to lose
        move_cursor(b, l + 11, hp_row);
        pause(b, 20);
    }
    set_text_attribute(b, attr_normal);
}

void draw_effect_bar(Battle& b, i16 counter, u16 row) {
    const int l = left(b);
    const int y = first_effect_row + row;
    set_text_attribute(b, attr_normal);
    put_at(b, l + 4, y, blanks(bar_width));
    move_cursor(b, l + 4, y);
    if (counter == 11) {
        // A new effect fills its bar one cell every 5 ms.
        for (int i = 0; i < bar_width; ++i) {
            put(b, "-");
            pause(b, 5);
        }
    } else {
        put(b, repeat("-", effect_bar_cells(counter)));
    }
}

}  // namespace rpg
