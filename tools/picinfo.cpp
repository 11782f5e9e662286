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

int Usage() {
    std::fprintf(stderr, "usage: duvix-picinfo [--png OUT] FILE...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Decoders' complaints about damaged files would drown the table.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.icc=false\nqt.gui.imageio=false"));

    QStringList args = QCoreApplication::arguments().mid(1);
    QString pngOut;
    if (!args.isEmpty() && args.first() == QLatin1String("--png")) {
        if (args.size() != 3) return Usage();
        pngOut = args.at(1);
        args = args.mid(2);
    }
    if (args.isEmpty()) return Usage();

    const imaging::DisplayTarget target{QSize(1920, 1080), 1.0};
    int failures = 0;
    for (const QString& path : args) {
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
