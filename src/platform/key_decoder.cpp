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
            if (byte == '[') {
                state_ = State::csi;
                params_.clear();
            } else if (byte == 'O') {
                state_ = State::ss3;
            } else if (byte == esc) {
                // ESC ESC: the first was a key of its own; the second may start a sequence.
                out.push_back(esc);
            } else {
                // Alt with a key: swallowed, so that Alt+H is not an up arrow.
                state_ = State::ground;
            }
            return;
        case State::ss3:
            state_ = State::ground;
            if (int direction = arrow_code(byte)) push_arrow(direction, out);
            return;
        case State::csi:
            if (byte >= 0x40 && byte <= 0x7E) {
                finish_csi(byte, out);
            } else if (byte < 0x20 || byte > 0x7E) {
                // Not part of any sequence: the sequence is broken off and the byte stands alone.
                state_ = State::ground;
                feed(byte, out);
            } else {
                params_.push_back(static_cast<char>(byte));
                if (params_.size() > 64) state_ = State::ground;  // runaway sequence
            }
            return;
        case State::mouse:
            if (--mouse_bytes_left_ == 0) state_ = State::ground;
            return;
    }
}

void KeyDecoder::finish_csi(unsigned char final_byte, std::deque<int>& out) {
    state_ = State::ground;
    if (final_byte == 'M' && params_.empty()) {
        // An old-style mouse report: three raw bytes follow.
        state_ = State::mouse;
        mouse_bytes_left_ = 3;
        return;
    }
    int direction = arrow_code(final_byte);
    // A plain arrow has no parameter or "1"; with a modifier ("1;5") it is
    // another key and is swallowed.
    if (direction && (params_.empty() || params_ == "1")) push_arrow(direction, out);
}

void KeyDecoder::flush(std::deque<int>& out) {
    if (state_ == State::escape) out.push_back(esc);
    state_ = State::ground;
}

}  // namespace rpg
