// The committed icon files, their agreement with the generator, and the icons the windows get.
#include "resources/Icons.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtEndian>

#include <map>
#include <tuple>

namespace {

const QString kIcons = QStringLiteral(DUVIX_RESOURCES_DIR "/icons");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) ADD_FAILURE() << "cannot read " << path.toStdString();
    return f.readAll();
}
qint64 U8(const QByteArray& b, qsizetype p) { return quint8(b[p]); }
qint64 U16(const QByteArray& b, qsizetype p) { return qFromLittleEndian<quint16>(b.data() + p); }
qint64 U32(const QByteArray& b, qsizetype p) { return qFromLittleEndian<quint32>(b.data() + p); }

// The byte layout is pinned by GeneratorReproducesCommittedFiles; this checks what a viewer shows.
TEST(IconFiles, FourSizesAtTwoDepthsWithMasksThatMatchTheAlpha) {
    std::map<std::tuple<QString, int, int>, std::pair<QByteArray, QImage>> images;
    const QString files[] = {"duvix.ico", "viewer.ico"};
    for (const QString& name : files) {
        const QByteArray f = ReadAll(kIcons + '/' + name);
        QImageReader reader(kIcons + '/' + name, "ico");
        ASSERT_EQ(reader.imageCount(), 8) << name.toStdString();
        for (int i = 0; i < 8; ++i) {
            const qsizetype e = 6 + 16 * i;
            ASSERT_TRUE(reader.jumpToImage(i));
            images[{name, int(U8(f, e)), int(U16(f, e + 6))}] = {
                f.mid(U32(f, e + 12), U32(f, e + 8)),
                reader.read().convertToFormat(QImage::Format_ARGB32)};
        }
    }
    for (int s : {16, 24, 32, 48}) {
        for (const QString& name : files) {
            SCOPED_TRACE(testing::Message() << name.toStdString() << ' ' << s);
            ASSERT_TRUE(images.count({name, s, 8}) && images.count({name, s, 32}));
            const auto& [lowData, low] = images.at({name, s, 8});
            const auto& [highData, high] = images.at({name, s, 32});
            ASSERT_TRUE(low.size() == QSize(s, s) && high.size() == QSize(s, s));
            // Mask rows run bottom-up at the end of each image, in whole 32-bit words.
            const auto masked = [s](const QByteArray& d, int x, int y) {
                return U8(d, d.size() - (s + 31) / 32 * 4 * (y + 1) + x / 8) >> (7 - x % 8) & 1;
            };
            int transparent = 0, faults = 0, n = 0;
            double colourError = 0;
            for (int y = 0; y < s; ++y) {
                for (int x = 0; x < s; ++x) {
                    const QRgb p = low.pixel(x, y), q = high.pixel(x, y);
                    const bool clear = qAlpha(q) < 128;
                    transparent += clear;
                    // Old Windows versions draw with the mask even for 32-bit images, and
                    // invert the screen where a masked pixel is not black.
                    const qint64 index = U8(lowData, 40 + 1024 + (s - 1 - y) * s + x);
                    faults += (masked(lowData, x, y) != clear) + (masked(highData, x, y) != clear) +
                              (clear && lowData.mid(40 + 4 * index, 3) != QByteArray(3, 0));
                    if (qAlpha(p) < 255 || qAlpha(q) < 255) continue;
                    for (int shift : {0, 8, 16})
                        colourError += std::abs(int(p >> shift & 255) - int(q >> shift & 255));
                    n += 3;
                }
            }
            EXPECT_EQ(faults, 0) << "mask and alpha disagree, or masked 8-bit pixels not black";
            EXPECT_GT(transparent, 0) << "the icon should not be a full square";
            EXPECT_LT(transparent, s * s * 3 / 4) << "the icon is mostly empty";
            EXPECT_LT(n ? colourError / n : 1e9, 3.0) << "the palette image is other artwork";
        }
        EXPECT_NE(images.at({files[0], s, 32}).second, images.at({files[1], s, 32}).second);
    }
}

TEST(IconFiles, ScalableIconIsWellFormedSvg) {
    QXmlStreamReader xml(ReadAll(kIcons + "/duvix.svg"));
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.qualifiedName().toString() + ' ' + xml.namespaceUri().toString() + ' ' +
                  xml.attributes().value("viewBox").toString(),
              QStringLiteral("svg http://www.w3.org/2000/svg 0 0 256 256"));
    int shapes = 0;
    while (!xml.atEnd()) shapes += xml.readNext() == QXmlStreamReader::StartElement;
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(shapes, 10);
}

// No hand edits, no stale images after a change to the artwork, no files missing from the commit.
TEST(IconFiles, GeneratorReproducesCommittedFiles) {
    QTemporaryDir out;
    QProcess gen;
    gen.start(QStringLiteral(DUVIX_ICONGEN), {out.path()});
    ASSERT_TRUE(gen.waitForFinished(120000) && gen.exitStatus() == QProcess::NormalExit &&
                gen.exitCode() == 0)
        << "cannot run " DUVIX_ICONGEN << gen.readAllStandardError().toStdString();
    const auto list = [](const QString& root) {
        QStringList files;
        for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(root).relativeFilePath(it.next());
        files.sort();
        return files;
    };
    const QStringList generated = list(out.path());
    ASSERT_EQ(generated, list(kIcons));
    for (const QString& rel : generated) {
        SCOPED_TRACE(rel.toStdString());
        const QString committed = kIcons + '/' + rel;
        if (!rel.endsWith(".png")) {
            EXPECT_TRUE(ReadAll(out.filePath(rel)) == ReadAll(committed));
            continue;
        }
        // Pixels, not bytes: another zlib may compress differently. Themes pick by the size in
        // the name: 16x16/apps/duvix.png, viewer-16.png.
        const QImage image = QImage(committed).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(QImage(out.filePath(rel)).convertToFormat(QImage::Format_ARGB32), image);
        const int nominal = QRegularExpression("\\d+").match(rel).captured().toInt();
        EXPECT_EQ(image.size(), QSize(nominal, nominal));
        EXPECT_TRUE(QImage(committed).hasAlphaChannel());
    }
}

TEST(Icons, ProgramAndViewerIconsComeFromTheResources) {
    QList<QSize> sizes;
    for (int s : {16, 22, 24, 32, 48, 64, 128, 256}) sizes << QSize(s, s);
    // Pixmaps are premultiplied; compare in that form, as the way back loses precision.
    const auto f = QImage::Format_ARGB32_Premultiplied;
    for (const auto& [icon, png] :
         {std::pair(resources::ProgramIcon(), "/hicolor/32x32/apps/duvix.png"),
          std::pair(resources::ViewerIcon(), "/viewer/viewer-32.png")}) {
        EXPECT_EQ(icon.availableSizes(), sizes);
        EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage().convertToFormat(f),
                  QImage(kIcons + png).convertToFormat(f));
    }
}

}  // namespace
