#include "TestFiles.h"

#include <gtest/gtest.h>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTextStream>

namespace testfiles {

QString CorpusDir() {
    const QString dir = QStringLiteral(DUVIX_CORPUS_DIR);
    if (!QFileInfo::exists(dir + "/MANIFEST.tsv")) {
        ADD_FAILURE() << "test pictures missing: " << dir.toStdString();
    }
    return dir;
}

std::vector<CorpusRow> CorpusRows(const QString& format) {
    std::vector<CorpusRow> rows;
    const QString dir = CorpusDir();
    QFile f(dir + "/MANIFEST.tsv");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return rows;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList cols = in.readLine().split('\t');
        if (cols.size() >= 7 && cols[0] == format) rows.push_back({dir + "/" + cols[1], cols[6]});
    }
    return rows;
}

QString DataDir() { return QStringLiteral(DUVIX_TEST_DATA_DIR); }

QString WriteSolidPicture(const QString& folder, const QString& name, int w, int h, unsigned rgb) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor::fromRgb(rgb));
    const QString path = QDir(folder).filePath(name);
    const QString suffix = QFileInfo(name).suffix().toLower();
    const char* fmt = suffix == "bmp"   ? "BMP"
                      : suffix == "png" ? "PNG"
                                        : "JPG";  // Qt writes no GIF
    EXPECT_TRUE(img.save(path, fmt, 95)) << path.toStdString();
    return path;
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

}  // namespace testfiles
