// Hand-made hostile pictures: each is built here, small on disk, and must be refused or shown
// quickly, within bounded memory. "Quickly" is thread CPU time, so a busy machine does not
// make a sound loader fail.
#include "imaging/Picture.h"
#include "tests/support/WmfBuilder.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdio.h>  // renameat2
#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

using imaging::DisplayTarget;
using imaging::LoadPictureData;
using imaging::LoadPictureFile;
using imaging::LoadResult;
using testwmf::Put16;
using testwmf::Put32;
using testwmf::Wmf;

const DisplayTarget kScreen{QSize(1920, 1080), 1.0};
constexpr double kMaxSeconds = 2.0;
// A metafile draws for one second at most, and finishes the step under way.
constexpr double kMaxDrawingSeconds = 1.5;

#ifdef _WIN32
double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) {
        return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return double(ticks(kernel) + ticks(user)) / 1e7;
}

// Peak working set of the process so far, in MB.
long PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return long(counters.PeakWorkingSetSize / (1024 * 1024));
}
#else
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Peak resident memory of the process so far, in MB.
long PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}
#endif

LoadResult Timed(const std::function<LoadResult()>& load, double* seconds) {
    const double start = ThreadCpuSeconds();
    LoadResult r = load();
    *seconds = ThreadCpuSeconds() - start;
    std::printf("  %.3f s of CPU: %s\n", *seconds, r.picture ? "shown" : qPrintable(r.error));
    return r;
}

void Put16Be(QByteArray& b, int v) { b += char((v >> 8) & 0xFF), b += char(v & 0xFF); }

// ---- JPEG ----

QByteArray Segment(uint8_t marker, const QByteArray& body) {
    QByteArray s("\xFF");
    s += char(marker);
    Put16Be(s, int(body.size()) + 2);
    return s + body;
}

// A progressive greyscale JPEG of w x h whose scans hold no data at all: each scan still walks
// every block of the picture.
QByteArray ProgressiveScanFlood(int w, int h, int scans) {
    QByteArray out("\xFF\xD8", 2);
    out += Segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\x01'));  // one quant table
    QByteArray sof;
    sof += char(8);
    Put16Be(sof, h);
    Put16Be(sof, w);
    sof += char(1);
    sof += QByteArray("\x01\x11\x00", 3);
    out += Segment(0xC2, sof);
    // An AC table with a single one-bit code for EOB.
    QByteArray dht(1, '\x10');
    dht += char(1);
    dht += QByteArray(15, '\0');
    dht += char(0);
    out += Segment(0xC4, dht);
    for (int i = 0; i < scans; ++i) {
        out += Segment(0xDA, QByteArray("\x01\x01\x00\x01\x3F\x00", 6));  // Ss 1, Se 63
    }
    out += QByteArray("\xFF\xD9", 2);
    return out;
}

TEST(HostileJpeg, EmptyProgressiveScansOverALargePictureAreRefusedEarly) {
    for (const QSize size : {QSize(8000, 8000), QSize(17320, 17320)}) {
        const QByteArray bytes = ProgressiveScanFlood(size.width(), size.height(), 999);
        ASSERT_LT(bytes.size(), 16 * 1024);
        double seconds = 0;
        const long before = PeakMegabytes();
        const LoadResult r = Timed([&] { return LoadPictureData(bytes, kScreen); }, &seconds);
        EXPECT_FALSE(r.picture) << size.width();
        EXPECT_LT(seconds, kMaxSeconds) << size.width() << ": " << r.error.toStdString();
        EXPECT_LT(PeakMegabytes() - before, 300) << size.width();
    }
}

TEST(HostileJpeg, EndlessBytesWithoutAMarkerAreRefused) {
    // 2 GB of zeros (or of fill bytes) after the start marker; sparse, so nothing is written.
    QTemporaryDir dir;
    for (const char fill : {'\0', '\xFF'}) {
        const QString path = dir.filePath(fill ? "ff.jpg" : "zeros.jpg");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF\xE0", 4);
        if (fill) f.write(QByteArray(64 * 1024 * 1024, fill));
        ASSERT_TRUE(f.resize(2LL * 1024 * 1024 * 1024));
        f.close();
        double seconds = 0;
        const LoadResult r = Timed([&] { return LoadPictureFile(path, kScreen); }, &seconds);
        EXPECT_FALSE(r.picture);
        EXPECT_LT(seconds, kMaxSeconds) << r.error.toStdString();
        QFile::remove(path);
    }
}

TEST(HostileJpeg, JunkAfterTheLastRowStillShowsThePicture) {
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QByteArray bytes;
    {
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(img.save(&b, "JPG"));
    }
    bytes.chop(2);  // no end marker, and junk instead
    bytes += QByteArray(40 * 1024 * 1024, '\0');
    const LoadResult r = LoadPictureData(bytes, kScreen);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_EQ(r.picture->naturalPixels, QSize(64, 48));
}

// ---- GIF and run-length BMP that honestly declare 16000 x 16000 ----

QByteArray HugeGif() {
    QByteArray out("GIF89a");
    Put16(out, 16000);
    Put16(out, 16000);
    out += QByteArray("\x80\x00\x00", 3);  // a two-colour table
    out += QByteArray("\x00\x00\x00\xFF\xFF\xFF", 6);
    out += char(0x2C);
    Put16(out, 0), Put16(out, 0), Put16(out, 16000), Put16(out, 16000);
    out += char(0);
    out += char(2);  // minimum code size
    // Well-formed sub-blocks, as many as a maximally compressed 256 MP frame needs.
    while (out.size() < 63 * 1024) {
        out += char(char(255));
        out += QByteArray(255, '\x55');
    }
    out += char(0);
    out += char(0x3B);
    return out;
}

QByteArray HugeRleBmp() {
    QByteArray rle;
    for (int i = 0; i < 16000 && rle.size() < 66 * 1024; ++i) {
        rle += QByteArray("\xFF\x01\x00\x00", 4);  // a run, then end of line
    }
    rle += QByteArray("\x00\x01", 2);  // end of picture
    QByteArray out("BM");
    const int offBits = 14 + 40 + 2 * 4;
    Put32(out, uint32_t(offBits + rle.size()));
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, 16000);
    Put32(out, 16000);
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 1);  // RLE8
    Put32(out, uint32_t(rle.size()));
    Put32(out, 2835), Put32(out, 2835), Put32(out, 2), Put32(out, 0);
    Put32(out, 0), Put32(out, 0x00FFFFFF);
    return out + rle;
}

// Peak memory only grows, so each file has a test (a process) of its own under the test runner.
void ExpectSmallFootprint(const QByteArray& bytes) {
    ASSERT_LT(bytes.size(), 70 * 1024);
    const long before = PeakMegabytes();
    double seconds = 0;
    const LoadResult r = Timed([&] { return LoadPictureData(bytes, kScreen); }, &seconds);
    EXPECT_LT(PeakMegabytes() - before, 150) << r.error.toStdString();
    EXPECT_LT(seconds, kMaxSeconds);
}

TEST(HostileBitmaps, SmallGifDeclaringAHugeCanvasTakesNoGigabyte) {
    ExpectSmallFootprint(HugeGif());
}

TEST(HostileBitmaps, SmallRunLengthBmpDeclaringAHugeCanvasTakesNoGigabyte) {
    ExpectSmallFootprint(HugeRleBmp());
}

// ---- metafiles ----

// 1920 x 1080 pixels at ratio 1: logical units are twips.
QByteArray FullHd(const Wmf& w, int objects = 64) {
    return w.placeable(0, 0, 1920 * 15, 1080 * 15, 1440, objects);
}

constexpr uint16_t kCreatePen = 0x02FA, kCreateBrush = 0x02FC, kSelect = 0x012D, kDelete = 0x01F0,
                   kPolygon = 0x0324, kPolyline = 0x0325;

LoadResult RenderTimed(const QByteArray& bytes, double* seconds) {
    return Timed([&] { return LoadPictureData(bytes, kScreen); }, seconds);
}

TEST(HostileMetafiles, DensePolygonsStopAtTheBudgetAndShowWhatWasDrawn) {
    Wmf w;
    w.rec(kCreateBrush, {0, 0x00FF, 0, 0}).rec(kSelect, {0});
    w.rec(kCreatePen, {0, 45, 0, 0, 0}).rec(kSelect, {1});  // three pixels, round joins
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < 6; ++i) {
        // Within a band, so the edges stay under what the player leaves out as absurd.
        std::vector<int> words{65535};
        for (int n = 0; n < 65535; ++n) {
            words.push_back(rng->bounded(1920 * 15));
            words.push_back(100 * 15 + rng->bounded(150 * 15));
        }
        w.rec(kPolygon, words);
    }
    double seconds = 0;
    const LoadResult r = RenderTimed(FullHd(w), &seconds);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_EQ(r.picture->image.size(), QSize(1920, 1080));
    EXPECT_LT(seconds, kMaxDrawingSeconds);
}

TEST(HostileMetafiles, LongDashedLinesStopAtTheBudget) {
    // Each outline holds just under the number of dashes above which it would be drawn solid.
    Wmf w;
    w.rec(kCreatePen, {1, 0, 0, 0, 0}).rec(kSelect, {0});  // dashed, one pixel
    for (int rec = 0; rec < 8; ++rec) {
        std::vector<int> words{1000};
        for (int n = 0; n < 1000; ++n) {  // a zigzag across the whole picture
            words.push_back((n % 2) * (1920 * 15 - 1));
            words.push_back((n * 16 + rec) % (1080 * 15));
        }
        w.rec(kPolyline, words);
    }
    double seconds = 0;
    const LoadResult r = RenderTimed(FullHd(w), &seconds);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_LT(seconds, kMaxDrawingSeconds);
}

TEST(HostileMetafiles, HundredThousandPenCreationsStopAtTheBudget) {
    Wmf w;
    for (int i = 0; i < 100000; ++i) w.rec(kCreatePen, {0, 1, 0, i & 0xFFFF, 0});
    w.rec(kSelect, {3}).rec(kDelete, {3});
    double seconds = 0;
    const LoadResult r = RenderTimed(FullHd(w, 65535), &seconds);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_LT(seconds, kMaxDrawingSeconds);
}

TEST(HostileMetafiles, InfiniteScalesInRegionRecordsAreClamped) {
    // The window extent halves until it is almost nothing; the scale to the image grows
    // without bound, and region records multiply their lengths by it. Checked by the
    // float-cast-overflow sanitizer; here it must simply draw.
    Wmf w;
    w.rec(0x020C, {1080 * 15, 1920 * 15});                             // SetWindowExt
    for (int i = 0; i < 80; ++i) w.rec(0x0410, {32767, 1, 32767, 1});  // ScaleWindowExt
    w.rec(kCreateBrush, {0, 0x00FF, 0, 0});                            // object 0
    w.rec(0x06FF, {0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10});  // CreateRegion (its box), object 1
    w.rec(0x012C, {1});                                  // SelectClipRegion
    w.rec(0x0220, {7, 7});                               // OffsetClipRgn
    w.rec(0x0429, {1, 0, 3, 3});                         // FrameRegion: region, brush, h, w
    double seconds = 0;
    const LoadResult r = RenderTimed(FullHd(w), &seconds);
    EXPECT_TRUE(r.picture) << r.error.toStdString();
}

// ---- a pipe put in place of the picture after any check ----

#ifndef _WIN32  // Windows' pipes and devices: tests/windows
TEST(HostileFiles, PipeSwappedInDuringLoadsNeverHangs) {
    QTemporaryDir dir;
    const QString target = dir.filePath("picture.jpg");
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(Qt::red);
    const QString good = dir.filePath("good.jpg");
    ASSERT_TRUE(img.save(good, "JPG"));

    // The target and a second name are exchanged back and forth, one the picture, the other a
    // pipe. A load stuck on the pipe is let go by opening it for writing.
    const QByteArray pipe = QFile::encodeName(dir.filePath("pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::atomic<bool> swapperEnded{false};
    std::thread swapper([&] {
        // Both names always exist; one call exchanges them.
        const QByteArray to = QFile::encodeName(target);
        const QByteArray other = QFile::encodeName(dir.filePath("other"));
        if (::link(pipe.constData(), other.constData()) == 0 &&
            ::link(QFile::encodeName(good).constData(), to.constData()) == 0) {
            while (!stop && ::renameat2(AT_FDCWD, to.constData(), AT_FDCWD, other.constData(),
                                        RENAME_EXCHANGE) == 0) {
                ++swaps;
            }
        }
        swapperEnded = true;
    });
    std::atomic<int> done{0};
    int loaded = 0, refused = 0;
    std::thread loader([&] {
        for (int i = 0; i < 200; ++i) {
            // Each load starts while the swapper is at work, not in a pause between its turns.
            for (const int seen = swaps; swaps < seen + 2 && !swapperEnded;) {
                std::this_thread::yield();
            }
            const LoadResult r = LoadPictureFile(target, kScreen);
            loaded += r.picture ? 1 : 0;
            refused += r.error == "not a regular file" ? 1 : 0;
            ++done;
        }
    });
    // Waits for the loads; a stuck one is a failure, released so the test can end.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (done < 200 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int finished = done;
    const bool swapperFailed = swapperEnded;
    stop = true;
    swapper.join();
    while (done < 200) {
        const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    loader.join();
    EXPECT_EQ(finished, 200) << "loads stuck on a pipe";
    EXPECT_EQ(loaded + refused, 200) << "a load saw neither the picture nor a pipe";
    EXPECT_FALSE(swapperFailed) << "the swapper could not exchange the names";
}
#endif

}  // namespace
