// Arbitrary terminal bytes into the key decoder. Whatever comes, every code
// is a byte's worth (0 to 255), no byte gives more than one code, a flush leaves nothing
// pending, and afterwards an arrow and a plain key decode as themselves:
// no input leaves the decoder stuck. The same bytes decode the same way when
// fed again.

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
    return 0;
}
