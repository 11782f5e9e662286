#include <gtest/gtest.h>

#include "imaging/wmf/WmfPlayer.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(WmfCorpus, DrawingsAreNotBlank) {
    for (const char* name :
         {"wmf/imagemagick/clock.wmf", "wmf/apache-poi/santa.wmf", "wmf/wmf2canvas/image22.wmf",
          "wmf/dotnet-runtime-assets/gdiwmfboundariesbug.wmf", "wmf/libyal-dtformats/grid.wmf"}) {
        const auto r =
            imaging::wmf::RenderWmf(testfiles::ReadBytes(testfiles::CorpusDir() + "/" + name),
                                    QSize(400, 400), 1.0, nullptr);
        ASSERT_TRUE(r) << name;
        int opaque = 0;
        for (int y = 0; y < r->image.height(); ++y)
            for (int x = 0; x < r->image.width(); ++x) opaque += qAlpha(r->image.pixel(x, y)) > 0;
        EXPECT_GT(opaque, r->image.width() * r->image.height() / 50) << name;
    }
}

}  // namespace
