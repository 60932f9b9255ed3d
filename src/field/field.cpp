#include "field/field.h"

#include <algorithm>
#include <optional>
#include <string>

#include "data/loaders.h"
#include "platform/encoding.h"

namespace rpg {
namespace {

// The last column and row where a two-column figure still fits on the map.
constexpr int last_figure_column = map_columns - 2;  // 52
constexpr int last_figure_row = map_rows - 1;        // 18

constexpr int wipe_frames = 19;
constexpr int wipe_frame_ms = 30;
constexpr int loop_pause_ms = 10;
constexpr int chase_pause_steps = 13;

// The cell at a row-major index; anything outside the grid counts as a wall,
// so that no step is ever decided by a cell the map does not have.
bool blocked(const Field& field, long index) {
    if (index < 0 || index >= map_cells) return true;
    return field.field_map[static_cast<std::size_t>(index / map_columns)]
                          [static_cast<std::size_t>(index % map_columns)] != 0;
}

bool is_arrow(int code) { return code == key_up || code == key_down || code == key_left || code == key_right; }

// Moves a two-column figure one step: blanks over the old place, the figure at
// the new one, each as a line print.
void step_figure(Console& con, u16& x, u16& y, int code, std::string_view figure) {
    con.set_cursor(x, y);
    con.line_print("  ");
    switch (code) {
        case key_up: --y; break;
        case key_down: ++y; break;
        case key_left: x = static_cast<u16>(x - 2); break;
        case key_right: x = static_cast<u16>(x + 2); break;
        default: break;
    }
    con.set_cursor(x, y);
    con.line_print(figure);
}

// One wipe frame pair for a row: `count` pieces from the left edge of row
// `left_row`, and `count` pieces from column 52 leftwards on row `right_row`.
void wipe_frame(Field& field, int left_row, int right_row, int count, std::string_view piece) {
    field.con.set_cursor(0, left_row);
    std::string run;
    for (int j = 0; j < count; ++j) run += piece;
    field.con.print(run);
    for (int j = 0; j < count; ++j) {
        field.con.set_cursor(last_figure_column - 2 * j, right_row);
        field.con.print(piece);
    }
    field.con.sleep_ms(wipe_frame_ms);
}

}  // namespace

bool load_map(Field& field, const std::filesystem::path& file, std::string* problem) {
    // Only the bytes the map can hold are read, whatever follows them.
    std::optional<std::string> text = read_text_file(file, map_cells, problem);
    if (!text) return false;
    for (int n = 0; n < map_cells; ++n) {
        std::int32_t cell = -1;  // past the end of a short file
        if (static_cast<std::size_t>(n) < text->size()) {
            auto byte = static_cast<unsigned char>((*text)[static_cast<std::size_t>(n)]);
            cell = byte == ' ' ? 0 : byte;
        }
        field.field_map[static_cast<std::size_t>(n / map_columns)][static_cast<std::size_t>(n % map_columns)] = cell;
    }
    return true;
}

void draw_map(Field& field) {
    for (int row = 0; row < map_rows; ++row) {
        for (int column = 0; column < map_columns; ++column) {
            field.con.set_cursor(column, row);
            std::int32_t cell = field.field_map[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            if (cell != 0) field.con.print(std::string(1, static_cast<char>(cell & 0xFF)));
        }
    }
}

bool can_move(const Field& field, int code, int x, int y) {
    if (!is_arrow(code)) return true;
    // A figure off the map, or a step that would take it off, is refused
    // before any cell is looked at.
    if (x < 0 || x > last_figure_column || y < 0 || y > last_figure_row) return false;
    const long here = static_cast<long>(y) * map_columns + x;
    switch (code) {
        case key_up:
            if (y == 0) return false;
            return !blocked(field, here - map_columns);
        case key_down:
            if (y == last_figure_row) return false;
            return !blocked(field, here + map_columns);
        case key_left:
            if (x < 2) return false;
            return !blocked(field, here - 1) && !blocked(field, here - 2);
        case key_right:
            if (x + 2 > last_figure_column) return false;
            return !blocked(field, here + 2) && !blocked(field, here + 3);
        default: return true;
    }
}

void move_hero(Field& field, int code) {
    if (!is_arrow(code)) return;
    HeroStatus& hero = field.hero();
    if (!can_move(field, code, hero.map_x, hero.map_y)) return;
    step_figure(field.con, hero.map_x, hero.map_y, code, sjis("●"));
    field.con.announce(hero.map_x, hero.map_y);
}

int wipe_blocks(int k) {
    const double q = 19.0 / (54.0 / 2.0);
    return static_cast<int>(k / q);
}

void wipe_in(Field& field) {
    for (int i = 0; i < wipe_frames; ++i) wipe_frame(field, i, 18 - i, wipe_blocks(i + 1), sjis("■"));
}

void wipe_out(Field& field) {
    for (int i = 0; i < wipe_frames; ++i) wipe_frame(field, i, 18 - i, wipe_blocks(wipe_frames - i), "  ");
}

void place_field_enemy(Field& field) {
    EnemyStatus& enemy = field.enemy();
    enemy.map_x = field_enemy_start_x;
    enemy.map_y = field_enemy_start_y;
    field.con.set_cursor(enemy.map_x, enemy.map_y);
    field.con.print(text_of(enemy.glyph));
}

bool in_pursuit_range(const Field& field) {
    const int ex = field.enemy().map_x;
    const int ey = field.enemy().map_y;
    const int hx = field.hero().map_x;
    const int hy = field.hero().map_y;
    return ex - 18 < hx && hx < ex + 18 && ey - 9 < hy && hy < ey + 9;
}

bool enemy_step(Field& field, int code) {
    EnemyStatus& enemy = field.enemy();
    if (!can_move(field, code, enemy.map_x, enemy.map_y)) return false;
    step_figure(field.con, enemy.map_x, enemy.map_y, code, text_of(enemy.glyph));
    return true;
}

void chase_pause(Field& field) {
    for (int i = 0; i < chase_pause_steps; ++i) {
        if (field.con.key_waiting()) move_hero(field, field.con.read_key());
        field.con.sleep_ms(loop_pause_ms);
    }
}

void chase_step(Field& field) {
    // The distances are taken once; the hero may move during the pauses.
    const i16 dx = to_i16(field.enemy().map_x - field.hero().map_x);
    const i16 dy = to_i16(field.enemy().map_y - field.hero().map_y);
    const int toward_column = dx > 0 ? key_left : key_right;
    const int toward_row = dy > 0 ? key_up : key_down;

    if (dx != 0) {
        chase_pause(field);
        if (!enemy_step(field, toward_column) && dy != 0) enemy_step(field, toward_row);
    }

    // The row is worked on in the same step only while the row distance is at
    // least half the column distance; a column distance of 1 never allows it.
    const int half = dx / 2;
    long t = 0;
    if (dx == 0) {
        t = -dy;
    } else if (half != 0) {
        const double s = dx > 0 ? -1.0 : 1.0;
        t = static_cast<long>(static_cast<double>(dy) / static_cast<double>(half) * s);
    }
    if ((dy > 0 && t <= -1) || (dy < 0 && t >= 1)) {
        chase_pause(field);
        if (!enemy_step(field, toward_row) && dx != 0) enemy_step(field, toward_column);
    }
}

bool start_field(Field& field, const std::filesystem::path& map_file, std::string* problem) {
    wipe_in(field);
    wipe_out(field);
    if (!load_map(field, map_file, problem)) return false;
    draw_map(field);
    field.con.set_cursor(field.hero().map_x, field.hero().map_y);
    field.con.print(sjis("●"));
    // A screen reader rests on the hero, from here on after every step.
    field.con.announce(field.hero().map_x, field.hero().map_y);
    place_field_enemy(field);
    return true;
}

void field_pass(Field& field) {
    // A second of the field's own time: marked for a replay to find.
    if (++field.passes % 100 == 0)
        field.con.turn_mark(static_cast<int>(std::min<long>(field.passes / 100, 1'000'000'000)));
    if (field.con.key_waiting()) move_hero(field, field.con.read_key());
    if (in_pursuit_range(field)) chase_step(field);
    field.con.sleep_ms(loop_pause_ms);
}

void run_field(Field& field, long max_passes) {
    for (long pass = 0; max_passes < 0 || pass < max_passes; ++pass) field_pass(field);
}

}  // namespace rpg
