// duvix-picinfo FILE...        one line per file: what the picture loader makes of it.
// duvix-picinfo --png OUT FILE also writes the picture as the windows would draw it.
//
// Columns (tab-separated): path, "ok" or "error: <reason>", format, natural size in HIMETRIC
// at device pixel ratio 1, pixel size decoded for a 1920x1080 screen (JPEG: at its DCT
// reduction; the kept image is then at most the screen fit), milliseconds of the load.
#include "imaging/Picture.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QStringList>

#include <cstdio>

namespace {

constexpr const char* kUsage =
    "usage: duvix-picinfo [--png OUT] FILE...\n"
    "       duvix-picinfo --help | --version\n";

int Usage() {
    std::fprintf(stdout,
                 "%s\n"
                 "Prints one tab-separated line per FILE: path, \"ok\" or \"error: REASON\",\n"
                 "format, natural size in HIMETRIC, decoded pixel size, load time in ms.\n\n"
                 "  --png OUT   also write the picture, as the windows draw it, to OUT\n"
                 "              (with one FILE only)\n"
                 "  --help      show this text\n"
                 "  --version   show the version\n",
                 kUsage);
    return 0;
}

int BadUsage(const QString& why) {
    std::fprintf(stderr, "duvix-picinfo: %s\n%sTry 'duvix-picinfo --help'.\n",
                 why.toLocal8Bit().constData(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Options first: --help and refusals need no picture machinery.
    QString pngOut;
    QStringList files;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (optionsEnd || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            files << a;
        } else if (a == QLatin1String("--")) {
            optionsEnd = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return Usage();
        } else if (a == QLatin1String("--version")) {
            std::printf("duvix-picinfo %s\n", DUVIX_VERSION);
            return 0;
        } else if (a == QLatin1String("--png")) {
            if (i + 1 >= argc) return BadUsage(QStringLiteral("--png needs an output file"));
            pngOut = QString::fromLocal8Bit(argv[++i]);
        } else {
            return BadUsage(QStringLiteral("unknown option '%1'").arg(a));
        }
    }
    if (files.isEmpty()) return BadUsage(QStringLiteral("no picture file given"));
    if (!pngOut.isEmpty() && files.size() != 1) {
        return BadUsage(QStringLiteral("--png takes exactly one picture file"));
    }

    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;  // the options are read above; Qt gets none of them
    QGuiApplication app(qtArgc, argv);
    // Decoders' complaints about damaged files would drown the table.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.icc=false\nqt.gui.imageio=false"));

    const imaging::DisplayTarget target{QSize(1920, 1080), 1.0};
    int failures = 0;
    for (const QString& path : files) {
        QElapsedTimer timer;
        timer.start();
        const imaging::LoadResult r = imaging::LoadPictureFile(path, target);
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        QString line = path + QLatin1Char('\t');
        if (r.picture) {
            const imaging::Picture& p = *r.picture;
            line += QStringLiteral("ok\t%1\t%2 x %3\t%4x%5\t%6")
                        .arg(QString::fromLatin1(p.format))
                        .arg(p.Width)
                        .arg(p.Height)
                        .arg(p.decodedPixels.width())
                        .arg(p.decodedPixels.height())
                        .arg(ms, 0, 'f', 1);
        } else {
            ++failures;
            line += QStringLiteral("error: %1\t-\t-\t-\t%2").arg(r.error).arg(ms, 0, 'f', 1);
        }
        std::printf("%s\n", line.toLocal8Bit().constData());
        if (!pngOut.isEmpty() && r.picture) {
            // Pictures within the screen are kept at natural size; larger ones at their screen fit.
            if (r.picture->image.isNull() || !r.picture->image.save(pngOut, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", pngOut.toLocal8Bit().constData());
                return 1;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
