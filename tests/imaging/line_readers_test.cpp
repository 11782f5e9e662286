#include <gtest/gtest.h>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cstring>
#include <map>
#include <random>
#include "imaging/AreaReducer.h"
#include "imaging/GifLzw.h"
#include "imaging/LineReaders.h"
#include "imaging/PictureLoaderDetail.h"
#include "tests/support/TestFiles.h"

using namespace imaging::detail;

namespace {

// What the general path shows: Qt's whole picture, then an area-averaging scale to the fit.
QImage QtReduced(const QString& path, QSize box) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage i = reader.read();
    i.convertTo(i.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return i.scaled(FitWithin(i.size(), box), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

double MeanAbsDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int64_t sum = 0;  // 32-bit rows have no padding
    const uchar *p = x.constBits(), *q = y.constBits();
    for (qsizetype i = 0; i < x.sizeInBytes(); ++i) sum += std::abs(p[i] - q[i]);
    return static_cast<double>(sum) / static_cast<double>(x.sizeInBytes());
}

std::optional<LineImage> Read(QIODevice* device, const QString& path, QSize box) {
    return path.endsWith(".gif") ? ReadGifLines(device, box) : ReadBmpRows(device, box);
}

// Returns how many valid corpus pictures the reader took; reduced ones may differ from Qt's
// scaling only by what separates it from an exact area average.
int CompareCorpus(const QString& format) {
    int taken = 0;
    for (const testfiles::CorpusRow& row : testfiles::CorpusRows(format)) {
        if (!row.note.startsWith("valid")) continue;
        SCOPED_TRACE(row.path.toStdString());
        for (const QSize box : {QSize(1920, 1080), QSize(37, 23)}) {
            QFile file(row.path);
            (void)file.open(QIODevice::ReadOnly);
            const std::optional<LineImage> lines = Read(&file, row.path, box);
            if (!lines) continue;
            taken += box.width() == 1920 ? 1 : 0;
            const QImage expected = QtReduced(row.path, box);
            EXPECT_EQ(lines->image.size(), expected.size());
            if (lines->image.size() != expected.size()) continue;
            EXPECT_EQ(lines->image.hasAlphaChannel(), expected.hasAlphaChannel());
            EXPECT_LE(MeanAbsDifference(lines->image, expected), box.width() == 1920 ? 0.0 : 0.75)
                << "box " << box.width();
        }
    }
    return taken;
}

// RLE, bit fields, OS/2 headers, 16 bit and GIF frames short of their canvas stay with Qt.
TEST(LineReaders, BmpRowsMatchQtOverTheCorpus) { EXPECT_EQ(CompareCorpus("bmp"), 34); }
TEST(LineReaders, GifLinesMatchQtOverTheCorpus) { EXPECT_EQ(CompareCorpus("gif"), 52); }

TEST(LineReaders, DeclinedOrBrokenFilesLeaveTheDeviceWhereItWas) {
    const auto declined = [](QByteArray bytes, const char* name) {
        QBuffer device(&bytes);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        EXPECT_FALSE(Read(&device, name, QSize(100, 100))) << name;
        EXPECT_EQ(device.pos(), 0) << name;
    };
    const QString dir = testfiles::CorpusDir();
    declined(testfiles::ReadBytes(dir + "/bmp/bmpsuite/g/pal8rle.bmp"), "rle.bmp");
    declined(testfiles::ReadBytes(dir + "/gif/wuffs/hippopotamus.interlaced.truncated.gif"),
             "a.gif");
    // A file shrinking under the reader gives no half picture.
    declined(testfiles::ReadBytes(dir + "/bmp/bmpsuite/g/rgb24.bmp").chopped(1000), "cut.bmp");
    // A V5 header's alpha mask is left to Qt; the same file without one is read here.
    QByteArray v5 = testfiles::ReadBytes(dir + "/bmp/image-rs-image/V5_A8_R8_G8_B8_Rgb.bmp");
    declined(v5, "masked.bmp");
    v5.replace(14 + 52, 4, QByteArray(4, '\0'));
    QBuffer plain(&v5);
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ReadBmpRows(&plain, QSize(100, 100)));
}

// Qt's scaling truncates where an exact average rounds, so the corpus cannot see the rounding.
TEST(AreaReducer, EachOutputIsTheRoundedAreaAverageOfWhatItCovers) {
    AreaReducer r(QSize(5, 1), QSize(2, 1), false, false);  // 0, 1 and half of 2 make the first
    const uint32_t row[5] = {0x000000, 0x0000A0, 0x000064, 0x0000FF, 0x000010};
    r.AddRow32(row);
    const QImage out = r.Take();
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, (2 * 0xA0 + 0x64 + 2) / 5));
    EXPECT_EQ(out.pixel(1, 0), qRgb(0, 0, (0x64 + 2 * 0xFF + 2 * 0x10 + 2) / 5));
}

// A full table is either cleared or kept (a "deferred clear").
std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& in, int minCodeSize, bool clearAtFull) {
    const int clear = 1 << minCodeSize;
    std::vector<uint8_t> out;
    std::map<std::pair<int, uint8_t>, int> table;
    uint64_t acc = 0;
    int nacc = 0, width = minCodeSize + 1, cur = in[0];
    auto put = [&](int code) {
        acc |= uint64_t(code) << nacc;
        for (nacc += width; nacc >= 8; nacc -= 8, acc >>= 8) out.push_back(uint8_t(acc));
    };
    put(clear);
    for (size_t i = 1; i < in.size(); ++i) {
        if (const auto it = table.find({cur, in[i]}); it != table.end()) {
            cur = it->second;
            continue;
        }
        put(cur);
        if (const int next = clear + 2 + int(table.size()); next < 4096) {
            table[{cur, in[i]}] = next;
            width += next >= (1 << width) && width < 12;
        } else if (clearAtFull) {
            put(clear);
            table.clear(), width = minCodeSize + 1;
        }
        cur = in[i];
    }
    put(cur), put(clear + 1);
    if (nacc > 0) out.push_back(uint8_t(acc));
    return out;
}

// Decodes in pieces of want bytes, the input handed over piece bytes at a time.
using Decoded = std::pair<std::vector<uint8_t>, GifLzw::Stop>;
Decoded LzwDecode(const std::vector<uint8_t>& in, int minCodeSize, size_t piece, size_t want) {
    size_t at = 0;
    GifLzw lzw(minCodeSize, [&](uint8_t* dst, size_t max) {
        const size_t n = std::min({max, piece, in.size() - at});
        std::memcpy(dst, in.data() + std::exchange(at, at + n), n);
        return n;
    });
    std::vector<uint8_t> out, buffer(want + GifLzw::kMaxString + GifLzw::kSlack);
    while (lzw.Stopped() == GifLzw::Stop::No) {
        const auto got = static_cast<long>(lzw.Decode(buffer.data(), want));
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return {out, lzw.Stopped()};
}

TEST(GifLzw, DecodesWhatAnEncoderWrote) {
    // Runs make long strings and the code naming the entry being made; noise fills the table.
    std::mt19937 rng(7);
    for (const int minCodeSize : {2, 8}) {
        std::vector<uint8_t> data(200000, 1);
        for (size_t i = 5000; i < data.size(); ++i)
            data[i] = uint8_t(rng() % (i < 60000 ? 3 : 1u << minCodeSize));
        for (const bool clearWhenFull : {true, false}) {
            SCOPED_TRACE(testing::Message() << "min " << minCodeSize << " clear " << clearWhenFull);
            const std::vector<uint8_t> packed = LzwEncode(data, minCodeSize, clearWhenFull);
            EXPECT_EQ(LzwDecode(packed, minCodeSize, 1, 7), Decoded(data, GifLzw::Stop::EndCode));
            EXPECT_EQ(LzwDecode(packed, minCodeSize, 1 << 20, 1 << 16).first, data);
        }
    }
}

TEST(GifLzw, BrokenStreamsStopAndSayWhy) {
    std::vector<uint8_t> cut = LzwEncode(std::vector<uint8_t>(3000, 2), 2, true);
    cut.resize(cut.size() / 2);
    const auto [got, stop] = LzwDecode(cut, 2, 64, 100);
    EXPECT_LT(got.size(), 3000u);
    EXPECT_EQ(stop, GifLzw::Stop::EndOfData);
    // Clear, 1, then 7: only entry 6 exists yet.
    EXPECT_EQ(LzwDecode({0xCC, 0x01}, 2, 64, 100), Decoded({1}, GifLzw::Stop::BadCode));
    EXPECT_EQ(LzwDecode({0x01}, 9, 64, 100), Decoded({}, GifLzw::Stop::BadCode));
}

}  // namespace
