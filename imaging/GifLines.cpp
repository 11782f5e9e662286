// The first GIF frame through giflib, one line at a time into the reducer.
#include "imaging/AreaReducer.h"
#include "imaging/GifLzw.h"
#include "imaging/LineReaders.h"
#include "imaging/PictureLoaderDetail.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace imaging::detail {

namespace {

int ReadFromDevice(GifFileType* gif, GifByteType* out, int n) {
    const qint64 got =
        static_cast<QIODevice*>(gif->UserData)->read(reinterpret_cast<char*>(out), n);
    return got < 0 ? 0 : static_cast<int>(got);
}

struct CloseGif {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// The frame's data after its first sub-block, read from the device in large pieces rather than
// a block at a time. Reads past the frame are harmless: nothing after it is wanted.
class SubBlocks {
public:
    SubBlocks(QIODevice* device, const GifByteType* first) : device_(device), raw_(64 * 1024) {
        if (first == nullptr) {
            ended_ = true;
        } else {
            firstBlock_.assign(first + 1, first + 1 + first[0]);
        }
    }

    size_t Read(uint8_t* dst, size_t max) {
        size_t n = 0;
        if (!firstBlock_.empty()) {
            n = std::min(max, firstBlock_.size());
            std::memcpy(dst, firstBlock_.data(), n);
            firstBlock_.erase(firstBlock_.begin(), firstBlock_.begin() + static_cast<long>(n));
        }
        while (n < max && !ended_) {
            if (pos_ == end_) {
                const qint64 got = device_->read(reinterpret_cast<char*>(raw_.data()),
                                                 static_cast<qint64>(raw_.size()));
                if (got <= 0) {
                    ended_ = true;  // cut short: the decoder finds out it lacks pixels
                    break;
                }
                pos_ = 0;
                end_ = static_cast<size_t>(got);
            }
            if (left_ == 0) {
                left_ = raw_[pos_++];
                ended_ = left_ == 0;
                continue;
            }
            const size_t take = std::min({left_, end_ - pos_, max - n});
            std::memcpy(dst + n, raw_.data() + pos_, take);
            n += take;
            pos_ += take;
            left_ -= take;
        }
        return n;
    }

private:
    QIODevice* device_;
    std::vector<uint8_t> raw_;
    std::vector<uint8_t> firstBlock_;
    size_t pos_ = 0, end_ = 0, left_ = 0;
    bool ended_ = false;
};

// Rows are decoded this many bytes at a time before they go to the reducer.
constexpr int kBandBytes = 256 * 1024;

// An interlaced frame arrives in four passes; above this it is left to the general path
// rather than held whole as colour indices.
constexpr int64_t kMaxInterlacedPixels = 64LL * 1024 * 1024;

std::optional<LineImage> Decode(GifFileType* gif, QSize box) {
    int transparent = -1;  // from the last graphic control block before the frame
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return std::nullopt;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return std::nullopt;
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                transparent = (block[1] & 1) ? block[4] : -1;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return std::nullopt;
            }
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        } else {
            return std::nullopt;  // no frame: the general path says why
        }
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) return std::nullopt;
    const GifImageDesc& frame = gif->Image;
    // A frame that does not fill the canvas shows the canvas's background around it, and odd
    // screen sizes are guessed at: both stay with the general path.
    if (frame.Left != 0 || frame.Top != 0 || frame.Width != gif->SWidth ||
        frame.Height != gif->SHeight || frame.Width <= 0 || frame.Height <= 0) {
        return std::nullopt;
    }
    const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr) return std::nullopt;
    const int width = frame.Width, height = frame.Height;
    if (static_cast<int64_t>(width) * height > kMaxPicturePixels) return std::nullopt;
    if (frame.Interlace && static_cast<int64_t>(width) * height > kMaxInterlacedPixels) {
        return std::nullopt;
    }

    // Indices past the table come out white, or transparent in a picture with transparency;
    // the transparent index leaves the pixel clear.
    const bool alpha = transparent >= 0;
    uint32_t lut[256];
    for (int i = 0; i < 256; ++i) {
        if (i < map->ColorCount) {
            const GifColorType c = map->Colors[i];
            lut[i] = 0xFF000000u | uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue;
        } else {
            lut[i] = alpha ? 0u : 0xFFFFFFFFu;
        }
    }
    if (alpha) lut[transparent] = 0;

    int minCodeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &minCodeSize, &block) == GIF_ERROR) return std::nullopt;
    if (!GifLzw::ValidMinCodeSize(minCodeSize)) return std::nullopt;
    SubBlocks data(static_cast<QIODevice*>(gif->UserData), block);
    GifLzw lzw(minCodeSize, [&data](uint8_t* dst, size_t max) { return data.Read(dst, max); });

    const QSize natural(width, height);
    AreaReducer reducer(natural, FitWithin(natural, box), alpha, false);
    std::vector<uint32_t> pixels(static_cast<size_t>(width));
    auto feed = [&](const uint8_t* line) {
        for (int x = 0; x < width; ++x) pixels[x] = lut[line[x]];
        reducer.AddRow32(pixels.data());
    };
    const auto rowBytes = static_cast<size_t>(width);
    if (frame.Interlace) {
        // Rows come in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
        // every 2nd from 1. Held whole, then handed on in order.
        const size_t total = rowBytes * static_cast<size_t>(height);
        std::vector<uint8_t> indices(total + GifLzw::kMaxString + GifLzw::kSlack);
        size_t have = 0;
        while (have < total && lzw.Stopped() == GifLzw::Stop::No) {
            have += lzw.Decode(indices.data() + have, total - have);
        }
        if (have < total) return std::nullopt;
        std::vector<int> passRow(static_cast<size_t>(height));
        int at = 0;
        static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < height; y += kStep[pass]) passRow[y] = at++;
        }
        for (int y = 0; y < height; ++y) feed(&indices[static_cast<size_t>(passRow[y]) * rowBytes]);
    } else {
        // A band of rows at a time; a code that runs past the band is carried to the next.
        const size_t band = rowBytes * static_cast<size_t>(std::max(1, kBandBytes / width));
        std::vector<uint8_t> buffer(band + GifLzw::kMaxString + GifLzw::kSlack);
        size_t have = 0;
        int y = 0;
        while (y < height) {
            if (have < rowBytes) {
                if (lzw.Stopped() != GifLzw::Stop::No) return std::nullopt;
                have += lzw.Decode(buffer.data() + have, band - have);
                continue;
            }
            size_t used = 0;
            for (; used + rowBytes <= have && y < height; used += rowBytes, ++y) {
                feed(buffer.data() + used);
            }
            std::memmove(buffer.data(), buffer.data() + used, have - used);
            have -= used;
        }
    }
    QImage image = reducer.Take();
    if (image.isNull()) return std::nullopt;
    return LineImage{std::move(image), natural};
}

}  // namespace

std::optional<LineImage> ReadGifLines(QIODevice* device, QSize box) {
    const qint64 start = device->pos();
    int error = 0;
    std::unique_ptr<GifFileType, CloseGif> gif(DGifOpen(device, ReadFromDevice, &error));
    std::optional<LineImage> result;
    if (gif) result = Decode(gif.get(), box);
    if (!result) device->seek(start);
    return result;
}

}  // namespace imaging::detail
