// Hand-made hostile pictures, small on disk: each must be refused or shown quickly, within
// bounded memory. "Quickly" is thread CPU time, so a busy machine does not fail a sound loader.
#include "imaging/Picture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WmfBuilder.h"

#include <gtest/gtest.h>
#include <QFile>
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
#include <functional>
#include <thread>

namespace {

using namespace imaging;
using testwmf::Wmf;

const DisplayTarget kScreen{QSize(1920, 1080), 1.0};

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
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}
#endif

// Loads within the CPU seconds and the growth of the peak memory given.
LoadResult Measure(const std::function<LoadResult()>& load, double seconds, long megabytes) {
    const double start = ThreadCpuSeconds();
    const long before = PeakMegabytes();
    LoadResult r = load();
    EXPECT_LT(ThreadCpuSeconds() - start, seconds) << r.error.toStdString();
    EXPECT_LT(PeakMegabytes() - before, megabytes) << r.error.toStdString();
    return r;
}

// A progressive greyscale JPEG whose 999 scans hold no data at all: each walks every block.
QByteArray ProgressiveScanFlood(int side) {
    const QByteArray s = QByteArray::number(side, 16).rightJustified(4, '0');
    return QByteArray::fromHex("ffd8 ffdb0043 00" + QByteArray("01").repeated(64) + "ffc2000b08" +
                               s + s + "01011100" +
                               // An AC table whose one code, a single bit, ends the block.
                               "ffc40014 1001" + QByteArray("00").repeated(16)) +
           QByteArray::fromHex("ffda0008 010100013f00").repeated(999) + "\xFF\xD9";  // Ss 1, Se 63
}

TEST(HostileJpeg, ScanFloodsAndEndlessBytesAreRefusedEarly) {
    QTemporaryDir dir;
    QFile f(dir.filePath("hostile.jpg"));
    // 2 GB of zeros (or of fill bytes) after the start marker; sparse, so nothing is written.
    const QByteArray start("\xFF\xD8\xFF\xE0", 4);
    const std::pair<QByteArray, qint64> files[] = {
        {ProgressiveScanFlood(8000), 0},
        {ProgressiveScanFlood(17320), 0},
        {start, 2LL << 30},
        {start + QByteArray(64 << 20, '\xFF'), 2LL << 30}};
    for (const auto& [bytes, size] : files) {
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) &&
                    f.resize(std::max(size, f.size())));
        f.close();
        EXPECT_FALSE(
            Measure([&] { return LoadPictureFile(f.fileName(), kScreen); }, 2.0, 300).picture);
    }
}

TEST(HostileMetafiles, EndlessDrawingStopsAtTheBudgetAndShowsWhatWasDrawn) {
    constexpr int kW = 1920 * 15, kH = 1080 * 15;  // twips: 1920 x 1080 pixels at ratio 1
    constexpr uint16_t kPolygon = 0x0324, kPolyline = 0x0325;
    Wmf dense;
    dense.brush(0, 0x00FF).select(0).pen(0, 45, 0).select(1);  // three pixels, round joins
    for (int i = 0; i < 6; ++i) {
        // Within a band, so the edges stay under what the player leaves out as absurd.
        std::vector<int> words{65535};
        for (int n = 0; n < 65535; ++n)
            words.insert(words.end(), {n * 7919 % kW, 1500 + n * 6007 % 2250});
        dense.rec(kPolygon, words);
    }
    // Each outline holds just under the number of dashes above which it would be drawn solid.
    Wmf dashed;
    dashed.pen(1, 0, 0).select(0);
    for (int rec = 0; rec < 8; ++rec) {
        std::vector<int> words{1000};
        for (int n = 0; n < 1000; ++n)  // a zigzag across the whole picture
            words.insert(words.end(), {(n % 2) * (kW - 1), (n * 16 + rec) % kH});
        dashed.rec(kPolyline, words);
    }
    Wmf pens;
    for (int i = 0; i < 100000; ++i) pens.pen(0, 1, uint32_t(i & 0xFFFF));
    pens.select(3).remove(3);
    // The window extent halves until it is almost nothing, and region records multiply their
    // lengths by the scale that grows without bound (the float-cast-overflow sanitizer's case).
    Wmf regions;
    regions.windowExt(kW, kH);
    for (int i = 0; i < 80; ++i) regions.rec(0x0410, {32767, 1, 32767, 1});     // ScaleWindowExt
    regions.brush(0, 0x00FF).rec(0x06FF, {0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10});  // CreateRegion
    regions.rec(0x012C, {1}).rec(0x0220, {7, 7});  // SelectClipRegion, OffsetClipRgn
    regions.rec(0x0429, {1, 0, 3, 3});             // FrameRegion: region, brush, h, w
    const std::pair<const char*, QByteArray> files[] = {
        {"dense polygons", dense.placeable(0, 0, kW, kH, 1440, 64)},
        {"dashed lines", dashed.placeable(0, 0, kW, kH, 1440, 64)},
        {"pens", pens.placeable(0, 0, kW, kH, 1440, 65535)},
        {"regions", regions.placeable(0, 0, kW, kH, 1440, 64)}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.first);
        // One second of drawing at most, finishing the step under way.
        const LoadResult r =
            Measure([&] { return LoadPictureData(file.second, kScreen); }, 1.5, 1000);
        EXPECT_EQ(r.picture.value().image.size(), QSize(1920, 1080));
    }
}

#ifndef _WIN32  // Windows' pipes and devices: tests/windows
TEST(HostileFiles, PipeSwappedInDuringLoadsNeverHangs) {
    QTemporaryDir dir;
    const QString target = testfiles::WriteSolidPicture(dir.path(), "picture.jpg", 32, 32);
    // The picture and a pipe exchange names back and forth.
    const QByteArray to = QFile::encodeName(target), other = QFile::encodeName(dir.filePath("o")),
                     pipe = QFile::encodeName(dir.filePath("pipe"));
    ASSERT_TRUE(::mkfifo(pipe.constData(), 0600) == 0 &&
                ::link(pipe.constData(), other.constData()) == 0);
    std::atomic<bool> stop{false}, swapperEnded{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        while (!stop && ::renameat2(AT_FDCWD, to.constData(), AT_FDCWD, other.constData(),
                                    RENAME_EXCHANGE) == 0)
            ++swaps;
        swapperEnded = true;
    });
    // A load stuck on the pipe never returns: the test's timeout fails it.
    int loaded = 0, refused = 0;
    for (int i = 0; i < 200; ++i) {
        // Each load starts while the swapper is at work, not in a pause between its turns.
        for (const int seen = swaps; swaps < seen + 2 && !swapperEnded;) std::this_thread::yield();
        const LoadResult r = LoadPictureFile(target, kScreen);
        (r.picture ? loaded : refused) += r.picture || r.error == "not a regular file";
    }
    EXPECT_FALSE(swapperEnded) << "the swapper could not exchange the names";
    stop = true;
    swapper.join();
    EXPECT_EQ(loaded + refused, 200) << "a load saw neither the picture nor a pipe";
}
#endif

}  // namespace
