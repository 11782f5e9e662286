// The committed icon files: their structure, their agreement with the generator and the
// icons the windows get through the Qt resources.
#include "resources/Icons.h"
#include "IcoReader.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>

namespace {

const QString kIcons = QStringLiteral(DUVIX_RESOURCES_DIR "/icons");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

struct Decoded {
    int size;
    int bits;
    QImage image;
};

// Every check the file format asks of one .ico; returns the decoded images.
std::vector<Decoded> CheckIco(const QString& name) {
    SCOPED_TRACE(name.toStdString());
    const QByteArray file = ReadAll(kIcons + '/' + name);
    QString error;
    const auto entries = icoreader::ParseIco(file, &error);
    if (!entries) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    EXPECT_EQ(entries->size(), 8u);
    QSet<QPair<int, int>> seen;
    std::vector<Decoded> out;
    qsizetype dataBytes = 0;
    for (const icoreader::Entry& e : *entries) {
        SCOPED_TRACE(QStringLiteral("%1 px, %2 bits").arg(e.width).arg(e.bits).toStdString());
        dataBytes += e.data.size();
        EXPECT_FALSE(icoreader::IsPng(e.data));
        EXPECT_EQ(e.width, e.height);
        EXPECT_EQ(e.planes, 1);
        EXPECT_EQ(e.colorCount, 0);  // 256 colours and more are written as 0
        EXPECT_FALSE(seen.contains({e.width, e.bits})) << "the same size and depth twice";
        seen.insert({e.width, e.bits});
        const auto dib = icoreader::DecodeDib(e.data, &error);
        if (!dib) {
            ADD_FAILURE() << error.toStdString();
            continue;
        }
        EXPECT_EQ(dib->width, e.width);
        EXPECT_EQ(dib->bits, e.bits);
        EXPECT_EQ(dib->planes, 1);
        EXPECT_EQ(dib->expectedBytes, e.data.size()) << "stray or missing bytes in the image";
        if (e.bits == 8) {
            EXPECT_EQ(dib->colorsUsed, 256u);
        }
        int transparent = 0;
        int maskMismatches = 0;
        for (int y = 0; y < e.width; ++y) {
            for (int x = 0; x < e.width; ++x) {
                const bool masked = qGray(dib->mask.pixel(x, y)) != 0;
                transparent += masked;
                // Old Windows versions draw with the mask even for 32-bit images.
                if (e.bits == 32 && masked != (qAlpha(dib->image.pixel(x, y)) < 128))
                    ++maskMismatches;
            }
        }
        EXPECT_EQ(maskMismatches, 0) << "mask and alpha disagree";
        const int area = e.width * e.width;
        EXPECT_GT(transparent, 0) << "the icon should not be a full square";
        EXPECT_LT(transparent, area * 3 / 4) << "the icon is mostly empty";
        out.push_back({e.width, e.bits, dib->image});
    }
    const QSet<QPair<int, int>> wanted{{16, 8},  {24, 8},  {32, 8},  {48, 8},
                                       {16, 32}, {24, 32}, {32, 32}, {48, 32}};
    EXPECT_EQ(seen, wanted);
    EXPECT_EQ(file.size(), 6 + 16 * qsizetype(entries->size()) + dataBytes)
        << "images overlap or the file has gaps";
    return out;
}

const QImage* Find(const std::vector<Decoded>& images, int size, int bits) {
    for (const Decoded& d : images) {
        if (d.size == size && d.bits == bits) return &d.image;
    }
    return nullptr;
}

// Mean distance per colour channel over pixels opaque in both images.
double MeanColourError(const QImage& a, const QImage& b) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAlpha(p) < 255 || qAlpha(q) < 255) continue;
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
            n += 3;
        }
    }
    return n ? sum / n : 1e9;
}

TEST(IconFiles, EightBitmapImagesAtFourSizesAndTwoDepths) {
    const std::vector<Decoded> program = CheckIco(QStringLiteral("duvix.ico"));
    const std::vector<Decoded> viewer = CheckIco(QStringLiteral("viewer.ico"));
    for (int size : {16, 24, 32, 48}) {
        // The palette version is the same artwork: opaque pixels close in colour.
        for (const std::vector<Decoded>* images : {&program, &viewer}) {
            const QImage* low = Find(*images, size, 8);
            const QImage* high = Find(*images, size, 32);
            ASSERT_TRUE(low && high) << size;
            EXPECT_LT(MeanColourError(*low, *high), 3.0) << size;
        }
        EXPECT_NE(*Find(program, size, 32), *Find(viewer, size, 32)) << "viewer icon " << size;
    }
}

TEST(IconFiles, QtReadsAllEightImages) {
    // A second, unrelated reader (Qt's ico plugin) must agree with ours.
    for (const QString& name : {QStringLiteral("duvix.ico"), QStringLiteral("viewer.ico")}) {
        QImageReader reader(kIcons + '/' + name, "ico");
        ASSERT_TRUE(reader.canRead())
            << name.toStdString() << ": " << reader.errorString().toStdString();
        EXPECT_EQ(reader.imageCount(), 8) << name.toStdString();
        QSet<int> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            ASSERT_TRUE(reader.jumpToImage(i));
            const QImage img = reader.read();
            ASSERT_FALSE(img.isNull()) << name.toStdString() << " image " << i;
            sizes.insert(img.width());
        }
        EXPECT_EQ(sizes, QSet<int>({16, 24, 32, 48}));
    }
}

TEST(IconFiles, ThemeImagesHaveTheirNominalSize) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        for (const QString& path : {QStringLiteral("%1/hicolor/%2x%2/apps/duvix.png"),
                                    QStringLiteral("%1/viewer/viewer-%2.png")}) {
            const QString file = path.arg(kIcons).arg(size);
            const QImage img(file);
            ASSERT_FALSE(img.isNull()) << file.toStdString();
            EXPECT_EQ(img.size(), QSize(size, size)) << file.toStdString();
            EXPECT_TRUE(img.hasAlphaChannel()) << file.toStdString();
        }
    }
}

TEST(IconFiles, ScalableIconIsWellFormedSvg) {
    QXmlStreamReader xml(ReadAll(kIcons + "/duvix.svg"));
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QStringLiteral("svg"));
    EXPECT_EQ(xml.namespaceUri(), QStringLiteral("http://www.w3.org/2000/svg"));
    EXPECT_FALSE(xml.attributes().value("viewBox").isEmpty());
    int shapes = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            (xml.name() == QStringLiteral("rect") || xml.name() == QStringLiteral("ellipse") ||
             xml.name() == QStringLiteral("polygon"))) {
            ++shapes;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(shapes, 10);
}

// The committed files are exactly what the generator writes now: no hand edits, no stale
// images after a change to the artwork, no files missing from the commit.
TEST(IconFiles, GeneratorReproducesCommittedFiles) {
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess gen;
    gen.start(QStringLiteral(DUVIX_ICONGEN), {out.path()});
    ASSERT_TRUE(gen.waitForFinished(120000)) << "cannot run " DUVIX_ICONGEN;
    ASSERT_EQ(gen.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();

    auto list = [](const QString& root) {
        QStringList files;
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) files << QDir(root).relativeFilePath(it.next());
        files.sort();
        return files;
    };
    const QStringList generated = list(out.path());
    ASSERT_EQ(generated, list(kIcons));
    for (const QString& rel : generated) {
        SCOPED_TRACE(rel.toStdString());
        const QString fresh = out.filePath(rel);
        const QString committed = kIcons + '/' + rel;
        if (rel.endsWith(".png")) {
            // Pixels, not bytes: another zlib may compress differently.
            EXPECT_EQ(QImage(fresh).convertToFormat(QImage::Format_ARGB32),
                      QImage(committed).convertToFormat(QImage::Format_ARGB32));
        } else {
            EXPECT_TRUE(ReadAll(fresh) == ReadAll(committed));
        }
    }
}

TEST(Icons, ProgramAndViewerIconsComeFromTheResources) {
    const QIcon program = resources::ProgramIcon();
    const QIcon viewer = resources::ViewerIcon();
    ASSERT_FALSE(program.isNull());
    ASSERT_FALSE(viewer.isNull());
    for (const QIcon& icon : {program, viewer}) {
        const QList<QSize> sizes = icon.availableSizes();
        for (int s : {16, 24, 32, 48, 256}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
    }
    // Pixmaps are premultiplied; compare in that form, as the way back loses precision.
    const auto image = [](const QImage& i) {
        return i.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    const QImage p32 = image(program.pixmap(QSize(32, 32)).toImage());
    const QImage v32 = image(viewer.pixmap(QSize(32, 32)).toImage());
    EXPECT_EQ(p32, image(QImage(kIcons + "/hicolor/32x32/apps/duvix.png")));
    EXPECT_EQ(v32, image(QImage(kIcons + "/viewer/viewer-32.png")));
    EXPECT_NE(p32, v32);
}

}  // namespace
