// Writes every icon file of the program into a folder:
//   duvix.ico, viewer.ico            (16, 24, 32, 48 px at 8 and 32 bits per pixel)
//   duvix.svg                        (scalable program icon)
//   hicolor/NxN/apps/duvix.png       (program icon for the freedesktop theme)
//   viewer/viewer-N.png              (viewer icon for the Qt resources)
// The files in resources/icons are its output; rebuild them with the target duvix-icons-update.
#include "IcoFile.h"
#include "IconArt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool WritePng(const QString& path, const QImage& image) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QByteArray Ico(icongen::Scene (*scene)(int)) {
    std::vector<icongen::IconImage> images;
    for (int bits : {8, 32}) {
        for (int size : {16, 24, 32, 48}) images.push_back({icongen::Render(scene(size)), bits});
    }
    return icongen::EncodeIco(images);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok =
        WriteFile(out.filePath("duvix.ico"), Ico(icongen::ProgramScene)) &&
        WriteFile(out.filePath("viewer.ico"), Ico(icongen::ViewerScene)) &&
        WriteFile(out.filePath("duvix.svg"), icongen::ToSvg(icongen::ProgramScene(256)).toUtf8());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString n = QString::number(size);
        ok = ok &&
             WritePng(out.filePath(QStringLiteral("hicolor/%1x%1/apps/duvix.png").arg(n)),
                      icongen::Render(icongen::ProgramScene(size))) &&
             WritePng(out.filePath(QStringLiteral("viewer/viewer-%1.png").arg(n)),
                      icongen::Render(icongen::ViewerScene(size)));
    }
    return ok ? 0 : 1;
}
