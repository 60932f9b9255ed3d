#pragma once
// The message window: a framed area of five lines (rows 13 to 17 from column
// 27) where every battle message is shown. The newest line is typed at the top
// byte by byte; each new message pushes the older ones down and drops the fifth.

#include <string>
#include <string_view>

#include "screen/view.h"

namespace rpg {

void draw_message_frame(View& v);
// Shows a new message: scroll, put the text in line 0, redraw and type it.
// The window keeps its own copy of the text.
void post_message(View& v, std::string_view sjis_text);
// Blanks the five rows at once and empties the five lines.
void clear_message_window(View& v);
// Moves every line down one place and drops the oldest; the row of the
// oldest is blanked when it showed text.
void scroll_messages(View& v);
// Ends with the newest line's start announced to a screen reader, with its text.
void show_messages(View& v);
// Where a screen reader reads: the start of line k - 1 (k from 1 to 5), said
// no more (it was said as it came).
void announce_message_line(View& v, int k);
// Blanks the row of line k - 1 (k counted from 1 to 5): 51 blanks from (O + 2, 12 + k).
void erase_message_line(View& v, int k);

// The template with the number, written in decimal, in place of its first blank.
std::string format_number_message(std::string_view sjis_template, i16 value);
// The template with the name in place of its first blank.
std::string format_name_message(std::string_view sjis_template, std::string_view sjis_name);

}  // namespace rpg
