// libFuzzer target: the GIF LZW decoder alone. First byte: minimum code size; second: how the
// output is asked for (small pieces or large); the rest: the compressed stream, handed over in
// pieces of varying length as sub-blocks would be.
#include "imaging/GifLzw.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using imaging::detail::GifLzw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int minCodeSize = data[0] % 10;
    const size_t piece = 1 + data[1];
    size_t at = 2;
    GifLzw lzw(minCodeSize, [&](uint8_t* dst, size_t max) {
        const size_t n = std::min({max, piece, size - at});
        std::memcpy(dst, data + at, n);
        at += n;
        return n;
    });
    // Exactly the room promised: want + kMaxString + kSlack, so an overrun shows under ASan.
    const size_t want = (data[1] & 1) != 0 ? 7 : 1000;
    std::vector<uint8_t> out(want + GifLzw::kMaxString + GifLzw::kSlack);
    size_t total = 0;
    while (lzw.Stopped() == GifLzw::Stop::No && total < (1u << 22)) {
        const size_t got = lzw.Decode(out.data(), want);
        if (got > want + GifLzw::kMaxString) __builtin_trap();
        if (got == 0 && lzw.Stopped() == GifLzw::Stop::No) __builtin_trap();  // no progress
        total += got;
    }
    return 0;
}
