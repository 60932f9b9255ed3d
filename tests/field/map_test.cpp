#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>

#include <cstdlib>
#include <string>
#include <vector>

#include "data/loaders.h"
#include "field/field.h"
#include "field/field_fixture.h"
#include "support/data_folder.h"
#include "support/read_count.h"

namespace rpg {
using test::assets_folder;
namespace {

using test::OpenField;
using TempFolder = test::DataFolder;

struct MoveCase {
    const char* label;
    void (*setup)(OpenField&);
    int code;
    int x;
    int y;
    bool allowed;
};

void nothing(OpenField&) {}
void block_at_20_5(OpenField& f) { f.put_block(20, 5); }
void byte_at_21_5(OpenField& f) { f.set_cell(21, 5, 'x'); }
void open_line_ends(OpenField& f) {
    for (int row = 0; row < map_rows; ++row) f.set_cell(test::line_end_column, row, 0);
}
void short_file_at_row_18(OpenField& f) {
    for (int column = 10; column < map_columns; ++column) f.set_cell(column, 18, -1);
}

TEST(CanMove, BlockingRules) {
    const std::vector<MoveCase> cases = {
        // The line end in column 53 closes every row on the right.
        {"right from 48 on an open row", nothing, key_right, 48, 7, true},
        {"right from 50 meets the line end", nothing, key_right, 50, 7, false},
        // A full-width block blocks both of its columns.
        {"right into a block", block_at_20_5, key_right, 18, 5, false},
        {"left into a block", block_at_20_5, key_left, 22, 5, false},
        {"up into a block", block_at_20_5, key_up, 20, 6, false},
        {"down into a block", block_at_20_5, key_down, 20, 4, false},
        {"up under the block's right half tests only the left column", block_at_20_5, key_up, 21, 6, false},
        {"up beside a block", block_at_20_5, key_up, 22, 6, true},
        // A single byte at the figure's right column.
        {"right into a single byte", byte_at_21_5, key_right, 18, 5, false},
        {"left into a single byte", byte_at_21_5, key_left, 22, 5, false},
        {"up with the byte under the right column", byte_at_21_5, key_up, 20, 6, true},
        {"down with the byte under the right column", byte_at_21_5, key_down, 20, 4, true},
        // The bottom row and the right column limits.
        {"down from row 18", nothing, key_down, 10, 18, false},
        {"down from row 17", nothing, key_down, 10, 17, true},
        {"right from 52 on a map without line ends", open_line_ends, key_right, 52, 7, false},
        {"right from 51 would leave the grid", open_line_ends, key_right, 51, 7, false},
        {"right from 50 on a map without line ends", open_line_ends, key_right, 50, 7, true},
        // Steps that would test a cell before the start of the grid.
        {"up from row 0", nothing, key_up, 10, 0, false},
        {"left from column 0 on row 0", nothing, key_left, 0, 0, false},
        {"left from column 1 on row 0", nothing, key_left, 1, 0, false},
        {"left from column 2 on row 0", nothing, key_left, 2, 0, true},
        {"left from column 0 on row 5", nothing, key_left, 0, 5, false},
        {"left from column 1 on row 5, open line end above", open_line_ends, key_left, 1, 5, false},
        // Cells past the end of a short map file block.
        {"down onto the end of a short file", short_file_at_row_18, key_down, 12, 17, false},
        {"down beside the end of a short file", short_file_at_row_18, key_down, 8, 17, true},
        // Only the four arrow codes are steps.
        {"code 73 never refused", block_at_20_5, 73, 18, 5, true},
        {"code 74 never refused", block_at_20_5, 74, 18, 5, true},
        {"code 76 never refused", block_at_20_5, 76, 22, 5, true},
        {"code 78 never refused", block_at_20_5, 78, 18, 5, true},
        {"code 79 never refused", block_at_20_5, 79, 18, 5, true},
        {"prefix code never refused", nothing, key_arrow_prefix, 10, 0, true},
        {"Enter never refused", nothing, key_enter, 10, 18, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        OpenField f;
        c.setup(f);
        EXPECT_EQ(can_move(f.field, c.code, c.x, c.y), c.allowed);
    }
}

TEST(MoveHero, StepsPrintBlanksAndTheHeroAsLinePrints) {
    struct Case {
        int code;
        int x, y;
    };
    const std::vector<Case> cases = {{key_up, 20, 4}, {key_down, 20, 6}, {key_left, 18, 5}, {key_right, 22, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        OpenField f;
        f.place_hero(20, 5);
        f.con.set_cursor(20, 5);
        f.con.print(sjis("●"));
        f.con.record_events(true);
        move_hero(f.field, c.code);
        EXPECT_EQ(f.hero_x(), c.x);
        EXPECT_EQ(f.hero_y(), c.y);
        EXPECT_TRUE(f.con.shows(c.x, c.y, "●"));
        if (c.y == 5) {
            EXPECT_EQ(f.con.row_text(5, 20, 2) == "  ", c.x != 20);
        }
        EXPECT_EQ(f.con.grid().cursor_column(), 0);
        EXPECT_EQ(f.con.grid().cursor_row(), c.y + 1);
        ASSERT_EQ(f.con.events().size(), 4u);
        EXPECT_EQ(f.con.events()[0].bytes, "  ");
        EXPECT_EQ(f.con.events()[0].column, 20);
        EXPECT_EQ(f.con.events()[1].bytes, "\n");
        EXPECT_EQ(f.con.events()[2].bytes, sjis("●"));
        EXPECT_EQ(f.con.events()[3].bytes, "\n");
    }
}

TEST(MoveHero, RefusedStepsAndOtherCodesChangeNothing) {
    OpenField f;
    f.put_block(22, 5);
    f.place_hero(20, 5);
    f.con.record_events(true);
    for (int code : {key_right, 73, 74, 76, 78, 79, 0, key_arrow_prefix, key_enter, key_space})
        move_hero(f.field, code);
    EXPECT_EQ(f.hero_x(), 20);
    EXPECT_EQ(f.hero_y(), 5);
    EXPECT_TRUE(f.con.events().empty());
}

// Replays the recorded prints up to the given number of sleeps, to see the
// screen as it stood during a pause.
CellGrid screen_after_sleeps(const MemoryConsole& con, int sleeps) {
    CellGrid grid(con.grid().width(), con.grid().height());
    int seen = 0;
    for (const auto& event : con.events()) {
        if (event.kind == MemoryConsole::Event::sleep) {
            if (++seen == sleeps) break;
            continue;
        }
        grid.set_cursor(event.column, event.row);
        grid.write(event.bytes);
    }
    return grid;
}

// The block counts of the wipe, k = 1 to 19.
const std::vector<int> wipe_counts = {1, 2, 4, 5, 7, 8, 9, 11, 12, 14, 15, 17, 18, 19, 21, 22, 24, 25, 27};

TEST(Wipe, BlockCounts) {
    for (int k = 1; k <= 19; ++k) EXPECT_EQ(wipe_blocks(k), wipe_counts[static_cast<std::size_t>(k - 1)]) << k;
}

TEST(Wipe, TrianglesGrowFromTwoCornersAndCoverTheMap) {
    OpenField f;
    f.con.record_events(true);
    wipe_in(f.field);
    const std::string& block = sjis("■");

    // Frame 1: one block at the top left, one at the bottom right.
    CellGrid first = screen_after_sleeps(f.con, 1);
    EXPECT_EQ(first.row_bytes(0, 0, 2), block);
    EXPECT_EQ(first.row_bytes(0, 2, 52), std::string(52, ' '));
    EXPECT_EQ(first.row_bytes(18, 52, 2), block);
    EXPECT_EQ(first.row_bytes(18, 0, 52), std::string(52, ' '));
    for (int row = 1; row < 18; ++row) EXPECT_EQ(first.row_bytes(row, 0, 54), std::string(54, ' '));

    // Frame 10: rows 0 to 9 have n(row + 1) blocks from the left, rows 9 to
    // 18 have n(19 - row) blocks ending at column 53; the two meet on row 9.
    CellGrid tenth = screen_after_sleeps(f.con, 10);
    for (int row = 0; row < 19; ++row) {
        SCOPED_TRACE(row);
        int left = row <= 9 ? wipe_counts[static_cast<std::size_t>(row)] : 0;
        int right = row >= 9 ? wipe_counts[static_cast<std::size_t>(18 - row)] : 0;
        std::string expected(54, ' ');
        for (int j = 0; j < left; ++j) expected.replace(static_cast<std::size_t>(2 * j), 2, block);
        for (int j = 0; j < right; ++j) expected.replace(static_cast<std::size_t>(52 - 2 * j), 2, block);
        EXPECT_EQ(tenth.row_bytes(row, 0, 54), expected);
    }

    // The end: the whole 54 x 19 area is blocks, nothing beyond it.
    for (int row = 0; row < 19; ++row) {
        EXPECT_EQ(f.con.grid().row_bytes(row, 0, 54), [&] {
            std::string all;
            for (int j = 0; j < 27; ++j) all += block;
            return all;
        }()) << row;
        EXPECT_EQ(f.con.row_text(row, 54), std::string(26, ' '));
    }
    EXPECT_EQ(f.con.row_text(19), std::string(80, ' '));
    EXPECT_EQ(f.con.total_sleep_ms(), 19 * 30);
    for (const auto& event : f.con.events()) {
        if (event.kind == MemoryConsole::Event::sleep) {
            EXPECT_EQ(event.milliseconds, 30);
        }
    }
}

TEST(Wipe, OutClearsFromTheTopAndBottomRows) {
    OpenField f;
    wipe_in(f.field);
    f.con.record_events(true);
    wipe_out(f.field);
    const std::string& block = sjis("■");

    // Frame 1 clears all of row 0 from the left and all of row 18 from the right.
    CellGrid first(f.con.grid().width(), f.con.grid().height());
    for (int row = 0; row < 19; ++row) {
        std::string all;
        for (int j = 0; j < 27; ++j) all += block;
        first.set_cursor(0, row);
        first.write(all);
    }
    int seen = 0;
    for (const auto& event : f.con.events()) {
        if (event.kind == MemoryConsole::Event::sleep) {
            if (++seen == 1) break;
            continue;
        }
        first.set_cursor(event.column, event.row);
        first.write(event.bytes);
    }
    EXPECT_EQ(first.row_bytes(0, 0, 54), std::string(54, ' '));
    EXPECT_EQ(first.row_bytes(18, 0, 54), std::string(54, ' '));
    EXPECT_EQ(first.row_bytes(1, 0, 2), block);
    EXPECT_EQ(first.row_bytes(17, 52, 2), block);

    for (int row = 0; row < 19; ++row) EXPECT_EQ(f.con.row_text(row), std::string(80, ' ')) << row;
    EXPECT_EQ(f.con.total_sleep_ms(), 2 * 19 * 30);
}

std::string map_line(const std::string& body) {
    std::string line = body;
    line.resize(53, ' ');
    return line;
}

TEST(LoadMap, ReadsBytesIntoRowsAndColumns) {
    TempFolder folder;
    std::string text;
    for (int row = 0; row < 19; ++row) text += map_line(row == 2 ? "ab " + sjis("■") : "") + "\n";
    text[60] = '\0';  // row 1, column 6: a NUL is open ground
    folder.write("test.txt", text + "bytes after the map are not read");
    OpenField f;
    ASSERT_TRUE(load_map(f.field, folder.path() / "test.txt"));
    const auto& m = f.field.field_map;
    EXPECT_EQ(m[2][0], 'a');
    EXPECT_EQ(m[2][1], 'b');
    EXPECT_EQ(m[2][2], 0);
    EXPECT_EQ(m[2][3], 0x81);
    EXPECT_EQ(m[2][4], 0xA1);
    EXPECT_EQ(m[1][6], 0);
    for (int row = 0; row < 19; ++row) EXPECT_EQ(m[static_cast<std::size_t>(row)][53], '\n');
    EXPECT_EQ(m[18][52], 0);
}

TEST(LoadMap, CarriageReturnsBeforeLineEndsAreDropped) {
    TempFolder folder;
    std::string lf;
    std::string crlf;
    for (int row = 0; row < 19; ++row) {
        std::string line = map_line(std::string(static_cast<std::size_t>(row), 'x'));
        lf += line + "\n";
        crlf += line + "\r\n";
    }
    folder.write("lf.txt", lf);
    folder.write("crlf.txt", crlf);
    OpenField a;
    OpenField b;
    ASSERT_TRUE(load_map(a.field, folder.path() / "lf.txt"));
    ASSERT_TRUE(load_map(b.field, folder.path() / "crlf.txt"));
    EXPECT_EQ(a.field.field_map, b.field.field_map);
    EXPECT_EQ(b.field.field_map[18][17], 'x');
    EXPECT_EQ(b.field.field_map[18][18], 0);
    EXPECT_EQ(b.field.field_map[18][53], '\n');
}

TEST(LoadMap, ShortFileEndsInBlockingCellsDrawnAs0xFF) {
    TempFolder folder;
    folder.write("test.txt", map_line("#") + "\n" + "#  #");  // 58 bytes
    OpenField f;
    ASSERT_TRUE(load_map(f.field, folder.path() / "test.txt"));
    const auto& m = f.field.field_map;
    EXPECT_EQ(m[1][0], '#');
    EXPECT_EQ(m[1][1], 0);
    EXPECT_EQ(m[1][3], '#');
    EXPECT_EQ(m[1][4], -1);
    EXPECT_EQ(m[18][53], -1);
    EXPECT_FALSE(can_move(f.field, key_down, 0, 17));

    draw_map(f.field);
    EXPECT_EQ(f.con.cell(0, 1).byte, '#');
    EXPECT_EQ(f.con.cell(1, 1).byte, ' ');
    EXPECT_EQ(f.con.cell(4, 1).byte, 0xFF);
    EXPECT_EQ(f.con.cell(53, 18).byte, 0xFF);
    EXPECT_EQ(f.con.cell(54, 18).byte, ' ');
}

TEST(LoadMap, ALineOneByteLongerShiftsTheLaterRows) {
    TempFolder folder;
    std::string text = map_line("") + " \n";  // 54 bytes and a line end
    for (int row = 1; row < 19; ++row) text += map_line("#") + "\n";
    folder.write("test.txt", text);
    OpenField f;
    ASSERT_TRUE(load_map(f.field, folder.path() / "test.txt"));
    EXPECT_EQ(f.field.field_map[0][53], 0);
    EXPECT_EQ(f.field.field_map[1][0], '\n');
    EXPECT_EQ(f.field.field_map[1][1], '#');
}

#ifndef _WIN32
using test::bytes_read_so_far;

TEST(LoadMap, ReadsNoMoreThanTheMapHolds) {
    TempFolder folder;
    std::string text;
    for (int row = 0; row < 19; ++row) text += map_line("#") + "\n";
    folder.write("test.txt", text + std::string(16u << 20, 'x'));
    OpenField f;
    const std::uint64_t before = bytes_read_so_far();
    ASSERT_TRUE(load_map(f.field, folder.path() / "test.txt"));
    EXPECT_LT(bytes_read_so_far() - before, 64u * 1024u);
    EXPECT_EQ(f.field.field_map[18][0], '#');
    EXPECT_EQ(f.field.field_map[18][53], '\n');
}

TEST(LoadMap, MissingOrNotARegularFile) {
    struct Case {
        const char* label;
        void (*make)(const std::filesystem::path& file);
    };
    const std::vector<Case> cases = {
        {"no file", [](const std::filesystem::path&) {}},
        {"a folder", [](const std::filesystem::path& f) { std::filesystem::create_directory(f); }},
        {"a FIFO nobody writes", [](const std::filesystem::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
        {"a link to an endless device",
         [](const std::filesystem::path& f) { std::filesystem::create_symlink("/dev/zero", f); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        c.make(folder.path() / "test.txt");
        OpenField f;
        EXPECT_FALSE(load_map(f.field, folder.path() / "test.txt"));
    }
}

#endif  // the process's read count, FIFOs and devices are Linux's
TEST(StartField, MissingMapEndsAfterTheWipeWithNothingShown) {
    TempFolder folder;
    OpenField f;
    f.place_hero(46, 16);
    EXPECT_FALSE(start_field(f.field, folder.path() / "test.txt"));
    EXPECT_EQ(f.con.total_sleep_ms(), 2 * 19 * 30);
    for (int row = 0; row < 25; ++row) EXPECT_EQ(f.con.row_text(row), std::string(80, ' '));
}

TEST(StartField, BundledMapHeroAndEnemy) {
    OpenField f;
    std::string error;
    ASSERT_EQ(load_game_data(f.field.records, assets_folder(), error), LoadResult::ok) << error;
    ASSERT_TRUE(start_field(f.field, std::filesystem::path(assets_folder()) / "test.txt"));

    const auto& m = f.field.field_map;
    const int hx = f.hero_x();
    const int hy = f.hero_y();
    EXPECT_EQ(m[static_cast<std::size_t>(hy)][static_cast<std::size_t>(hx)], 0);
    EXPECT_EQ(m[static_cast<std::size_t>(hy)][static_cast<std::size_t>(hx + 1)], 0);
    EXPECT_EQ(m[3][8], 0);
    EXPECT_EQ(m[3][9], 0);
    EXPECT_FALSE(in_pursuit_range(f.field));  // the hero starts away from the enemy
    for (int row = 0; row < 19; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(m[static_cast<std::size_t>(row)][53], '\n');
        for (int column = 0; column < 53; ++column) {
            auto cell = m[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            // Blocks stand on even columns, so the two-column figures line up.
            if (cell != 0) {
                EXPECT_EQ(is_sjis_lead(static_cast<std::uint8_t>(cell)), column % 2 == 0) << column;
            }
        }
    }

    EXPECT_TRUE(f.con.shows(hx, hy, "●"));
    EXPECT_TRUE(f.con.shows(8, 3, "兵"));
    EXPECT_TRUE(f.con.shows(0, 0, "■■■■■■■■■■■■■■■■■■■■■■■■■■"));
    EXPECT_EQ(f.enemy_x(), 8);
    EXPECT_EQ(f.enemy_y(), 3);
}

}  // namespace
}  // namespace rpg
