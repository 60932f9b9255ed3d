#pragma once
// Shared pieces of the battle-screen tests: a view of an in-memory console
// that records what was printed and how long the game slept, and the records
// the drawings are given.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "data/records.h"
#include "fixed_text.h"
#include "platform/encoding.h"
#include "platform/memory/memory_console.h"
#include "screen/view.h"

namespace rpg::testing {

// A key far enough in the future that no typing loop sees it before the game
// blocks waiting for it.
inline constexpr std::int64_t later = 1'000'000'000;

class ScreenTest : public ::testing::Test {
protected:
    ScreenTest() { con.record_events(true); }

    MemoryConsole con{80, 25};
    View v{con};
    GameRecords rec;

    // The lengths of every pause, in order.
    std::vector<int> sleeps() const {
        std::vector<int> out;
        for (const auto& e : con.events())
            if (e.kind == MemoryConsole::Event::sleep) out.push_back(e.milliseconds);
        return out;
    }
    std::vector<MemoryConsole::Event> prints() const {
        std::vector<MemoryConsole::Event> out;
        for (const auto& e : con.events())
            if (e.kind == MemoryConsole::Event::print) out.push_back(e);
        return out;
    }
    // The prints that started on a row.
    std::vector<MemoryConsole::Event> prints_on_row(int row) const {
        std::vector<MemoryConsole::Event> out;
        for (const auto& e : prints())
            if (e.row == row) out.push_back(e);
        return out;
    }
    // True when every cell from..to (inclusive) of a row shows nothing: blanks
    // and ideographic spaces (from must be the start of a character).
    bool looks_blank(int row, int from, int to) const {
        for (int x = from; x <= to; ++x) {
            std::uint8_t byte = con.cell(x, row).byte;
            if (byte == ' ') continue;
            if (byte == 0x81 && x < to && con.cell(x + 1, row).byte == 0x40) {
                ++x;
                continue;
            }
            return false;
        }
        return true;
    }
    // The cells of a row holding the given attribute, as columns.
    std::vector<int> columns_with_attribute(int row, std::uint16_t attribute) const {
        std::vector<int> out;
        for (int x = 0; x < con.grid().width(); ++x)
            if (con.attribute_at(x, row) == attribute) out.push_back(x);
        return out;
    }
};

inline std::vector<int> column_range(int from, int to) {
    std::vector<int> out;
    for (int x = from; x <= to; ++x) out.push_back(x);
    return out;
}

inline std::string u8(std::string_view sjis_text) { return utf8_from_sjis(sjis_text); }

}  // namespace rpg::testing
