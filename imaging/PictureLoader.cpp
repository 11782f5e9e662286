// The one road from a file (or bytes) to a picture: recognise, check the size, decode
// reduced for the largest screen, stand upright, convert to sRGB.
#ifdef QT_WIDGETS_LIB
#error "the picture library is built without Qt Widgets"
#endif
#include "common/RegularFile.h"
#include "common/Units.h"
#include "imaging/LineReaders.h"
#include "imaging/Picture.h"
#include "imaging/PictureLoaderDetail.h"
#include "imaging/wmf/WmfPlayer.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QTransform>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>

namespace imaging {

namespace detail {

namespace {}  // namespace

Format SniffFormat(const QByteArray& head) {
    if (head.startsWith("\xFF\xD8")) return Format::Jpeg;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return Format::Gif;
    if (head.startsWith("BM")) return Format::Bmp;
    if (head.startsWith("\x89PNG\r\n\x1A\n")) return Format::Png;
    if (wmf::LooksLikeWmf(head)) return Format::Wmf;
    return Format::Unknown;
}

const char* FormatName(Format f) {
    switch (f) {
        case Format::Bmp: return "bmp";
        case Format::Gif: return "gif";
        case Format::Jpeg: return "jpeg";
        case Format::Wmf: return "wmf";
        case Format::Png: return "png";
        case Format::Unknown: break;
    }
    return "unknown";
}

QSize FitWithin(QSize picture, QSize box) {
    if (picture.width() <= 0 || picture.height() <= 0 || box.width() <= 0 || box.height() <= 0) {
        return picture;
    }
    if (picture.width() <= box.width() && picture.height() <= box.height()) return picture;
    const double scale = std::min(static_cast<double>(box.width()) / picture.width(),
                                  static_cast<double>(box.height()) / picture.height());
    return QSize(std::max(1, static_cast<int>(std::lround(picture.width() * scale))),
                 std::max(1, static_cast<int>(std::lround(picture.height() * scale))));
}

int JpegScaleDenominator(QSize stored, bool swapsAxes, QSize box) {
    const QSize upright = swapsAxes ? stored.transposed() : stored;
    const QSize fit = FitWithin(upright, box);
    for (int d : {8, 4, 2}) {
        // libjpeg rounds the reduced size up.
        const int w = (upright.width() + d - 1) / d;
        const int h = (upright.height() + d - 1) / d;
        if (w >= fit.width() && h >= fit.height()) return d;
    }
    return 1;
}

int ExifOrientation(const QByteArray& app1) {
    if (!app1.startsWith(QByteArray("Exif\0\0", 6))) return 1;
    const QByteArray tiff = app1.mid(6);
    if (tiff.size() < 8) return 1;
    const bool big = tiff.startsWith("MM");
    if (!big && !tiff.startsWith("II")) return 1;
    auto u16 = [&](qsizetype at) -> uint32_t {
        const auto a = static_cast<uint8_t>(tiff[at]), b = static_cast<uint8_t>(tiff[at + 1]);
        return big ? (a << 8 | b) : (b << 8 | a);
    };
    auto u32 = [&](qsizetype at) -> uint32_t {
        return big ? (u16(at) << 16 | u16(at + 2)) : (u16(at + 2) << 16 | u16(at));
    };
    if (u16(2) != 42) return 1;
    const qsizetype ifd = u32(4);
    if (ifd < 8 || ifd + 2 > tiff.size()) return 1;
    const uint32_t count = u16(ifd);
    for (uint32_t i = 0; i < count; ++i) {
        const qsizetype e = ifd + 2 + 12 * static_cast<qsizetype>(i);
        if (e + 12 > tiff.size()) break;
        if (u16(e) != 0x0112) continue;
        if (u16(e + 2) != 3) return 1;  // must be SHORT
        const uint32_t v = u16(e + 8);
        return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
    }
    return 1;
}

QImage ApplyOrientation(const QImage& image, int orientation) {
    const QTransform quarter = QTransform().rotate(90);
    switch (orientation) {
        case 2: return image.mirrored(true, false);
        case 3: return image.mirrored(true, true);
        case 4: return image.mirrored(false, true);
        case 5: return image.transformed(quarter).mirrored(true, false);
        case 6: return image.transformed(quarter);
        case 7: return image.transformed(quarter).mirrored(false, true);
        case 8: return image.transformed(QTransform().rotate(270));
        default: return image;
    }
}

}  // namespace detail

namespace {

using detail::Format;

constexpr int kMaxSidePixels = 1 << 20;  // keeps HIMETRIC within 32 bits at any ratio

LoadResult Fail(const QString& why) { return LoadResult{std::nullopt, why}; }

QSize Box(const DisplayTarget& t) {
    return t.maxDevicePixels.isValid() && !t.maxDevicePixels.isEmpty() ? t.maxDevicePixels
                                                                       : QSize(1920, 1080);
}

double Ratio(const DisplayTarget& t) {
    return t.devicePixelRatio > 0 && std::isfinite(t.devicePixelRatio) ? t.devicePixelRatio : 1.0;
}

bool TooLarge(QSize s) {
    return s.width() > kMaxSidePixels || s.height() > kMaxSidePixels ||
           static_cast<int64_t>(s.width()) * s.height() > detail::kMaxPicturePixels;
}

QString SizeText(QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

// Drawing wants premultiplied alpha or none at all; sRGB, one pixel per device pixel.
void FinishImage(QImage& image, const QColorSpace& space) {
    const QImage::Format want =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != want) image.convertTo(want);
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
        image.setColorSpace(space);
        image.convertToColorSpace(QColorSpace::SRgb);
    }
    image.setDevicePixelRatio(1.0);
}

// A fully decoded picture is kept at most at its fit into the largest screen. Area averaging
// keeps fine detail from aliasing; the full-size buffer goes as soon as the copy exists.
void ReduceToFit(QImage& image, QSize box) {
    const QSize fit = detail::FitWithin(image.size(), box);
    if (fit == image.size()) return;
    if (image.format() != QImage::Format_RGB32 &&
        image.format() != QImage::Format_ARGB32_Premultiplied) {
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                : QImage::Format_RGB32);
    }
    image = image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

Picture MakePicture(QImage image, QSize uprightPixels, const char* format, const DisplayTarget& t) {
    Picture p;
    p.image = std::move(image);
    p.naturalPixels = uprightPixels;
    p.Width = units::PixelsToHimetric(uprightPixels.width(), Ratio(t));
    p.Height = units::PixelsToHimetric(uprightPixels.height(), Ratio(t));
    p.format = format;
    return p;
}

LoadResult LoadJpeg(QIODevice* device, const DisplayTarget& t) {
    detail::JpegResult r = detail::DecodeJpeg(device, Box(t), t.reduceToFit);
    if (r.image.isNull()) return Fail(r.error);
    const QSize upright =
        detail::OrientationSwapsAxes(r.orientation) ? r.storedSize.transposed() : r.storedSize;
    if (TooLarge(upright))
        return Fail(QStringLiteral("refused: %1 pixels is too large").arg(SizeText(upright)));
    // A CMYK profile cannot be applied by QColorSpace; the Adobe formula stands in for it.
    const QColorSpace space = r.cmyk || r.iccProfile.isEmpty()
                                  ? QColorSpace()
                                  : QColorSpace::fromIccProfile(r.iccProfile);
    // Unless reduced to fit, kept at its DCT reduction: it covers the screen fit (never less
    // than 1x, always under 2x per side), and a further smooth scale would cost a sixth of the
    // load for nothing the drawing does not do anyway.
    FinishImage(r.image, space);
    Picture p = MakePicture(std::move(r.image), upright, "jpeg", t);
    p.decodedPixels = r.decodedSize;
    return LoadResult{std::move(p), {}};
}

// A V5 header may carry an embedded profile; Qt's reader ignores it.
QColorSpace BmpProfile(QIODevice* device) {
    const QByteArray head = device->peek(14 + 124);
    if (head.size() < 14 + 124 || detail::Le32(head, 14) < 124) return {};
    if (detail::Le32(head, 14 + 56) != 0x4D424544u) return {};  // 'MBED'
    const qint64 offset = 14 + static_cast<qint64>(detail::Le32(head, 14 + 112));
    const qint64 size = detail::Le32(head, 14 + 116);
    if (size <= 0 || size > 4 * 1024 * 1024 || offset + size > device->size()) return {};
    const qint64 start = device->pos();
    QByteArray profile;
    if (device->seek(start + offset)) profile = device->read(size);
    device->seek(start);
    return profile.size() == size ? QColorSpace::fromIccProfile(profile) : QColorSpace();
}

// Checks what Qt's BMP reader lets through, and rewrites the rare V2/V3 header (52 or 56
// bytes, bit masks without the colour-space block) into a V4 one that Qt reads.
QString CheckBmp(QIODevice* device, QByteArray* rewritten) {
    const QByteArray head = device->peek(14 + 64);
    if (head.size() < 26) return QStringLiteral("truncated BMP header");
    const qint64 fileSize = device->size();
    const uint32_t offBits = detail::Le32(head, 10);
    const uint32_t headerSize = detail::Le32(head, 14);
    int64_t width = 0, height = 0;
    uint32_t bpp = 0, compression = 0;
    if (headerSize == 12) {
        width = detail::Le16(head, 18);
        height = detail::Le16(head, 20);
        bpp = head.size() >= 26 ? detail::Le16(head, 24) : 0;
    } else if (headerSize >= 16 && head.size() >= 34) {
        width = static_cast<int32_t>(detail::Le32(head, 18));
        height = std::abs(static_cast<int64_t>(static_cast<int32_t>(detail::Le32(head, 22))));
        bpp = detail::Le16(head, 28);
        compression = headerSize >= 20 ? detail::Le32(head, 30) : 0;
    } else {
        return QStringLiteral("bad BMP header");
    }
    if (width <= 0 || height <= 0) return QStringLiteral("BMP has no pixels");
    if (width * height > detail::kMaxPicturePixels) {
        return QStringLiteral("refused: %1x%2 pixels is too large").arg(width).arg(height);
    }
    // Uncompressed rows must all be there; Qt would show whatever memory held instead.
    if ((compression == 0 || compression == 3) && bpp > 0 && bpp <= 32) {
        const int64_t stride = (width * bpp + 31) / 32 * 4;
        const int64_t lastRow = (width * bpp + 7) / 8;
        if (static_cast<int64_t>(offBits) + stride * (height - 1) + lastRow > fileSize) {
            return QStringLiteral("truncated BMP data");
        }
    } else if (width * height > 4096 * fileSize + (1 << 24)) {
        return QStringLiteral("refused: %1x%2 pixels from %3 bytes")
            .arg(width)
            .arg(height)
            .arg(fileSize);
    } else if (width * height > detail::kMaxWholeDecodePixels) {
        return QStringLiteral("refused: %1x%2 run-length pixels is too large")
            .arg(width)
            .arg(height);
    }
    if ((headerSize == 52 || headerSize == 56) && head.size() >= 14 + 52) {
        if (fileSize > detail::kMaxWholeFileBytes) return QStringLiteral("BMP too large");
        const QByteArray all = device->readAll();
        const int grow = 108 - static_cast<int>(headerSize);
        QByteArray v4 = all.left(14 + static_cast<int>(headerSize));
        v4.append(QByteArray(grow, '\0'));
        auto put32 = [&v4](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i) v4[at + i] = static_cast<char>(v >> (8 * i));
        };
        put32(2, detail::Le32(all, 2) + static_cast<uint32_t>(grow));
        put32(10, offBits + static_cast<uint32_t>(grow));
        put32(14, 108);
        v4.append(all.mid(14 + static_cast<int>(headerSize)));
        *rewritten = v4;
    }
    return {};
}

// GIF's LZW cannot beat about 4096 pixels per byte, so a canvas far beyond that is a bomb.
// The first frame's data must end properly: Qt would show a cut-off frame half drawn.
QString CheckGif(QIODevice* device) {
    const QByteArray head = device->peek(13);
    if (head.size() < 13) return QStringLiteral("truncated GIF header");
    const int64_t pixels = static_cast<int64_t>(detail::Le16(head, 6)) * detail::Le16(head, 8);
    if (pixels > 4096 * device->size() + (1 << 20)) {
        return QStringLiteral("refused: %1x%2 pixels from %3 bytes")
            .arg(detail::Le16(head, 6))
            .arg(detail::Le16(head, 8))
            .arg(device->size());
    }
    // Sub-blocks are at most 255 bytes: walk them through our own buffer, not one seek each.
    struct Cursor {
        QIODevice* d;
        qint64 start;
        QByteArray buf;
        qsizetype at = 0;
        ~Cursor() { d->seek(start); }
        bool Fill() {
            buf = d->read(1 << 16);
            at = 0;
            return !buf.isEmpty();
        }
        int Byte() {
            if (at >= buf.size() && !Fill()) return -1;
            return static_cast<uint8_t>(buf[at++]);
        }
        bool Skip(qint64 n) {
            while (n > 0) {
                if (at >= buf.size() && !Fill()) return false;
                const qint64 step = std::min<qint64>(n, buf.size() - at);
                at += step;
                n -= step;
            }
            return true;
        }
    } cur{device, device->pos(), {}};
    auto byte = [&cur]() { return cur.Byte(); };
    auto skip = [&cur](qint64 n) { return cur.Skip(n); };
    auto read = [&cur](char* out, int n) {
        for (int i = 0; i < n; ++i) {
            const int b = cur.Byte();
            if (b < 0) return false;
            out[i] = static_cast<char>(b);
        }
        return true;
    };
    auto subBlocks = [&]() -> bool {  // false when the file ends first
        for (;;) {
            const int n = byte();
            if (n < 0) return false;
            if (n == 0) return true;
            if (!skip(n)) return false;
        }
    };
    const auto flags = static_cast<uint8_t>(head[10]);
    if (!skip(13 + ((flags & 0x80) ? 3 * (2 << (flags & 7)) : 0)))
        return QStringLiteral("truncated GIF");
    for (;;) {
        const int kind = byte();
        if (kind == 0x21) {
            if (byte() < 0 || !subBlocks()) return QStringLiteral("truncated GIF");
        } else if (kind == 0x2C) {
            char desc[9];
            if (!read(desc, 9)) return QStringLiteral("truncated GIF");
            // A zero screen size makes Qt size the canvas from the frame: check that too.
            auto u16 = [&desc](int at) {
                return static_cast<int64_t>(static_cast<uint8_t>(desc[at]) |
                                            static_cast<uint8_t>(desc[at + 1]) << 8);
            };
            const int64_t canvas = std::max<int64_t>(detail::Le16(head, 6), u16(0) + u16(4)) *
                                   std::max<int64_t>(detail::Le16(head, 8), u16(2) + u16(6));
            if (canvas > detail::kMaxWholeDecodePixels ||
                canvas > 4096 * device->size() + (1 << 20)) {
                return QStringLiteral("refused: a %1 pixel canvas from %2 bytes")
                    .arg(canvas)
                    .arg(device->size());
            }
            const auto f = static_cast<uint8_t>(desc[8]);
            if ((f & 0x80) && !skip(3 * (2 << (f & 7)))) return QStringLiteral("truncated GIF");
            if (byte() < 0 || !subBlocks()) return QStringLiteral("truncated GIF frame");
            return {};
        } else if (kind == 0x3B) {
            return QStringLiteral("GIF has no frame");
        } else {
            return kind < 0 ? QStringLiteral("truncated GIF") : QStringLiteral("corrupt GIF block");
        }
    }
}

// The common BMP and GIF variants, read row by row and reduced as they come; nullopt leaves
// the picture to Qt's reader.
std::optional<LoadResult> LoadLines(QIODevice* device, Format format, const DisplayTarget& t) {
    const QColorSpace space = format == Format::Bmp ? BmpProfile(device) : QColorSpace();
    std::optional<detail::LineImage> lines = format == Format::Bmp
                                                 ? detail::ReadBmpRows(device, Box(t))
                                                 : detail::ReadGifLines(device, Box(t));
    if (!lines) return std::nullopt;
    FinishImage(lines->image, space);
    Picture p = MakePicture(std::move(lines->image), lines->natural, detail::FormatName(format), t);
    p.decodedPixels = lines->natural;  // every row was decoded, none was kept
    return LoadResult{std::move(p), {}};
}

// The run-length reader starts at the file's first byte; Qt's reader, which has read the
// header already, goes on from where it stopped when the run-length reader declines.
std::optional<QImage> RunLengthFrom(QIODevice* device, qint64 origin) {
    const qint64 here = device->pos();
    if (!device->seek(origin)) return std::nullopt;
    std::optional<QImage> image = detail::ReadBmpRunLength(device);
    if (!image) device->seek(here);
    return image;
}

LoadResult LoadWithQt(QIODevice* device, Format format, const DisplayTarget& t) {
    QByteArray rewritten;
    const QString refusal = format == Format::Bmp ? CheckBmp(device, &rewritten) : CheckGif(device);
    if (!refusal.isEmpty()) return Fail(refusal);
    if (rewritten.isEmpty()) {
        if (std::optional<LoadResult> r = LoadLines(device, format, t)) return std::move(*r);
    }
    QBuffer rewrittenDevice(&rewritten);
    if (!rewritten.isEmpty()) {
        rewrittenDevice.open(QIODevice::ReadOnly);
        device = &rewrittenDevice;
    }
    const qint64 origin = device->pos();
    const QColorSpace space = format == Format::Bmp ? BmpProfile(device) : QColorSpace();
    QImageReader reader(device, detail::FormatName(format));
    reader.setAutoTransform(false);
    // Qt finds a GIF's size by scanning the whole file; CheckGif has read the header already.
    const QSize header = format == Format::Bmp ? reader.size() : QSize();
    if (header.isValid() && TooLarge(header)) {
        return Fail(QStringLiteral("refused: %1 pixels is too large").arg(SizeText(header)));
    }
    QImage image;
    if (std::optional<QImage> runs =
            format == Format::Bmp ? RunLengthFrom(device, origin) : std::nullopt) {
        image = std::move(*runs);
    } else if (!reader.read(&image) || image.isNull()) {
        return Fail(
            QStringLiteral("undecodable %1: %2")
                .arg(QString::fromLatin1(detail::FormatName(format)), reader.errorString()));
    }
    const QSize natural = image.size();
    if (TooLarge(natural))
        return Fail(QStringLiteral("refused: %1 pixels is too large").arg(SizeText(natural)));
    ReduceToFit(image, Box(t));
    FinishImage(image, space);
    Picture p = MakePicture(std::move(image), natural, detail::FormatName(format), t);
    p.decodedPixels = natural;
    return LoadResult{std::move(p), {}};
}

LoadResult LoadWmf(const QByteArray& bytes, const DisplayTarget& t) {
    QString why;
    std::optional<wmf::Rendered> r = wmf::RenderWmf(bytes, Box(t), Ratio(t), &why);
    if (!r) return Fail(why.isEmpty() ? QStringLiteral("undecodable metafile") : why);
    Picture p;
    p.Width = r->widthHimetric;
    p.Height = r->heightHimetric;
    p.format = "wmf";
    p.naturalPixels =
        QSize(static_cast<int>(std::lround(units::HimetricToPixels(r->widthHimetric, Ratio(t)))),
              static_cast<int>(std::lround(units::HimetricToPixels(r->heightHimetric, Ratio(t)))));
    p.image = std::move(r->image);
    p.decodedPixels = p.image.size();
    if (!p.image.isNull()) FinishImage(p.image, QColorSpace());
    return LoadResult{std::move(p), {}};
}

LoadResult LoadFromDevice(QIODevice* device, const QByteArray* wholeBytes, const DisplayTarget& t) {
    const QByteArray head = device->peek(64);
    if (head.isEmpty()) return Fail(QStringLiteral("empty file"));
    const Format format = detail::SniffFormat(head);
    switch (format) {
        case Format::Jpeg: return LoadJpeg(device, t);
        case Format::Bmp:
        case Format::Gif: return LoadWithQt(device, format, t);
        case Format::Wmf: {
            if (wholeBytes) return LoadWmf(*wholeBytes, t);
            if (device->size() > detail::kMaxWholeFileBytes)
                return Fail(QStringLiteral("metafile too large"));
            return LoadWmf(device->readAll(), t);
        }
        case Format::Png: return Fail(QStringLiteral("PNG is not a supported picture format"));
        case Format::Unknown: break;
    }
    return Fail(QStringLiteral("not a BMP, GIF, JPEG or WMF picture"));
}

void RaiseQtAllocationLimit() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Our own pixel cap is checked from the header first; Qt's 128 MB default would
        // refuse a 100 MP picture, so Qt's limit only backs ours up.
        QImageReader::setAllocationLimit(
            static_cast<int>(detail::kMaxPicturePixels * 4 / (1024 * 1024) + 64));
    });
}

// Every decoder reads the file as it goes, so one refused read ends any of them early, as a
// cut-off file would.
class StoppableFile : public QFile {
public:
    explicit StoppableFile(const StopFlag* stop) : stop_(stop) {}
    bool Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        return Stopped() ? -1 : QFile::readData(data, maxSize);
    }

private:
    const StopFlag* stop_;
};

template <typename F>
LoadResult Guarded(F&& load) {
    try {
        RaiseQtAllocationLimit();
        return load();
    } catch (const std::bad_alloc&) {
        return Fail(QStringLiteral("out of memory"));
    } catch (const std::exception& e) {
        return Fail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return Fail(QStringLiteral("unexpected failure"));
    }
}

}  // namespace

DisplayTarget CurrentDisplayTarget() {
    DisplayTarget target;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return target;
    QSize largest;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QSize device =
            (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize();
        if (static_cast<int64_t>(device.width()) * device.height() >
            static_cast<int64_t>(largest.width()) * largest.height()) {
            largest = device;
        }
    }
    if (largest.isValid() && !largest.isEmpty()) target.maxDevicePixels = largest;
    if (QScreen* primary = QGuiApplication::primaryScreen();
        primary && primary->devicePixelRatio() > 0) {
        target.devicePixelRatio = primary->devicePixelRatio();
    }
    return target;
}

LoadResult LoadPictureFile(const QString& path, const DisplayTarget& target, const StopFlag* stop) {
    return Guarded([&]() -> LoadResult {
        if (path.isEmpty()) return Fail(QStringLiteral("no file name"));
        // Opened before it is looked at: a pipe put in its place after a check would block.
        StoppableFile file(stop);
        switch (regularfile::OpenForReading(file, path)) {
            case regularfile::Opened::Yes: break;
            case regularfile::Opened::Missing: return Fail(QStringLiteral("file not found"));
            case regularfile::Opened::NotRegular:
                return Fail(QFileInfo(path).isDir() ? QStringLiteral("is a folder")
                                                    : QStringLiteral("not a regular file"));
            case regularfile::Opened::Failed:
                return Fail(QStringLiteral("cannot open: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
        LoadResult r = LoadFromDevice(&file, nullptr, target);
        if (file.Stopped()) return Fail(QStringLiteral("stopped"));
        return r;
    });
}

LoadResult LoadPictureData(const QByteArray& bytes, const DisplayTarget& target) {
    return Guarded([&]() -> LoadResult {
        QByteArray shared = bytes;  // implicitly shared, not copied
        QBuffer buffer(&shared);
        buffer.open(QIODevice::ReadOnly);
        return LoadFromDevice(&buffer, &shared, target);
    });
}

}  // namespace imaging
