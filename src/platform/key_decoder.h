#pragma once
// Turns the bytes a terminal sends into the key codes the game reads.
//
// Arrow keys become the prefix 224 and then 72, 80, 75 or 77, whether the
// terminal sends them as "ESC [ A" or "ESC O A"; Home and End the prefix and
// 71 or 79, as on Windows (the game answers to neither; a replay does). Every
// other escape sequence (function keys, arrows with Ctrl or Shift, mouse
// reports, Alt+key) is
// swallowed whole, so that none of its letters reach the game as codes ("ESC O
// P", F1, must not read as 80, a down arrow), however long it runs: it ends
// only at its final byte, at a control byte, or when nothing more comes in
// time. Any other byte is its own code.
// An ESC that nothing follows within a short time is a key of its own (27).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace rpg {

// An ESC with nothing after it for this long is the Escape key itself, on
// every console. The rest of an arrow may come that much later over a slow or
// busy link (ssh, a loaded page); only a lone ESC, a key the game does not
// use, waits for it: a sequence that arrives whole is decoded as soon as its
// last byte is read.
inline constexpr std::int64_t escape_timeout_ns = 150'000'000;

class KeyDecoder {
public:
    // Feeds one byte; finished key codes are appended to `out`.
    void feed(unsigned char byte, std::deque<int>& out);
    // True while the bytes fed so far end inside an escape sequence.
    bool pending() const { return state_ != State::ground; }
    // No further byte came in time: an ESC on its own is delivered as 27, and
    // an unfinished sequence is dropped.
    void flush(std::deque<int>& out);

private:
    enum class State { ground, escape, csi, ss3, mouse };
    void finish_sequence(unsigned char final_byte, std::deque<int>& out);

    // More than this of a sequence's parameters is never needed to tell a
    // plain arrow, and is not kept.
    static constexpr std::size_t max_kept_params = 8;

    State state_ = State::ground;
    std::string params_;     // parameter and intermediate bytes of the sequence, its start only
    bool overlong_ = false;  // the sequence had more than the bytes kept
    int mouse_bytes_left_ = 0;
};

}  // namespace rpg
