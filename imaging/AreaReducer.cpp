#include "imaging/AreaReducer.h"

#include <algorithm>
#include <cstring>

namespace imaging::detail {

namespace {

// ThreadSanitizer is set up after the resolver that picks a clone runs, and the resolver's
// instrumentation then crashes the program before main.
#if defined(__SANITIZE_THREAD__)
#define DUVIX_NO_CLONES
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DUVIX_NO_CLONES
#endif
#endif

// Runs once per source byte. Built twice where the compiler can: the AVX2 build widens and
// multiplies eight bytes a step, the baseline x86-64 one (SSE2) has no 32-bit multiply.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(DUVIX_NO_CLONES) && defined(__ELF__)
__attribute__((target_clones("avx2", "default")))
#endif
void WeightedAdd(uint32_t* __restrict sums, const uint8_t* __restrict row, size_t n,
                 uint32_t weight) {
    for (size_t i = 0; i < n; ++i) sums[i] += row[i] * weight;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__ELF__)
// Windows executables have no resolver to pick a clone at load time: pick once by hand.
__attribute__((target("avx2"))) void WeightedAddAvx2(uint32_t* __restrict sums,
                                                     const uint8_t* __restrict row, size_t n,
                                                     uint32_t weight) {
    for (size_t i = 0; i < n; ++i) sums[i] += row[i] * weight;
}

void Sum(uint32_t* __restrict sums, const uint8_t* __restrict row, size_t n, uint32_t weight) {
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    (avx2 ? WeightedAddAvx2 : WeightedAdd)(sums, row, n, weight);
}
#else
void Sum(uint32_t* __restrict sums, const uint8_t* __restrict row, size_t n, uint32_t weight) {
    WeightedAdd(sums, row, n, weight);
}
#endif

}  // namespace

// Source pixel i covers [i*fit, (i+1)*fit) and output pixel x covers [x*src, (x+1)*src) on the
// same axis: the overlaps are whole numbers, so the averages are exact up to the final rounding.
// Rows are summed down first (a plain loop over bytes), then across once per output row.
AreaReducer::AreaReducer(QSize source, QSize fit, bool alpha, bool bottomUp)
    : source_(source), fit_(fit), alpha_(alpha), bottomUp_(bottomUp) {
    out_ = QImage(fit, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (out_.isNull() || fit == source) return;  // same size: rows are copied as they come
    const int64_t sw = source.width(), dw = fit.width();
    spans_.resize(static_cast<size_t>(dw));
    for (int64_t x = 0; x < dw; ++x) {
        const int64_t begin = x * sw, end = begin + sw;
        Span s{};
        s.first = static_cast<int>(begin / dw);
        s.w0 = static_cast<uint32_t>(std::min<int64_t>((s.first + 1) * dw, end) - begin);
        const int64_t afterFull = end / dw;  // first pixel not wholly inside
        s.full = static_cast<int>(std::max<int64_t>(0, afterFull - s.first - 1));
        s.w1 = afterFull > s.first ? static_cast<uint32_t>(end - afterFull * dw) : 0;
        spans_[static_cast<size_t>(x)] = s;
    }
    inverse_ = 1.0 / (static_cast<double>(source.width()) * source.height());
}

void AreaReducer::AddRow32(const uint32_t* row) {
    // 0xAARRGGBB is stored B, G, R, A on the little-endian machines Qt runs on.
    AddRow(reinterpret_cast<const uint8_t*>(row), 4);
}

void AreaReducer::AddRow24(const uint8_t* row) { AddRow(row, 3); }

void AreaReducer::CopyRow(const uint8_t* row, int bytes) {
    const int y = bottomUp_ ? source_.height() - 1 - rowsIn_ : rowsIn_;
    auto* dst = reinterpret_cast<uint32_t*>(out_.scanLine(y));
    const int w = source_.width();
    if (bytes == 3) {
        for (int x = 0; x < w; ++x, row += 3) {
            dst[x] = 0xFF000000u | uint32_t{row[2]} << 16 | uint32_t{row[1]} << 8 | row[0];
        }
    } else if (alpha_) {
        std::memcpy(dst, row, static_cast<size_t>(w) * 4);
    } else {
        const auto* px = reinterpret_cast<const uint32_t*>(row);
        for (int x = 0; x < w; ++x) dst[x] = px[x] | 0xFF000000u;
    }
}

void AreaReducer::AddRow(const uint8_t* row, int bytes) {
    if (out_.isNull() || rowsIn_ >= source_.height() || (bytes_ != 0 && bytes != bytes_)) return;
    if (spans_.empty()) {
        CopyRow(row, bytes);
        ++rowsIn_;
        return;
    }
    if (bytes_ == 0) {
        bytes_ = bytes;
        colCur_.assign(static_cast<size_t>(source_.width()) * bytes, 0);
        colNext_.assign(colCur_.size(), 0);
    }
    const int64_t dh = fit_.height(), sh = source_.height();
    const int64_t begin = rowsIn_ * dh, end = begin + dh;
    const int64_t outEnd = (outY_ + 1) * sh;
    const auto inCur = static_cast<uint32_t>(std::min(end, outEnd) - begin);
    const auto inNext = static_cast<uint32_t>(dh) - inCur;
    const size_t n = colCur_.size();
    Sum(colCur_.data(), row, n, inCur);
    if (inNext != 0) Sum(colNext_.data(), row, n, inNext);
    ++rowsIn_;
    if (end >= outEnd) {
        EmitRow(outY_);
        ++outY_;
        std::swap(colCur_, colNext_);
        std::fill(colNext_.begin(), colNext_.end(), 0);
    }
}

void AreaReducer::EmitRow(int y) {
    if (y >= fit_.height()) return;
    auto* dst = reinterpret_cast<uint32_t*>(out_.scanLine(bottomUp_ ? fit_.height() - 1 - y : y));
    const uint64_t dw = static_cast<uint64_t>(fit_.width());
    const int channels = alpha_ ? 4 : 3;
    const int step = bytes_;
    const uint32_t* col = colCur_.data();
    auto value = [this](uint64_t sum) {
        return static_cast<uint32_t>(static_cast<double>(sum) * inverse_ + 0.5);
    };
    for (const Span& s : spans_) {
        const uint32_t* p = col + static_cast<size_t>(s.first) * step;
        uint64_t sum[4] = {};
        uint64_t mid[4] = {};
        for (int c = 0; c < channels; ++c) sum[c] = uint64_t{p[c]} * s.w0;
        p += step;
        for (int k = 0; k < s.full; ++k, p += step) {
            for (int c = 0; c < channels; ++c) mid[c] += p[c];
        }
        if (s.w1 != 0) {
            for (int c = 0; c < channels; ++c) sum[c] += uint64_t{p[c]} * s.w1;
        }
        for (int c = 0; c < channels; ++c) sum[c] += mid[c] * dw;
        const uint32_t alpha = alpha_ ? value(sum[3]) : 255;
        *dst++ = alpha << 24 | value(sum[2]) << 16 | value(sum[1]) << 8 | value(sum[0]);
    }
}

QImage AreaReducer::Take() {
    if (rowsIn_ < source_.height()) return {};
    return std::move(out_);
}

}  // namespace imaging::detail
