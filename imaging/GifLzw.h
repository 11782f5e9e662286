#pragma once
// GIF's variable-length LZW, decoded into a flat run of colour indices. Each table entry keeps
// the last (up to) eight bytes of its string and points at the entry holding the eight before
// them, so a string is written eight bytes at a time, back to front, instead of byte by byte.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace imaging::detail {

class GifLzw {
public:
    static constexpr size_t kMaxString = 4096;  // the longest string one code stands for
    static constexpr size_t kSlack = 8;         // bytes written past what Decode reports

    // Compressed bytes come from fill (the frame's sub-blocks joined): it puts at most max
    // bytes at dst and returns how many; 0 ends the data.
    using Fill = std::function<size_t(uint8_t* dst, size_t max)>;

    // minCodeSize is the byte before the frame's data: 2..8, or 1 as some encoders write for
    // two colours.
    GifLzw(int minCodeSize, Fill fill);

    static bool ValidMinCodeSize(int minCodeSize) { return minCodeSize >= 1 && minCodeSize <= 8; }

    // Decodes whole codes into out until at least want bytes are there or the data stops
    // (see Stopped). out needs room for want + kMaxString + kSlack bytes. Returns the bytes
    // written, which may pass want by up to kMaxString.
    size_t Decode(uint8_t* out, size_t want);

    enum class Stop { No, EndCode, EndOfData, BadCode };
    Stop Stopped() const { return stop_; }

private:
    static constexpr uint32_t kTableSize = 4096;
    static constexpr uint32_t kNoCode = 0xFFFF;

    bool Refill(int need);

    Fill fill_;
    uint32_t minCodeSize_, clear_, end_;
    // Decoder state between calls.
    uint32_t codeSize_ = 0, next_ = 0, prev_ = kNoCode;
    uint64_t bits_ = 0;  // unread bits, low first; above nbits_ only copies of unread input
    int nbits_ = 0;
    Stop stop_ = Stop::No;

    std::vector<uint8_t> in_;
    size_t inPos_ = 0, inEnd_ = 0;
    bool drained_ = false;

    // The string table: length minus one, first byte, the entry before the last group of up
    // to eight bytes, and that group.
    uint16_t lm1_[kTableSize];
    uint16_t prefix_[kTableSize];
    uint8_t first_[kTableSize];
    uint8_t suffix_[kTableSize][8];
};

}  // namespace imaging::detail
