// Metafile player over every metafile of the third-party test pictures.
#include <gtest/gtest.h>

#include "imaging/wmf/WmfPlayer.h"
#include "tests/support/TestFiles.h"

namespace {

std::vector<testfiles::CorpusRow> CorpusMetafiles() {
    std::vector<testfiles::CorpusRow> out;
    for (testfiles::CorpusRow& row : testfiles::CorpusRows("wmf")) {
        if (row.path.endsWith(".wmf", Qt::CaseInsensitive)) out.push_back(std::move(row));
    }
    return out;
}

TEST(WmfCorpus, EveryFilePlaysAndValidOnesGiveAPicture) {
    const std::vector<testfiles::CorpusRow> files = CorpusMetafiles();
    ASSERT_GE(files.size(), 90u) << "metafiles missing from the corpus manifest";
    int valid = 0;
    for (const testfiles::CorpusRow& e : files) {
        const QByteArray bytes = testfiles::ReadBytes(e.path);
        ASSERT_FALSE(bytes.isEmpty()) << e.path.toStdString();
        QString error;
        const auto r = imaging::wmf::RenderWmf(bytes, QSize(1024, 1024), 1.0, &error);
        if (r) {
            EXPECT_LE(r->image.width(), 1024) << e.path.toStdString();
            EXPECT_LE(r->image.height(), 1024) << e.path.toStdString();
        }
        if (!e.note.startsWith("valid")) continue;
        ++valid;
        EXPECT_TRUE(imaging::wmf::LooksLikeWmf(bytes.left(64))) << e.path.toStdString();
        ASSERT_TRUE(r) << e.path.toStdString() << ": " << error.toStdString();
        EXPECT_FALSE(r->image.isNull()) << e.path.toStdString();
        EXPECT_GT(r->widthHimetric, 0);
        EXPECT_GT(r->heightHimetric, 0);
    }
    EXPECT_GE(valid, 40);
}

// Pictures with real content draw something (not just a transparent frame).
TEST(WmfCorpus, DrawingsAreNotBlank) {
    const QString dir = testfiles::CorpusDir();
    for (const char* name :
         {"wmf/imagemagick/clock.wmf", "wmf/apache-poi/santa.wmf", "wmf/wmf2canvas/image22.wmf",
          "wmf/dotnet-runtime-assets/gdiwmfboundariesbug.wmf", "wmf/libyal-dtformats/grid.wmf"}) {
        const auto r = imaging::wmf::RenderWmf(testfiles::ReadBytes(dir + "/" + name),
                                               QSize(400, 400), 1.0, nullptr);
        ASSERT_TRUE(r) << name;
        int opaque = 0;
        for (int y = 0; y < r->image.height(); ++y)
            for (int x = 0; x < r->image.width(); ++x) opaque += qAlpha(r->image.pixel(x, y)) > 0;
        EXPECT_GT(opaque, r->image.width() * r->image.height() / 50) << name;
    }
}

}  // namespace
