#include "imaging/GifLzw.h"

#include <cstring>

namespace imaging::detail {

namespace {
constexpr size_t kInputBytes = 64 * 1024;
}

GifLzw::GifLzw(int minCodeSize, Fill fill)
    : fill_(std::move(fill)),
      minCodeSize_(static_cast<uint32_t>(minCodeSize)),
      clear_(1u << (ValidMinCodeSize(minCodeSize) ? minCodeSize : 1)),
      end_(clear_ + 1),
      in_(kInputBytes) {
    if (!ValidMinCodeSize(minCodeSize)) {
        stop_ = Stop::BadCode;
        return;
    }
    std::memset(suffix_, 0, sizeof suffix_);
    for (uint32_t i = 0; i < clear_; ++i) {
        lm1_[i] = 0;
        first_[i] = static_cast<uint8_t>(i);
        suffix_[i][0] = static_cast<uint8_t>(i);
        prefix_[i] = 0;
    }
    codeSize_ = minCodeSize_ + 1;
    next_ = end_ + 1;
}

// Tops the bit buffer up to at least need bits; false when the data ends first.
bool GifLzw::Refill(int need) {
    if (inEnd_ - inPos_ < 8 && !drained_) {
        const size_t tail = inEnd_ - inPos_;
        std::memmove(in_.data(), in_.data() + inPos_, tail);
        inPos_ = 0;
        inEnd_ = tail;
        while (inEnd_ < 8) {
            const size_t got = fill_(in_.data() + inEnd_, in_.size() - inEnd_);
            if (got == 0) {
                drained_ = true;
                break;
            }
            inEnd_ += got;
        }
    }
    if (inEnd_ - inPos_ >= 8) {
        // Eight bytes at once; the ones only partly taken are read again, to the same bits.
        uint64_t v;
        std::memcpy(&v, in_.data() + inPos_, 8);
        bits_ |= v << nbits_;
        inPos_ += static_cast<size_t>(63 - nbits_) >> 3;
        nbits_ |= 56;
        return true;
    }
    while (nbits_ <= 56 && inPos_ < inEnd_) {
        bits_ |= uint64_t{in_[inPos_++]} << nbits_;
        nbits_ += 8;
    }
    return nbits_ >= need;
}

size_t GifLzw::Decode(uint8_t* out, size_t want) {
    size_t w = 0;
    if (stop_ != Stop::No) return w;
    // Kept in locals: stores through out may alias anything, and would force reloads.
    uint32_t codeSize = codeSize_, next = next_, prev = prev_;
    uint64_t bits = bits_;
    int nbits = nbits_;
    while (w < want) {
        if (nbits < static_cast<int>(codeSize)) {
            bits_ = bits;
            nbits_ = nbits;
            if (!Refill(static_cast<int>(codeSize))) {
                stop_ = Stop::EndOfData;
                break;
            }
            bits = bits_;
            nbits = nbits_;
        }
        const auto code = static_cast<uint32_t>(bits) & ((1u << codeSize) - 1);
        bits >>= codeSize;
        nbits -= static_cast<int>(codeSize);

        if (code >= clear_ && code <= end_) {
            if (code == end_) {
                stop_ = Stop::EndCode;
                break;
            }
            codeSize = minCodeSize_ + 1;
            next = end_ + 1;
            prev = kNoCode;
            continue;
        }
        if (prev == kNoCode) {
            // The first code after a clear adds nothing and must be a single index.
            if (code > clear_) {
                stop_ = Stop::BadCode;
                break;
            }
            out[w++] = static_cast<uint8_t>(code);
            prev = code;
            continue;
        }
        if (code > next || (code == next && next == kTableSize)) {
            stop_ = Stop::BadCode;
            break;
        }
        if (next < kTableSize) {
            // The new entry is the previous string and the first byte of this one, which is
            // the previous string's own first byte when this code is the entry being made.
            const uint8_t first = code < next ? first_[code] : first_[prev];
            const uint32_t lm1 = lm1_[prev] + 1u;
            lm1_[next] = static_cast<uint16_t>(lm1);
            first_[next] = first_[prev];
            if ((lm1 & 7) != 0) {
                std::memcpy(suffix_[next], suffix_[prev], 8);
                suffix_[next][lm1 & 7] = first;
                prefix_[next] = prefix_[prev];
            } else {
                suffix_[next][0] = first;
                prefix_[next] = static_cast<uint16_t>(prev);
            }
            ++next;
            // >= rather than ==: with a minimum of 1 the table starts at the width's limit.
            if (next >= (1u << codeSize) && codeSize < 12) ++codeSize;
        }
        const uint32_t lm1 = lm1_[code];
        uint8_t* o = out + w + (lm1 & ~7u);
        uint32_t c = code;
        for (uint32_t steps = lm1 >> 3; steps != 0; --steps) {
            std::memcpy(o, suffix_[c], 8);
            c = prefix_[c];
            o -= 8;
        }
        std::memcpy(o, suffix_[c], 8);
        w += lm1 + 1;
        prev = code;
    }
    codeSize_ = codeSize;
    next_ = next;
    prev_ = prev;
    bits_ = bits;
    nbits_ = nbits;
    return w;
}

}  // namespace imaging::detail
