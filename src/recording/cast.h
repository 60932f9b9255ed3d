#pragma once
// A replay's screens as an asciicast (version 2) file, which terminal
// recording players show: a header line, then one line for each change of
// the screen, `[seconds, "o", "what the terminal was sent"]`, in UTF-8. The
// game's rows are drawn whole where they changed, each character given its
// two columns as on the terminal (platform/row_render.h).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/console_options.h"
#include "recording/recording.h"

namespace rpg {

class CastWriter {
public:
    // Writes the header into `out`: the screen's size, and the moment the
    // run began (seconds since 1970) when known.
    CastWriter(RecordingWriter& out, int columns, int rows, bool ambiguous_wide, std::int64_t started_seconds);

    // The screen at `ms` milliseconds into the run: the rows that changed
    // since the last frame, if any.
    void frame(const CellGrid& grid, std::int64_t ms);

private:
    RecordingWriter& out_;
    AmbiguousWidth ambiguous_;
    std::vector<std::vector<Cell>> rows_;  // as last written
    std::int64_t last_ms_ = 0;
    bool first_ = true;
};

// A text as a JSON string, quotes included.
std::string json_string(std::string_view utf8);

}  // namespace rpg
