#include "support/terminal_screen.h"

#include <vterm.h>

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace rpg::test {
namespace {

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

// The emulator calls back into these.
struct ScreenGlue {
    static void output(const char* bytes, std::size_t length, void* user) {
        auto* self = static_cast<TerminalScreen*>(user);
        if (self->answer_) self->answer_(std::string_view(bytes, length));
    }
    static int property(VTermProp prop, VTermValue* value, void* user) {
        auto* self = static_cast<TerminalScreen*>(user);
        if (prop == VTERM_PROP_ALTSCREEN) self->alternate_screen_ = value->boolean != 0;
        if (prop == VTERM_PROP_CURSORVISIBLE) self->cursor_visible_ = value->boolean != 0;
        return 1;
    }
    static int damage(VTermRect rect, void* user) {
        auto& touched = static_cast<TerminalScreen*>(user)->touched_;
        const int end = std::min(rect.end_row, static_cast<int>(touched.size()));
        for (int r = std::max(rect.start_row, 0); r < end; ++r) touched[static_cast<std::size_t>(r)] = true;
        return 1;
    }
    static int moverect(VTermRect dest, VTermRect src, void* user) {
        damage(dest, user);
        damage(src, user);
        return 0;  // the emulator reports the moved cells as damage too
    }
};

namespace {
const VTermScreenCallbacks screen_callbacks = {
    &ScreenGlue::damage,    // damage
    &ScreenGlue::moverect,  // moverect
    nullptr,                // movecursor
    &ScreenGlue::property,  // settermprop
    nullptr,                // bell
    nullptr,                // resize
    nullptr,                // sb_pushline
    nullptr,                // sb_popline
};
}  // namespace

TerminalScreen::TerminalScreen(int columns, int rows, std::function<void(std::string_view)> answer)
    : columns_(columns), rows_(rows), answer_(std::move(answer)), touched_(static_cast<std::size_t>(rows), false) {
    vt_ = vterm_new(rows_, columns_);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen_, &screen_callbacks, this);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
    vterm_output_set_callback(vt_, &ScreenGlue::output, this);
    touched_.assign(touched_.size(), false);
}

TerminalScreen::~TerminalScreen() { vterm_free(vt_); }

void TerminalScreen::write(std::string_view bytes) {
    vterm_input_write(vt_, bytes.data(), bytes.size());
    vterm_screen_flush_damage(screen_);
}

void TerminalScreen::resize(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    touched_.assign(static_cast<std::size_t>(rows), true);
    vterm_set_size(vt_, rows, columns);
}

int TerminalScreen::cursor_column() const {
    VTermPos at{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &at);
    return at.col;
}

int TerminalScreen::cursor_row() const {
    VTermPos at{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &at);
    return at.row;
}

Cell TerminalScreen::cell(int column, int row) const {
    Cell out;
    if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return out;
    VTermScreenCell c{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &c);
    out.bright = c.attrs.bold != 0;
    if (c.chars[0] == static_cast<std::uint32_t>(-1)) {
        out.width = 0;
        out.text.clear();
        return out;
    }
    out.width = c.width;
    if (c.chars[0] == 0) {
        out.text = " ";
        return out;
    }
    out.text.clear();
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && c.chars[i] != 0; ++i) append_utf8(out.text, c.chars[i]);
    return out;
}

std::string TerminalScreen::text(int row, int column, int length) const {
    std::string out;
    const int end = length < 0 ? columns_ : std::min(columns_, column + length);
    for (int x = column; x < end; ++x) out += cell(x, row).text;
    return out;
}

std::string TerminalScreen::screen_text() const {
    std::string out;
    for (int row = 0; row < rows_; ++row) {
        std::string line = text(row);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line;
        out += '\n';
    }
    return out;
}

std::vector<Cell> TerminalScreen::snapshot() const {
    std::vector<Cell> cells;
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) cells.push_back(cell(column, row));
    }
    return cells;
}

std::vector<int> TerminalScreen::take_touched_rows() {
    std::vector<int> rows;
    for (std::size_t r = 0; r < touched_.size(); ++r) {
        if (!touched_[r]) continue;
        touched_[r] = false;
        rows.push_back(static_cast<int>(r));
    }
    return rows;
}

std::string TerminalScreen::dump() const {
    std::ostringstream out;
    for (int row = 0; row < rows_; ++row) {
        std::string line = text(row);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << (row < 10 ? " " : "") << row << "|" << line;
        // Where the bright text is, as column ranges.
        std::string bright;
        for (int x = 0; x < columns_; ++x) {
            if (!cell(x, row).bright || cell(x, row).text == " ") continue;
            int end = x;
            while (end + 1 < columns_ && cell(end + 1, row).bright) ++end;
            bright += " " + std::to_string(x) + "-" + std::to_string(end);
            x = end;
        }
        if (!bright.empty()) out << "   [bright:" << bright << "]";
        out << "\n";
    }
    return out.str();
}

}  // namespace rpg::test
