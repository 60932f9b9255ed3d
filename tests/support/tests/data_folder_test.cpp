// The scratch data folder: a copy of the bundled files, and numbers edited
// in place as the loaders would read them.

#include "support/data_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace rpg::test {
namespace {

TEST(DataFolder, CopiesTheBundledFilesAndRemovesThemAfterwards) {
    std::filesystem::path kept;
    {
        DataFolder folder(assets_folder());
        kept = folder.path();
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(assets_folder())) {
            std::ifstream original(entry.path(), std::ios::binary);
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(folder.read(name), std::string(std::istreambuf_iterator<char>(original), {})) << name;
            ++files;
        }
        EXPECT_EQ(folder.files().size(), files);
        EXPECT_EQ(folder.text_value(pawn_file, enemy::glyph), "兵");
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
    DataFolder empty;
    EXPECT_TRUE(std::filesystem::is_empty(empty.path()));
}

TEST(DataFolder, SetNumberReplacesOnlyThatValueCountedAsTheLoadersCount) {
    DataFolder folder;
    // A Shift-JIS name (two bytes that look like nothing in ASCII), and
    // numbers apart by every blank the loaders know.
    folder.write("Pawn.txt", "\x95\xba\r\n1\r\n18 20\t6\v7\f8\n");
    folder.set_number("Pawn.txt", 3, 1234);
    folder.set_number("Pawn.txt", 1, -5);
    folder.set_number("Pawn.txt", 6, 0);
    EXPECT_EQ(folder.read("Pawn.txt"), "\x95\xba\r\n-5\r\n18 1234\t6\v7\f0\n");
    EXPECT_EQ(folder.value_bytes("Pawn.txt", 5), "7");

    struct Case {
        int index;
        const char* why;
    };
    for (const Case& c : {Case{0, "a name is not a number"}, Case{7, "there is no eighth value"}}) {
        EXPECT_THROW(folder.set_number("Pawn.txt", c.index, 1), std::runtime_error) << c.why;
    }
    EXPECT_THROW(folder.value_bytes("Pawn.txt", 7), std::runtime_error);
}

}  // namespace
}  // namespace rpg::test
