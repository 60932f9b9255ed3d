// Arbitrary terminal bytes into the key decoder. Whatever comes, every code
// is a byte's worth (0 to 255), no byte gives more than one code, a flush leaves nothing
// pending, and afterwards an arrow and a plain key decode as themselves:
// no input leaves the decoder stuck. The same bytes decode the same way when
// fed again. And the input made into one well-formed sequence, however long
// (its bytes as the parameters, repeated up to some thousands of bytes),
// gives no key at all unless it is a plain arrow, Home or End.

#include <cstdint>
#include <deque>
#include <string>

#include "fuzz_support.h"
#include "platform/console.h"
#include "platform/key_decoder.h"

namespace {

using namespace rpg;

std::deque<int> decode(rpg::KeyDecoder& decoder, const std::uint8_t* data, std::size_t size) {
    std::deque<int> codes;
    for (std::size_t i = 0; i < size; ++i) {
        // A byte 0xFF in the input stands for a pause long enough to flush.
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0xFF) {
            decoder.flush(codes);
            ++i;
            continue;
        }
        decoder.feed(data[i], codes);
    }
    decoder.flush(codes);
    return codes;
}

// The input as one well-formed CSI or SS3 sequence: the first byte picks the
// kind, the length and the final byte; the rest are the parameter bytes.
std::string well_formed_sequence(const std::uint8_t* data, std::size_t size) {
    std::string sequence = "\x1b";
    sequence += (data[0] & 1) ? '[' : 'O';
    const std::size_t repeats = 1 + (data[0] >> 1) % 64;
    for (std::size_t r = 0; r < repeats && size > 1; ++r) {
        for (std::size_t i = 1; i < size; ++i) sequence += static_cast<char>(0x20 + data[i] % 0x20);
    }
    sequence += static_cast<char>(0x40 + (size > 1 ? data[size - 1] : data[0]) % 0x3F);
    // An old-style mouse report ("ESC [ M") carries three raw bytes more.
    if (sequence == "\x1b[M") sequence += std::string(3, static_cast<char>(0x20 + data[0] % 0x60));
    return sequence;
}

void check_well_formed_sequence(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::string sequence = well_formed_sequence(data, size);
    KeyDecoder decoder;
    std::deque<int> codes;
    for (char byte : sequence) decoder.feed(static_cast<unsigned char>(byte), codes);
    if (decoder.pending()) fuzz::fault("a finished sequence left the decoder inside it");
    const std::string params = sequence.substr(2, sequence.size() - 3);
    const char final_byte = sequence.back();  // for a mouse report, a raw byte: never a plain arrow
    const bool plain = params.empty() || (sequence[1] == '[' && params == "1");
    const bool arrow_or_end = (final_byte >= 'A' && final_byte <= 'D') || final_byte == 'H' || final_byte == 'F';
    if (plain && arrow_or_end) {
        if (codes.size() != 2 || codes[0] != key_arrow_prefix) fuzz::fault("a plain arrow did not decode as one");
    } else if (!codes.empty()) {
        fuzz::fault("a byte of a sequence of " + std::to_string(sequence.size()) + " bytes came out as a key");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KeyDecoder decoder;
    const std::deque<int> codes = decode(decoder, data, size);
    if (decoder.pending()) fuzz::fault("a flush left the decoder inside a sequence");
    if (codes.size() > size) fuzz::fault("more codes than bytes");
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] < 0 || codes[i] > 255) fuzz::fault("a code outside 0 to 255: " + std::to_string(codes[i]));
    }

    const std::uint8_t up[] = {0x1B, '[', 'A'};
    std::deque<int> after;
    for (std::uint8_t byte : up) decoder.feed(byte, after);
    decoder.feed('x', after);
    if (after != std::deque<int>{key_arrow_prefix, key_up, 'x'}) fuzz::fault("the decoder is stuck after the input");

    KeyDecoder again;
    if (decode(again, data, size) != codes) fuzz::fault("the same bytes decoded two ways");

    check_well_formed_sequence(data, size);
    return 0;
}
