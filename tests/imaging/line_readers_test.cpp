// The row-by-row BMP and GIF readers against Qt's full decode followed by the same reduction.
#include "imaging/AreaReducer.h"
#include "imaging/GifLzw.h"
#include "imaging/LineReaders.h"
#include "imaging/Picture.h"
#include "imaging/PictureLoaderDetail.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

using imaging::detail::AreaReducer;
using imaging::detail::GifLzw;
using imaging::detail::LineImage;

namespace {

// What the general path shows: Qt's whole picture, then an area-averaging scale to the fit.
QImage QtReduced(const QString& path, QSize box) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) return image;
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                            : QImage::Format_RGB32);
    const QSize fit = imaging::detail::FitWithin(image.size(), box);
    return fit == image.size() ? image
                               : image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

double MeanAbsDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int64_t sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i) sum += std::abs(int{p[i]} - int{q[i]});
    }
    return static_cast<double>(sum) / (static_cast<double>(x.width()) * x.height() * 4);
}

std::vector<QString> ValidFiles(const QString& format) {
    std::vector<QString> files;
    for (const testfiles::CorpusRow& row : testfiles::CorpusRows(format)) {
        if (row.note.startsWith("valid")) files.push_back(row.path);
    }
    return files;
}

std::optional<LineImage> Read(const QString& path, QSize box) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return path.endsWith(".gif", Qt::CaseInsensitive) ? imaging::detail::ReadGifLines(&file, box)
                                                      : imaging::detail::ReadBmpRows(&file, box);
}

// Every valid corpus picture the reader takes must look like the general path's result, both
// at natural size and reduced; returns how many it took.
int CompareCorpus(const QString& format) {
    const std::vector<QString> files = ValidFiles(format);
    EXPECT_GE(files.size(), 30u) << "corpus rows for " << format.toStdString();
    int taken = 0;
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        for (const QSize box : {QSize(1920, 1080), QSize(37, 23)}) {
            const std::optional<LineImage> lines = Read(path, box);
            if (!lines) continue;
            taken += box.width() == 1920 ? 1 : 0;
            const QImage expected = QtReduced(path, box);
            EXPECT_EQ(lines->image.size(), expected.size());
            if (lines->image.size() != expected.size()) continue;
            EXPECT_EQ(lines->image.hasAlphaChannel(), expected.hasAlphaChannel());
            EXPECT_LE(MeanAbsDifference(lines->image, expected), 2.0) << "box " << box.width();
        }
    }
    return taken;
}

TEST(LineReaders, BmpRowsMatchQtOverTheCorpus) {
    // Uncompressed palette, 24 and 32 bit files are read here; RLE, bit fields, OS/2 headers
    // and 16 bit stay with Qt.
    EXPECT_GE(CompareCorpus("bmp"), 25);
}

TEST(LineReaders, GifLinesMatchQtOverTheCorpus) {
    // Only frames that do not cover their canvas stay with Qt.
    EXPECT_GE(CompareCorpus("gif"), 45);
}

TEST(LineReaders, InterlacedAndAnimatedGifsAreRead) {
    for (const char* name : {"gif/wuffs/hippopotamus.interlaced.gif", "gif/wuffs/muybridge.gif",
                             "gif/image-rs-gif/samples/interlaced.gif"}) {
        SCOPED_TRACE(name);
        const QString path = testfiles::CorpusDir() + "/" + name;
        const std::optional<LineImage> lines = Read(path, QSize(1920, 1080));
        ASSERT_TRUE(lines);
        EXPECT_LE(MeanAbsDifference(lines->image, QtReduced(path, QSize(1920, 1080))), 0.0);
    }
}

TEST(LineReaders, DeclinedOrBrokenFilesLeaveTheDeviceWhereItWas) {
    const QString rle = testfiles::CorpusDir() + "/bmp/bmpsuite/g/pal8rle.bmp";
    QFile file(rle);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(imaging::detail::ReadBmpRows(&file, QSize(100, 100)));
    EXPECT_EQ(file.pos(), 0);

    // Rows cut short, as a file shrinking under the reader would be: no half picture.
    QByteArray bytes = testfiles::ReadBytes(testfiles::CorpusDir() + "/bmp/bmpsuite/g/rgb24.bmp");
    ASSERT_GT(bytes.size(), 1000);
    bytes.chop(1000);
    QBuffer cut(&bytes);
    cut.open(QIODevice::ReadOnly);
    EXPECT_FALSE(imaging::detail::ReadBmpRows(&cut, QSize(100, 100)));
    EXPECT_EQ(cut.pos(), 0);

    QFile gif(testfiles::CorpusDir() + "/gif/wuffs/hippopotamus.interlaced.truncated.gif");
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    EXPECT_FALSE(imaging::detail::ReadGifLines(&gif, QSize(100, 100)));
    EXPECT_EQ(gif.pos(), 0);
}

uint32_t Channel(QRgb p, int shift) { return (p >> shift) & 0xFF; }

TEST(AreaReducer, EachOutputIsTheAreaAverageOfWhatItCovers) {
    // Five pixels into two: the first output covers pixels 0, 1 and half of 2.
    AreaReducer r(QSize(5, 1), QSize(2, 1), false, false);
    const uint32_t row[5] = {0x000000, 0x0000A0, 0x000064, 0x0000FF, 0x000010};
    r.AddRow32(row);
    const QImage out = r.Take();
    ASSERT_EQ(out.size(), QSize(2, 1));
    EXPECT_EQ(Channel(out.pixel(0, 0), 0), (2 * 0 + 2 * 0xA0 + 0x64 + 2) / 5);
    EXPECT_EQ(Channel(out.pixel(1, 0), 0), (0x64 + 2 * 0xFF + 2 * 0x10 + 2) / 5);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 255);
}

TEST(AreaReducer, BottomUpRowsLandMirroredAndAlphaStaysPremultiplied) {
    // Three rows into one column of two: rows come bottom first.
    AreaReducer r(QSize(1, 3), QSize(1, 2), true, true);
    const uint32_t bottom = 0xFF0000FF, middle = 0x80000080, top = 0x00000000;
    r.AddRow32(&bottom);
    r.AddRow32(&middle);
    EXPECT_TRUE(r.Take().isNull()) << "a picture with rows missing";
    r.AddRow32(&top);
    const QImage out = r.Take();
    ASSERT_EQ(out.format(), QImage::Format_ARGB32_Premultiplied);
    // Output row 1 (bottom) covers the bottom row and half the middle one.
    EXPECT_EQ(qAlpha(out.pixel(0, 1)), (2 * 0xFF + 0x80 + 1) / 3);
    EXPECT_EQ(Channel(out.pixel(0, 1), 0), (2 * 0xFF + 0x80 + 1) / 3);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), (0x80 + 1) / 3);
}

// A plain GIF LZW encoder: codes LSB first, the width grows once the table passes a power
// of two, and a full table is either cleared or kept (a "deferred clear").
std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& in, int minCodeSize,
                               bool clearWhenFull) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    int nacc = 0, width = minCodeSize + 1, next = end + 1;
    std::map<std::pair<int, uint8_t>, int> table;
    auto put = [&](int code) {
        acc |= uint64_t(code) << nacc;
        for (nacc += width; nacc >= 8; nacc -= 8, acc >>= 8) out.push_back(uint8_t(acc));
    };
    put(clear);
    int cur = in[0];
    for (size_t i = 1; i < in.size(); ++i) {
        if (auto it = table.find({cur, in[i]}); it != table.end()) {
            cur = it->second;
            continue;
        }
        put(cur);
        if (next < 4096) {
            table[{cur, in[i]}] = next++;
            if (next > (1 << width) && width < 12) ++width;
        } else if (clearWhenFull) {
            put(clear);
            table.clear();
            width = minCodeSize + 1;
            next = end + 1;
        }
        cur = in[i];
    }
    put(cur);
    put(end);
    if (nacc > 0) out.push_back(uint8_t(acc));
    return out;
}

// Decodes in pieces of want bytes, the input handed over piece bytes at a time.
std::vector<uint8_t> LzwDecode(const std::vector<uint8_t>& in, int minCodeSize, size_t piece,
                               size_t want, GifLzw::Stop* stop = nullptr) {
    size_t at = 0;
    GifLzw lzw(minCodeSize, [&](uint8_t* dst, size_t max) {
        const size_t n = std::min({max, piece, in.size() - at});
        std::memcpy(dst, in.data() + at, n);
        at += n;
        return n;
    });
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(want + GifLzw::kMaxString + GifLzw::kSlack);
    while (lzw.Stopped() == GifLzw::Stop::No) {
        const size_t got = lzw.Decode(buffer.data(), want);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
    }
    if (stop != nullptr) *stop = lzw.Stopped();
    return out;
}

TEST(GifLzw, DecodesWhatAnEncoderWrote) {
    // Long runs make strings of hundreds of bytes and the code that names the entry being
    // made; noise fills the table, so it is either cleared or kept full.
    std::mt19937 rng(7);
    for (const int minCodeSize : {2, 8}) {
        std::vector<uint8_t> data(200000, 1);
        const int symbols = 1 << minCodeSize;
        for (size_t i = 5000; i < data.size(); ++i) {
            data[i] = i < 60000 ? uint8_t(rng() % 3) : uint8_t(rng() % symbols);
        }
        for (const bool clearWhenFull : {true, false}) {
            SCOPED_TRACE(::testing::Message()
                         << "min " << minCodeSize << " clear " << clearWhenFull);
            const std::vector<uint8_t> packed = LzwEncode(data, minCodeSize, clearWhenFull);
            GifLzw::Stop stop{};
            EXPECT_EQ(LzwDecode(packed, minCodeSize, 1, 7, &stop), data);
            EXPECT_EQ(stop, GifLzw::Stop::EndCode);
            EXPECT_EQ(LzwDecode(packed, minCodeSize, 1 << 20, 1 << 16), data);
        }
    }
}

TEST(GifLzw, BrokenStreamsStopAndSayWhy) {
    const std::vector<uint8_t> data(3000, 2);
    std::vector<uint8_t> packed = LzwEncode(data, 2, true);
    GifLzw::Stop stop{};
    packed.resize(packed.size() / 2);
    EXPECT_LT(LzwDecode(packed, 2, 64, 100, &stop).size(), data.size());
    EXPECT_EQ(stop, GifLzw::Stop::EndOfData);
    // Clear, 1, then 7: only entry 6 exists yet.
    const std::vector<uint8_t> ahead = {0xCC, 0x01};
    EXPECT_EQ(LzwDecode(ahead, 2, 64, 100, &stop), std::vector<uint8_t>{1});
    EXPECT_EQ(stop, GifLzw::Stop::BadCode);
    EXPECT_EQ(LzwDecode({0x01}, 9, 64, 100, &stop).size(), 0u);
    EXPECT_EQ(stop, GifLzw::Stop::BadCode);
}

}  // namespace
