#pragma once
// What the data file fuzzers share. The loaders read files by name, so each
// input is written into a scratch folder of this process under the name the
// loader reads. An input that loads is then played: a short battle, or a walk
// on the field, so that no value a loader lets through can hurt the game
// further on.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "data/records.h"
#include "platform/memory/memory_console.h"

namespace rpg::fuzz {

// The scratch folder, made at first use and removed when the process ends.
const std::filesystem::path& scratch_folder();
// Writes the input as the named file of the scratch folder.
std::filesystem::path write_input(const char* name, const std::uint8_t* data, std::size_t size);
// The folder of the bundled data files.
std::filesystem::path sample_folder();
// The bundled data files, loaded once.
const GameRecords& bundled_records();
// Stops the run: what the fuzzer found is a fault.
[[noreturn]] void fault(const std::string& what);
// A refusal must name the file and read well on a terminal: UTF-8 text
// without control characters.
void check_refusal(const std::string& error, const char* file);
// The in-memory console with the checks every key-stream run makes as it
// goes: the cursor is only placed on the screen the program is given, each
// byte printed lands on it (the grid has spare rows below, so that a stray
// write is seen rather than dropped), and no pause is negative or turns the
// clock back; a screen reader is sent only to a place on the screen. Every call the game makes is also folded into a
// trace, so that two runs compare by all they did, in order, not only by the screen left.
//
// A run that only repeats one already checked, to see that it does the same,
// needs nothing but its trace: `Drawing::traced` keeps no screen.
class GuardedConsole : public MemoryConsole {
public:
    enum class Drawing { checked, traced };
    GuardedConsole(int columns, int rows, Drawing drawing = Drawing::checked);
    void set_cursor(int column, int row) override;
    void set_attribute(std::uint16_t attribute) override;
    void print(std::string_view sjis) override;
    void sleep_ms(int milliseconds) override;
    void announce(int column, int row, std::string_view sjis) override;
    // Every cell of the area, bytes and attributes, for comparing two runs.
    std::string area_snapshot() const;
    // A digest of every cursor move, attribute, text and pause so far.
    std::uint64_t trace() const { return trace_; }

private:
    void fold(std::uint64_t value) { trace_ = (trace_ ^ value) * 0x100000001B3u; }

    int columns_;
    int rows_;
    Drawing drawing_;
    std::uint64_t trace_ = 0xCBF29CE484222325u;
};

// Key codes from fuzz input: most bytes pick one of the codes the game acts
// on, so that short inputs go deep; a byte from 200 on takes the next byte as
// a raw code. Each key is pressed when the game waits for one, or, when the
// byte before it says so, arrives at a time of the virtual clock (then the
// game's animations and typing see it).
void script_keys(MemoryConsole& con, const std::uint8_t* data, std::size_t size);

// A short battle on the in-memory console: the start-up screen, blows,
// items and a run, whatever comes of them; `seed` varies the rolls.
void play_battle(const GameRecords& records, std::uint32_t seed);

}  // namespace rpg::fuzz
