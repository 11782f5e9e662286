// Load-for-display against a naive full decode, side by side in one run.
//
// bench_load [--keep DIR | --write DIR]
// Writes photo-like pictures (gradients plus noise, fixed seed) into a temporary folder, then
// measures every case in a fresh child process (this program run again with --measure), so
// each peak (VmHWM) belongs to that one case: the Qt libraries and a QGuiApplication, plus
// the load. Time is the median of several loads in a child, then the median of three
// children, ours and the naive one taking turns.
#include "imaging/Picture.h"
#include "imaging/PictureLoaderDetail.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

const QSize kScreen(1920, 1080);

// Deterministic noise: the same pictures on every machine and every run.
struct Rng {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<uint32_t>(s);
    }
};

QImage PhotoLike(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    Rng rng;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const int gy = y * 255 / h;
        for (int x = 0; x < w; ++x) {
            const int gx = x * 255 / w;
            const uint32_t n = rng.Next();
            const int noise = static_cast<int>(n & 31) - 16;
            line[x] = qRgb(std::clamp(gx + noise, 0, 255), std::clamp(gy + noise, 0, 255),
                           std::clamp((gx + gy) / 2 + static_cast<int>((n >> 8) & 15) - 8, 0, 255));
        }
    }
    return img;
}

bool SaveJpeg(const QImage& img, const QString& path, bool progressive) {
    QImageWriter w(path, "jpeg");
    w.setQuality(90);
    w.setProgressiveScanWrite(progressive);
    return w.write(img);
}

// GIF with "uncompressed" LZW: 9-bit literal codes and a clear code before the table would
// grow, which every decoder must read; Qt has no GIF writer.
bool SaveGif(int w, int h, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    QByteArray out("GIF89a");
    auto u16 = [&out](int v) {
        out.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
    };
    u16(w);
    u16(h);
    out.append('\xF7').append('\0').append('\0');  // global table of 256 colours
    for (int i = 0; i < 256; ++i) {                // 8 x 8 x 4 colour cube
        out.append(static_cast<char>((i >> 5) * 255 / 7))
            .append(static_cast<char>(((i >> 2) & 7) * 255 / 7))
            .append(static_cast<char>((i & 3) * 255 / 3));
    }
    out.append(',');
    u16(0);
    u16(0);
    u16(w);
    u16(h);
    out.append('\0').append('\x08');
    QByteArray block;
    uint32_t acc = 0;
    int bits = 0, sinceClear = 0;
    auto flushBlock = [&](bool all) {
        while (block.size() >= 255 || (all && !block.isEmpty())) {
            const qsizetype n = std::min<qsizetype>(255, block.size());
            out.append(static_cast<char>(n)).append(block.left(n));
            block.remove(0, n);
        }
    };
    auto put = [&](uint32_t code) {
        acc |= code << bits;
        bits += 9;
        while (bits >= 8) {
            block.append(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
        if (block.size() >= 255) flushBlock(false);
    };
    Rng rng;
    put(256);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int noise = static_cast<int>(rng.Next() & 1);
            const int r = std::min(7, x * 8 / w + noise), g = std::min(7, y * 8 / h),
                      b = (x + y) * 4 / (w + h);
            put(static_cast<uint32_t>(r << 5 | g << 2 | b));
            if (++sinceClear == 253) {
                put(256);
                sinceClear = 0;
            }
        }
        if (out.size() > (1 << 22)) {  // keep the buffer small
            f.write(out);
            out.clear();
        }
    }
    put(257);
    if (bits > 0) block.append(static_cast<char>(acc & 0xFF));
    flushBlock(true);
    out.append('\0').append(';');
    return f.write(out) == out.size();
}

// A placeable metafile of many filled polygons, the way drawing programs export clip art.
bool SaveWmf(const QString& path, int polygons) {
    QByteArray recs;
    auto w16 = [](QByteArray& b, int v) {
        b.append(static_cast<char>(v & 0xFF)).append(static_cast<char>((v >> 8) & 0xFF));
    };
    auto w32 = [&w16](QByteArray& b, uint32_t v) {
        w16(b, static_cast<int>(v & 0xFFFF));
        w16(b, static_cast<int>(v >> 16));
    };
    int maxRecord = 0;
    auto record = [&](int function, const std::vector<int>& params) {
        const int words = 3 + static_cast<int>(params.size());
        maxRecord = std::max(maxRecord, words);
        w32(recs, static_cast<uint32_t>(words));
        w16(recs, function);
        for (int p : params) w16(recs, p);
    };
    const int extent = 20000;
    record(0x020B, {0, 0});            // SetWindowOrg
    record(0x020C, {extent, extent});  // SetWindowExt (y, x)
    Rng rng;
    for (int i = 0; i < polygons; ++i) {
        if (i % 100 == 0) {
            if (i > 0) record(0x01F0, {0});  // DeleteObject
            const uint32_t colour = rng.Next() & 0xFFFFFF;
            record(0x02FC, {0, static_cast<int>(colour & 0xFFFF), static_cast<int>(colour >> 16),
                            0});  // CreateBrushIndirect
            record(0x012D, {0});  // SelectObject
        }
        std::vector<int> pts{5};
        const int cx = static_cast<int>(rng.Next() % extent),
                  cy = static_cast<int>(rng.Next() % extent);
        for (int k = 0; k < 5; ++k) {
            pts.push_back(std::clamp(cx + static_cast<int>(rng.Next() % 800) - 400, 0, extent));
            pts.push_back(std::clamp(cy + static_cast<int>(rng.Next() % 800) - 400, 0, extent));
        }
        record(0x0324, pts);  // Polygon
    }
    record(0x0000, {});  // EOF
    QByteArray head;
    w32(head, 0x9AC6CDD7u);
    w16(head, 0);
    w16(head, 0);
    w16(head, 0);
    w16(head, extent);
    w16(head, extent);
    w16(head, 1440);
    w32(head, 0);
    int checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= static_cast<uint8_t>(head[2 * i]) | static_cast<uint8_t>(head[2 * i + 1]) << 8;
    w16(head, checksum);
    const uint32_t totalWords = static_cast<uint32_t>((18 + recs.size()) / 2);
    w16(head, 1);
    w16(head, 9);
    w16(head, 0x0300);
    w32(head, totalWords);
    w16(head, 1);
    w32(head, static_cast<uint32_t>(maxRecord));
    w16(head, 0);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(head + recs) == head.size() + recs.size();
}

long PeakKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// libjpeg-turbo alone at 1/8: the floor for any reduced JPEG decode.
bool TurboEighth(const QString& path) {
    FILE* fp = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!fp) return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, fp);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    std::vector<JSAMPLE> rows(static_cast<size_t>(cinfo.output_width) * 4 * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &rows[static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 4];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(fp);
    return true;
}

// Child: run one method on one file `repeat` times; print the times and the peak.
int Measure(const QString& method, const QString& path, int repeat) {
    std::vector<double> ms;
    QSize kept;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        t.start();
        bool ok = false;
        if (method == "ours") {
            const imaging::LoadResult r = imaging::LoadPictureFile(path, {kScreen, 1.0});
            ok = r.picture.has_value();
            if (ok) kept = r.picture->image.size();
        } else if (method == "naive") {
            QImageReader::setAllocationLimit(4096);
            QImage img(path);
            ok = !img.isNull();
            if (ok) {
                img = img.scaled(imaging::detail::FitWithin(img.size(), kScreen),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                kept = img.size();
            }
        } else if (method == "qtscaled") {
            // Qt's JPEG handler picks libjpeg's scale_denom itself when asked for that size.
            QImageReader reader(path);
            const QSize full = reader.size();
            const int d = imaging::detail::JpegScaleDenominator(full, false, kScreen);
            reader.setScaledSize(QSize((full.width() + d - 1) / d, (full.height() + d - 1) / d));
            const QImage img = reader.read();
            ok = !img.isNull();
            kept = img.size();
        } else if (method == "turbo8") {
            ok = TurboEighth(path);
        } else if (method == "idle") {
            ok = true;
        }
        if (!ok) {
            std::printf("fail\n");
            return 1;
        }
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%.1f %ld %dx%d\n", ms[ms.size() / 2], PeakKb(), kept.width(), kept.height());
    return 0;
}

struct Outcome {
    bool ok = false;
    double ms = 0;
    double mb = 0;
    QString kept;
};

Outcome RunChild(const QString& method, const QString& path, int repeat) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(),
            {"--measure", method, path, QString::number(repeat)});
    p.waitForFinished(-1);
    const QStringList parts = QString::fromLatin1(p.readAllStandardOutput()).trimmed().split(' ');
    Outcome o;
    if (p.exitCode() != 0 || parts.size() < 3) return o;
    o.ok = true;
    o.ms = parts[0].toDouble();
    o.mb = parts[1].toDouble() / 1024.0;
    o.kept = parts[2];
    return o;
}

constexpr int kRounds = 3;

// Median time over the rounds; the largest peak, since memory does not vary with load.
Outcome Median(std::vector<Outcome> runs) {
    Outcome o;
    std::vector<double> ms;
    for (const Outcome& r : runs) {
        if (!r.ok) return Outcome{};
        ms.push_back(r.ms);
        o.mb = std::max(o.mb, r.mb);
        o.kept = r.kept;
    }
    std::sort(ms.begin(), ms.end());
    o.ok = !ms.empty();
    o.ms = ms.empty() ? 0 : ms[ms.size() / 2];
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == "--measure")
        return Measure(args[2], args[3], args[4].toInt());

    QTemporaryDir temp;
    QString dir = temp.path();
    // --write DIR only writes the pictures, for the other benchmarks.
    const bool writeOnly = args.size() == 3 && args[1] == "--write";
    if (args.size() == 3 && (args[1] == "--keep" || writeOnly)) {
        dir = args[2];
        QDir().mkpath(dir);
    }
    struct Case {
        const char* name;
        QString file;
        int repeat;
    };
    std::vector<Case> cases;
    std::fprintf(stderr, "writing pictures to %s ...\n", qPrintable(dir));
    {
        const QImage hd = PhotoLike(1920, 1080);
        SaveJpeg(hd, dir + "/hd.jpg", false);
        cases.push_back({"JPEG 1920x1080", dir + "/hd.jpg", 11});
    }
    {
        const QImage mp24 = PhotoLike(6000, 4000);
        SaveJpeg(mp24, dir + "/24mp.jpg", false);
        SaveJpeg(mp24, dir + "/24mp-progressive.jpg", true);
        mp24.convertToFormat(QImage::Format_RGB888).save(dir + "/24mp.bmp", "BMP");
        cases.push_back({"JPEG 24 MP baseline", dir + "/24mp.jpg", 5});
        cases.push_back({"JPEG 24 MP progressive", dir + "/24mp-progressive.jpg", 5});
        cases.push_back({"BMP 24 MP", dir + "/24mp.bmp", 3});
    }
    SaveJpeg(PhotoLike(12000, 8000), dir + "/96mp.jpg", false);
    cases.push_back({"JPEG 96 MP baseline", dir + "/96mp.jpg", 3});
    SaveGif(4000, 3000, dir + "/12mp.gif");
    cases.push_back({"GIF 12 MP", dir + "/12mp.gif", 3});
    SaveWmf(dir + "/large.wmf", 50000);
    cases.push_back({"WMF 50k polygons", dir + "/large.wmf", 3});
    if (writeOnly) return 0;

    const Outcome idle = RunChild("idle", dir + "/hd.jpg", 1);
    std::printf(
        "screen %dx%d; process with Qt and a QGuiApplication, nothing loaded: %.0f MB peak\n\n",
        kScreen.width(), kScreen.height(), idle.mb);
    std::printf("%-24s %10s %9s %10s %9s %11s %10s  %s\n", "case", "ours ms", "ours MB", "naive ms",
                "naive MB", "time ratio", "mem ratio", "kept (ours / naive)");
    for (const Case& c : cases) {
        // Alternate the two in separate children so a busy machine hurts both alike.
        std::vector<Outcome> oursRuns, naiveRuns;
        for (int round = 0; round < kRounds; ++round) {
            oursRuns.push_back(RunChild("ours", c.file, c.repeat));
            naiveRuns.push_back(RunChild("naive", c.file, c.repeat));
        }
        const Outcome ours = Median(oursRuns);
        const Outcome naive = Median(naiveRuns);
        auto cell = [](const Outcome& o, double v) {
            return o.ok ? QString::number(v, 'f', 1) : QStringLiteral("fail");
        };
        const QString tr = ours.ok && naive.ok ? QString::number(ours.ms / naive.ms, 'f', 2) : "-";
        const QString mr = ours.ok && naive.ok ? QString::number(ours.mb / naive.mb, 'f', 2) : "-";
        std::printf("%-24s %10s %9s %10s %9s %11s %10s  %s / %s\n", c.name,
                    qPrintable(cell(ours, ours.ms)), qPrintable(cell(ours, ours.mb)),
                    qPrintable(cell(naive, naive.ms)), qPrintable(cell(naive, naive.mb)),
                    qPrintable(tr), qPrintable(mr), qPrintable(ours.ok ? ours.kept : "-"),
                    qPrintable(naive.ok ? naive.kept : "-"));
        std::fflush(stdout);
    }
    std::printf("\nQt's reduced JPEG path (QImageReader::setScaledSize to the same DCT size):\n");
    for (const Case& c : cases) {
        if (!c.file.endsWith(".jpg")) continue;
        std::vector<Outcome> qtRuns, oursRuns;
        for (int round = 0; round < kRounds; ++round) {
            qtRuns.push_back(RunChild("qtscaled", c.file, c.repeat));
            oursRuns.push_back(RunChild("ours", c.file, c.repeat));
        }
        const Outcome qt = Median(qtRuns), ours = Median(oursRuns);
        std::printf("%-24s Qt %7.1f ms %6.1f MB   ours %7.1f ms %6.1f MB   ours/Qt time %.2f\n",
                    c.name, qt.ms, qt.mb, ours.ms, ours.mb,
                    qt.ok && qt.ms > 0 ? ours.ms / qt.ms : 0.0);
        std::fflush(stdout);
    }

    std::vector<Outcome> turboRuns, oursRuns;
    for (int round = 0; round < kRounds; ++round) {
        turboRuns.push_back(RunChild("turbo8", dir + "/24mp.jpg", 5));
        oursRuns.push_back(RunChild("ours", dir + "/24mp.jpg", 5));
    }
    const Outcome turbo = Median(turboRuns);
    const Outcome ours24 = Median(oursRuns);
    std::printf(
        "\nJPEG 24 MP baseline: libjpeg-turbo 1/8 decode %.1f ms, ours %.1f ms, ratio %.2f\n",
        turbo.ms, ours24.ms, turbo.ok && turbo.ms > 0 ? ours24.ms / turbo.ms : 0.0);
    return 0;
}
