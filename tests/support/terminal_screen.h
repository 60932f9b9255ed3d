#pragma once
// A terminal's screen as libvterm makes it of a program's output: cells
// (text, width, brightness), the alternate screen and the cursor's
// place and visibility, and which rows the output touched.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace rpg::test {

// One screen cell as the terminal shows it.
struct Cell {
    std::string text;  // UTF-8; " " for an empty cell; "" for the right half of a wide character
    int width = 1;     // 1, or 2 for the first half of a wide character, 0 for its right half
    bool bright = false;
    bool operator==(const Cell&) const = default;
};

class TerminalScreen {
public:
    // `answer` takes the bytes the terminal sends back to the program (its
    // replies to the program's queries).
    TerminalScreen(int columns, int rows, std::function<void(std::string_view)> answer);
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    // Takes in output of the program.
    void write(std::string_view bytes);
    void resize(int columns, int rows);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    Cell cell(int column, int row) const;  // a blank cell outside the screen
    // The text of a row from a column on, over `length` columns (to the end
    // when negative); the right halves of wide characters add nothing.
    std::string text(int row, int column = 0, int length = -1) const;
    std::string screen_text() const;  // every row, trailing blanks removed
    // A copy of every cell, for comparing a screen before and after.
    std::vector<Cell> snapshot() const;
    bool alternate_screen() const { return alternate_screen_; }
    bool cursor_visible() const { return cursor_visible_; }
    // Where the cursor stands, counted from 0.
    int cursor_column() const;
    int cursor_row() const;

    // The rows the output has touched since the last call (each once, in
    // order); their cells may or may not differ from before.
    std::vector<int> take_touched_rows();

    // The rows with the column ranges of bright text, for failure messages.
    std::string dump() const;

private:
    friend struct ScreenGlue;
    int columns_;
    int rows_;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    std::function<void(std::string_view)> answer_;
    bool alternate_screen_ = false;
    bool cursor_visible_ = true;
    std::vector<bool> touched_;
};

}  // namespace rpg::test
