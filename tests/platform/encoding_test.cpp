// The boundary between the game's Shift-JIS and the terminal's UTF-8.

#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

namespace rpg {
namespace {

struct Symbol {
    const char* utf8;
    std::string sjis;
};

// Every symbol the screens draw, a kana, kanji and a half-width katakana;
// and characters with two codes, which take the one the Windows code page gives.
const Symbol symbols[] = {
    {"●", "\x81\x9c"},      {"■", "\x81\xa1"},  {"×", "\x81\x7e"},  {"＿", "\x81\x51"},
    {"￣", "\x81\x50"},     {"／", "\x81\x5e"}, {"＜", "\x81\x83"}, {"＞", "\x81\x84"},
    {"\u3000", "\x81\x40"}, {"相", "\x91\x8a"}, {"ダ", "\x83\x5f"}, {"ｱ", "\xb1"},
    {"ⅰ", "\xfa\x40"},      {"纊", "\xfa\x5c"}, {"∵", "\x81\xe6"},  {"Ⅰ", "\x87\x54"},
};

void PrintTo(const Symbol& s, std::ostream* out) { *out << s.utf8; }

class SymbolBoth : public ::testing::TestWithParam<Symbol> {};

TEST_P(SymbolBoth, ConvertsBothWays) {
    const Symbol& s = GetParam();
    EXPECT_EQ(sjis(s.utf8), s.sjis);
    EXPECT_EQ(utf8_from_sjis(s.sjis), s.utf8);
    std::size_t length = 0;
    ScreenChar c = decode_sjis_at(s.sjis, 0, length);
    EXPECT_EQ(c.utf8, s.utf8);
    EXPECT_TRUE(c.valid);
    EXPECT_EQ(length, s.sjis.size());
    EXPECT_EQ(c.columns, static_cast<int>(s.sjis.size()));  // one column per byte
    if (s.sjis.size() == 2) {
        EXPECT_EQ(utf8_of_pair(static_cast<std::uint8_t>(s.sjis[0]), static_cast<std::uint8_t>(s.sjis[1])), s.utf8);
    }
}

INSTANTIATE_TEST_SUITE_P(GameSymbols, SymbolBoth, ::testing::ValuesIn(symbols));

TEST(Encoding, SjisGivesTheSameTextEveryTime) {
    const std::string& first = sjis("たたかう");
    const std::string& again = sjis("たたかう");
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(first.size(), 8u);
}

TEST(Encoding, TextWithoutShiftJisFormIsRefused) { EXPECT_THROW(sjis("\u00e9\u0101"), std::logic_error); }

TEST(Encoding, PairsThatAreNoCharacter) {
    EXPECT_EQ(utf8_of_pair(0x85, 0x40), "");  // an empty row of the code page
    EXPECT_EQ(utf8_of_pair(0x81, 0x7f), "");  // 0x7F never follows a first byte
    EXPECT_EQ(utf8_of_pair(0x81, 0x20), "");
    EXPECT_EQ(utf8_of_pair(0x41, 0x41), "");  // not a first byte at all
}

struct Bad {
    const char* name;
    std::string bytes;
    std::string utf8;
};

void PrintTo(const Bad& b, std::ostream* out) { *out << b.name; }

class InvalidBytes : public ::testing::TestWithParam<Bad> {};

TEST_P(InvalidBytes, ShowThePlaceholder) { EXPECT_EQ(utf8_from_sjis(GetParam().bytes), GetParam().utf8); }

const Bad invalid[] = {
    {"control",
     "a\x01"
     "b",
     "a?b"},
    {"delete", "\x7f", "?"},
    {"byte_0x80", "\x80", "?"},
    {"byte_0xa0", "\xa0", "?"},
    {"bytes_above_0xfc", "\xfd\xfe\xff", "???"},
    {"first_byte_at_the_end", "ab\x81", "ab?"},
    {"first_byte_before_a_blank", "\x81 x", "? x"},
    {"first_byte_before_0x7f", "\x81\x7f", "??"},
    {"unassigned_pair", "\x85\x40", "?@"},
    {"two_first_bytes_pair_up", "\x81\x81\x9c", "＝?"},
};

INSTANTIATE_TEST_SUITE_P(Bytes, InvalidBytes, ::testing::ValuesIn(invalid),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Encoding, DecodeReportsLengthAndValidity) {
    const std::string text = std::string("A") + "\x81\x9c" + "\xff" + "\xb1";
    std::size_t length = 0;
    ScreenChar a = decode_sjis_at(text, 0, length);
    EXPECT_EQ(a.utf8, "A");
    EXPECT_EQ(length, 1u);
    ScreenChar circle = decode_sjis_at(text, 1, length);
    EXPECT_EQ(circle.utf8, "●");
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(circle.columns, 2);
    ScreenChar bad = decode_sjis_at(text, 3, length);
    EXPECT_FALSE(bad.valid);
    EXPECT_EQ(bad.utf8, invalid_placeholder);
    EXPECT_EQ(length, 1u);
    ScreenChar kana = decode_sjis_at(text, 4, length);
    EXPECT_EQ(kana.utf8, "ｱ");
    EXPECT_EQ(kana.columns, 1);
}

TEST(Encoding, HalfWidthKatakanaRange) {
    EXPECT_EQ(utf8_of_byte(0xa1), "｡");
    EXPECT_EQ(utf8_of_byte(0xdf), "ﾟ");
    EXPECT_EQ(utf8_of_byte(0xa0), "");
    EXPECT_EQ(utf8_of_byte(0xe0), "");
}

}  // namespace
}  // namespace rpg
