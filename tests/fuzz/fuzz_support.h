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

namespace rpg::fuzz {

// The scratch folder, made at first use and removed when the process ends.
const std::filesystem::path& scratch_folder();
// Writes the input as the named file of the scratch folder.
std::filesystem::path write_input(const char* name, const std::uint8_t* data, std::size_t size);
// The bundled data files, loaded once.
const GameRecords& bundled_records();
// Stops the run: what the fuzzer found is a fault.
[[noreturn]] void fault(const std::string& what);
// A refusal must name the file and read well on a terminal: UTF-8 text
// without control characters.
void check_refusal(const std::string& error, const char* file);
// A short battle on the in-memory console: the start-up screen, blows,
// items and a run, whatever comes of them; `seed` varies the rolls.
void play_battle(const GameRecords& records, std::uint32_t seed);

}  // namespace rpg::fuzz
