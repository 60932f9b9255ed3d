// The keyboard decoder against what real terminals send.

#include "platform/key_decoder.h"

#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "platform/console.h"

namespace rpg {
namespace {

std::vector<int> decode(const std::string& bytes, bool flush_at_end = false) {
    KeyDecoder decoder;
    std::deque<int> out;
    for (char c : bytes) decoder.feed(static_cast<unsigned char>(c), out);
    if (flush_at_end) decoder.flush(out);
    return {out.begin(), out.end()};
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

struct Case {
    const char* name;
    std::string bytes;
    std::vector<int> codes;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class KeyDecoderSequences : public ::testing::TestWithParam<Case> {};

TEST_P(KeyDecoderSequences, GiveTheGamesCodes) {
    const Case& c = GetParam();
    // Whatever follows a finished sequence must come through untouched.
    std::vector<int> expected = c.codes;
    expected.push_back('x');
    EXPECT_EQ(decode(c.bytes + "x"), expected);
}

const Case sequences[] = {
    {"up", "\x1b[A", {key_arrow_prefix, key_up}},
    {"down", "\x1b[B", {key_arrow_prefix, key_down}},
    {"right", "\x1b[C", {key_arrow_prefix, key_right}},
    {"left", "\x1b[D", {key_arrow_prefix, key_left}},
    {"up_application_mode", "\x1bOA", {key_arrow_prefix, key_up}},
    {"down_application_mode", "\x1bOB", {key_arrow_prefix, key_down}},
    {"right_application_mode", "\x1bOC", {key_arrow_prefix, key_right}},
    {"left_application_mode", "\x1bOD", {key_arrow_prefix, key_left}},
    {"up_with_plain_parameter", "\x1b[1A", {key_arrow_prefix, key_up}},
    {"ctrl_up_swallowed", "\x1b[1;5A", {}},
    {"shift_down_swallowed", "\x1b[1;2B", {}},
    {"f1_swallowed_not_down", "\x1bOP", {}},
    {"f4_swallowed", "\x1bOS", {}},
    {"f5_swallowed", "\x1b[15~", {}},
    {"home_as_on_windows", "\x1b[H", {224, 71}},
    {"end_as_on_windows", "\x1bOF", {224, 79}},
    {"home_and_end_of_the_vt_keypad", "\x1b[1~\x1b[8~", {224, 71, 224, 79}},
    {"shift_end_swallowed", "\x1b[1;2F", {}},
    {"delete_swallowed", "\x1b[3~", {}},
    {"sgr_mouse_press_swallowed", "\x1b[<0;10;5M", {}},
    {"sgr_mouse_release_swallowed", "\x1b[<0;10;5m", {}},
    // An old-style mouse report carries three raw bytes that could read as keys.
    {"x10_mouse_swallowed", std::string("\x1b[M") + " PH", {}},
    {"alt_h_swallowed_not_up", "\x1bH", {}},
    {"alt_p_swallowed_not_down", "\x1bP", {}},
    {"enter", "\r", {key_enter}},
    {"space", " ", {key_space}},
    {"letters_that_match_arrow_codes", "HPKM", {key_up, key_down, key_left, key_right}},
    {"two_arrows_in_one_read", "\x1b[A\x1b[B", {key_arrow_prefix, key_up, key_arrow_prefix, key_down}},
    // A control byte breaks a sequence off and is a key of its own.
    {"broken_sequence_then_enter", "\x1b[12\r", {key_enter}},
    {"broken_sequence_then_high_byte", "\x1b[1\xe3", {0xe3}},
    {"escape_escape_arrow", "\x1b\x1b[A", {27, key_arrow_prefix, key_up}},
    // Within the wait for the rest of a sequence, a control key after Esc is not lost.
    {"escape_then_enter", "\x1b\r", {27, key_enter}},
    // However long a sequence runs, none of it is a key, and its final byte
    // makes no arrow of it.
    {"long_csi_ending_in_h_swallowed", "\x1b[" + repeated("1;", 200) + "H", {}},
    {"long_csi_ending_in_p_swallowed", "\x1b[" + repeated("9", 5000) + "P", {}},
    {"long_csi_ending_in_a_not_an_arrow", "\x1b[" + repeated("1", 9) + "A", {}},
    {"csi_of_ones_not_an_arrow", "\x1b[11A", {}},
    {"long_ss3_swallowed", "\x1bO" + repeated("1;5", 100) + "P", {}},
    {"ss3_with_modifier_not_an_arrow", "\x1bO5A", {}},
    {"ss3_one_not_an_arrow", "\x1bO1A", {}},
    {"long_sequence_then_arrow", "\x1b[" + repeated("<0;", 1000) + "M\x1b[B", {key_arrow_prefix, key_down}},
    {"long_sequence_broken_by_enter", "\x1b[" + repeated("7", 300) + "\r", {key_enter}},
};

INSTANTIATE_TEST_SUITE_P(Terminals, KeyDecoderSequences, ::testing::ValuesIn(sequences),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(KeyDecoder, LoneEscapeComesOnlyWhenNothingFollows) {
    KeyDecoder decoder;
    std::deque<int> out;
    decoder.feed(0x1b, out);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(decoder.pending());
    decoder.flush(out);
    EXPECT_EQ(std::vector<int>(out.begin(), out.end()), std::vector<int>{27});
    EXPECT_FALSE(decoder.pending());
}

TEST(KeyDecoder, EscapeEscapeGivesTwoEscapes) { EXPECT_EQ(decode("\x1b\x1b", true), (std::vector<int>{27, 27})); }

TEST(KeyDecoder, UnfinishedSequenceIsDroppedAtTimeout) {
    EXPECT_EQ(decode("\x1b[1;", true), std::vector<int>{});
    EXPECT_EQ(decode("\x1bO", true), std::vector<int>{});
}

TEST(KeyDecoder, FlushWithNothingPendingGivesNothing) {
    EXPECT_EQ(decode("a", true), std::vector<int>{'a'});
    EXPECT_EQ(decode("\x1b[A", true), (std::vector<int>{key_arrow_prefix, key_up}));
}

TEST(KeyDecoder, BytesSplitAcrossReadsStillMakeOneKey) {
    // Every way of cutting the sequence in two gives the same keys.
    const std::string bytes = "\x1b[1;5A\x1b[B\x1bOP\x1b[<0;10;5Mq";
    const std::vector<int> expected = {key_arrow_prefix, key_down, 'q'};
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        KeyDecoder decoder;
        std::deque<int> out;
        for (std::size_t i = 0; i < cut; ++i) decoder.feed(static_cast<unsigned char>(bytes[i]), out);
        for (std::size_t i = cut; i < bytes.size(); ++i) decoder.feed(static_cast<unsigned char>(bytes[i]), out);
        EXPECT_EQ(std::vector<int>(out.begin(), out.end()), expected) << "cut at " << cut;
    }
}

TEST(KeyDecoder, PendingOnlyInsideASequence) {
    KeyDecoder decoder;
    std::deque<int> out;
    for (char c : std::string("\x1b[1;5")) {
        decoder.feed(static_cast<unsigned char>(c), out);
        EXPECT_TRUE(decoder.pending());
    }
    decoder.feed('A', out);
    EXPECT_FALSE(decoder.pending());
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace rpg
