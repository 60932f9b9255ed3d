#include "platform/web/web_console_core.h"

#include <algorithm>
#include <vector>

#include "platform/char_widths.h"
#include "platform/row_render.h"

namespace rpg {
namespace web_detail {

int sleep_towards(std::int64_t now_ns, std::int64_t deadline_ns) {
    if (deadline_ns <= now_ns) return 0;
    const std::int64_t whole_ms = (deadline_ns - now_ns) / 1'000'000;
    return static_cast<int>(std::min<std::int64_t>(whole_ms, 1'000'000'000));
}

namespace {

// A cursor move, counted from 0.
void move_to(std::string& out, int column, int row) {
    out += "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
}

// The page's widget as a console device: it draws characters as the Unicode
// tables say, and is sent only the rows that changed, trailing blanks erased
// rather than written.
class WidgetHost final : public ConsoleHost {
public:
    explicit WidgetHost(WebHost& page) : page_(page) {}

    std::string problem() override { return page_.problem(); }
    std::string start(AmbiguousWidth) override {
        // The look reset, the screen cleared, the cursor shown at the top left.
        page_.write("\x1b[0m\x1b[?25h\x1b[H\x1b[2J");
        return {};
    }
    void started(AmbiguousWidth ambiguous) override { ambiguous_ = ambiguous; }
    // The screen stays on the page after the end, as it was last drawn.
    void release() override { page_.write("\x1b[0m\x1b[?25h"); }
    std::string_view name() const override { return "the page's terminal"; }

    Input read_available() override { return Input::of(page_.take_input()); }
    Wake wait_input(int timeout_ms) override {
        page_.wait_input(timeout_ms);
        return {};
    }
    void write(std::string_view bytes) override { page_.write(bytes); }

    ScreenSize size() override { return {page_.columns(), page_.rows()}; }
    void paint(CellGrid& grid, bool whole) override;
    void show_notice(const std::vector<std::string>& lines) override;
    int room_check_ms() const override { return web_detail::room_check_ms; }
    void say(std::string_view utf8) override { page_.say(utf8); }

    std::int64_t monotonic_ns() override { return page_.monotonic_ns(); }
    std::int64_t now_seconds() override { return page_.now_seconds(); }
    // The page runs at least once in every pause, even one already late, so
    // that what was written is drawn and keys come in.
    bool sleep_until(std::int64_t deadline_ns) override {
        page_.sleep(sleep_towards(page_.monotonic_ns(), deadline_ns));
        return page_.monotonic_ns() >= deadline_ns;
    }
    std::int64_t pause_catch_up_ns() const override { return web_detail::pause_catch_up_ns; }
    int polls_per_yield() const override { return web_detail::polls_per_yield; }
    void yield() override { page_.sleep(0); }

private:
    WebHost& page_;
    AmbiguousWidth ambiguous_ = AmbiguousWidth::narrow;
    bool paint_all_ = true;
    int shown_column_ = -1;  // where the cursor was put at the last update
    int shown_row_ = -1;
    bool shown_bright_ = false;
    std::string out_;
};

void WidgetHost::show_notice(const std::vector<std::string>& lines) {
    std::string out = "\x1b[0m\x1b[2J";
    shown_bright_ = false;
    int row = 0;
    for (const std::string& line : lines) {
        move_to(out, 0, row++);
        out += line;
    }
    page_.write(out);
    shown_column_ = shown_row_ = -1;
}

void WidgetHost::paint(CellGrid& grid, bool whole) {
    const int columns = std::min(grid.width(), page_.columns());
    const int rows = std::min(grid.height(), page_.rows());
    if (columns <= 0 || rows <= 0) return;
    out_.clear();
    if (whole) paint_all_ = true;
    const bool cleared = paint_all_;
    if (paint_all_) {
        out_ += "\x1b[0m\x1b[2J";
        shown_bright_ = false;
        grid.mark_all_dirty();
        paint_all_ = false;
    }
    const CharWidth width_of = [this](std::string_view c) { return table_char_width(c, ambiguous_); };
    for (int r = 0; r < rows; ++r) {
        if (!grid.row_dirty(r)) continue;
        const std::vector<RowPiece> pieces = render_row(grid, r, width_of, columns);
        std::size_t used = pieces.size();
        while (used > 0 && pieces[used - 1].utf8 == " ") --used;
        if (used == 0 && cleared) continue;
        move_to(out_, 0, r);
        for (std::size_t i = 0; i < used; ++i) {
            const bool bright = (pieces[i].attribute & attr_intensity) != 0;
            if (bright != shown_bright_) {
                out_ += bright ? "\x1b[1m" : "\x1b[0m";
                shown_bright_ = bright;
            }
            out_ += pieces[i].utf8;
        }
        if (used < pieces.size()) {
            if (shown_bright_) {
                out_ += "\x1b[0m";
                shown_bright_ = false;
            }
            out_ += "\x1b[K";
        }
    }
    grid.clear_dirty();

    const int column = std::clamp(grid.cursor_column(), 0, columns - 1);
    const int row = std::clamp(grid.cursor_row(), 0, rows - 1);
    if (out_.empty() && column == shown_column_ && row == shown_row_) return;
    move_to(out_, column, row);
    page_.write(out_);
    shown_column_ = column;
    shown_row_ = row;
}

}  // namespace
}  // namespace web_detail

WebConsoleCore::WebConsoleCore(WebHost& host, Options options)
    : ConsoleSession(std::make_unique<web_detail::WidgetHost>(host), options) {}

}  // namespace rpg
