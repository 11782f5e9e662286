// The first GIF frame through giflib, one line at a time into the reducer.
#include "imaging/AreaReducer.h"
#include "imaging/LineReaders.h"
#include "imaging/PictureLoaderDetail.h"

#include <QIODevice>

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

    const QSize natural(width, height);
    AreaReducer reducer(natural, FitWithin(natural, box), alpha, false);
    std::vector<GifByteType> indices(static_cast<size_t>(width) *
                                     (frame.Interlace ? static_cast<size_t>(height) : 1));
    std::vector<uint32_t> pixels(static_cast<size_t>(width));
    auto feed = [&](const GifByteType* line) {
        for (int x = 0; x < width; ++x) pixels[x] = lut[line[x]];
        reducer.AddRow32(pixels.data());
    };
    if (frame.Interlace) {
        static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < height; y += kStep[pass]) {
                if (DGifGetLine(gif, &indices[static_cast<size_t>(y) * width], width) == GIF_ERROR)
                    return std::nullopt;
            }
        }
        for (int y = 0; y < height; ++y) feed(&indices[static_cast<size_t>(y) * width]);
    } else {
        for (int y = 0; y < height; ++y) {
            if (DGifGetLine(gif, indices.data(), width) == GIF_ERROR) return std::nullopt;
            feed(indices.data());
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
