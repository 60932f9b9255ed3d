#include "platform/key_decoder.h"

#include "platform/console.h"

namespace rpg {
namespace {

constexpr unsigned char esc = 0x1B;

// The direction code of an arrow key's final byte, or 0.
int arrow_code(unsigned char final_byte) {
    switch (final_byte) {
        case 'A': return key_up;
        case 'B': return key_down;
        case 'C': return key_right;
        case 'D': return key_left;
        default: return 0;
    }
}

void push_arrow(int direction, std::deque<int>& out) {
    out.push_back(key_arrow_prefix);
    out.push_back(direction);
}

}  // namespace

void KeyDecoder::feed(unsigned char byte, std::deque<int>& out) {
    switch (state_) {
        case State::ground:
            if (byte == esc) {
                state_ = State::escape;
            } else {
                out.push_back(byte);
            }
            return;
        case State::escape:
            if (byte == '[' || byte == 'O') {
                state_ = byte == '[' ? State::csi : State::ss3;
                params_.clear();
                overlong_ = false;
            } else if (byte == esc) {
                // ESC ESC: the first was a key of its own; the second may start a sequence.
                out.push_back(esc);
            } else if (byte < 0x20) {
                // Esc and then Enter, say, typed within the wait: both are keys.
                out.push_back(esc);
                state_ = State::ground;
                feed(byte, out);
            } else {
                // Alt with a key: swallowed, so that Alt+H is not an up arrow.
                state_ = State::ground;
            }
            return;
        case State::ss3:
        case State::csi:
            if (byte >= 0x40 && byte <= 0x7E) {
                finish_sequence(byte, out);
            } else if (byte < 0x20 || byte > 0x7E) {
                // Not part of any sequence: the sequence is broken off and the byte stands alone.
                state_ = State::ground;
                feed(byte, out);
            } else if (params_.size() < max_kept_params) {
                params_.push_back(static_cast<char>(byte));
            } else {
                // However long it runs, the sequence is swallowed whole; only
                // its start is kept, and it is no plain arrow.
                overlong_ = true;
            }
            return;
        case State::mouse:
            if (--mouse_bytes_left_ == 0) state_ = State::ground;
            return;
    }
}

void KeyDecoder::finish_sequence(unsigned char final_byte, std::deque<int>& out) {
    const bool csi = state_ == State::csi;
    state_ = State::ground;
    if (csi && final_byte == 'M' && params_.empty()) {
        // An old-style mouse report: three raw bytes follow.
        state_ = State::mouse;
        mouse_bytes_left_ = 3;
        return;
    }
    int direction = arrow_code(final_byte);
    // A plain arrow has no parameter or "1" ("ESC O" has none); with a
    // modifier ("1;5") it is another key and is swallowed.
    const bool plain = !overlong_ && (params_.empty() || (csi && params_ == "1"));
    // Home and End come as "ESC [ H" and "ESC [ F" (or with "ESC O"), or as
    // "ESC [ 1 ~" and "ESC [ 4 ~" (7 and 8 on some terminals).
    if (plain && final_byte == 'H') direction = key_home;
    if (plain && final_byte == 'F') direction = key_end;
    if (csi && !overlong_ && final_byte == '~') {
        if (params_ == "1" || params_ == "7") direction = key_home;
        if (params_ == "4" || params_ == "8") direction = key_end;
    }
    if (direction && (plain || final_byte == '~')) push_arrow(direction, out);
}

void KeyDecoder::flush(std::deque<int>& out) {
    if (state_ == State::escape) out.push_back(esc);
    state_ = State::ground;
}

}  // namespace rpg
