// A double-click shows the viewer's copy prepared while the pane was shown, at its drawn size.
#include "app/frmDuvix.h"
#include "imaging/RecentPictures.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/TestFiles.h"
#include "viewer/frmImageViewer.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

class ViewerRoute : public ::testing::Test {
protected:
    void SetUp() override {
        imaging::ForgetRecentPictures();
        ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
        picture = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 1600, 1200, 0x00ff00);
        form->LoadPaneImage(picture, 1);
    }
    void TearDown() override { testwindows::CloseComparisonWindow(form); }
    // The viewer's picture (0 for none) and its drawn size in device pixels, over the whole
    // screen as a window manager maximises it.
    std::pair<qint64, QSize> DoubleClick() {
        std::pair<qint64, QSize> shown{-1, {}};
        QTimer::singleShot(0, [&shown] {
            frmImageViewer& viewer = platform::Instance<frmImageViewer>();
            const QRect screen = viewer.screen()->geometry();
            viewer.setGeometry(screen);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return viewer.isVisible() && viewer.Client()->size() == screen.size(); }));
            const imaging::Picture* p = viewer.img->GetPicture();
            const QWidget* surface = viewer.img->Surface();
            shown = {p != nullptr ? p->image.cacheKey() : 0,
                     surface->size() * surface->devicePixelRatioF()};
            viewer.Unload();
        });
        form->img1_DblClick();
        return shown;
    }
    QTemporaryDir dir;
    QString picture;
    frmDuvix* form = nullptr;
};

TEST_F(ViewerRoute, ThePreparedCopyIsShownAtTheSizeItIsDrawn) {
    ASSERT_TRUE(QTest::qWaitFor([] { return imaging::RecentPictureCount() == 1; }));
    const imaging::LoadResult prepared =
        imaging::LoadRecentPictureFile(picture, frmImageViewer::PictureTarget());
    ASSERT_TRUE(prepared.picture);
    const auto [shown, drawn] = DoubleClick();
    EXPECT_EQ(shown, prepared.picture->image.cacheKey());
    // Within a pixel of the picture's own size: the first paint copies rather than rescales.
    const QSize off = drawn - prepared.picture->image.size();
    EXPECT_LE(std::max(std::abs(off.width()), std::abs(off.height())), 1);
}

TEST_F(ViewerRoute, ADoubleClickDuringThePreparationDoesNotWaitForIt) {
    // Nothing is handed over yet: the viewer reads the file itself and keeps what it read.
    const qint64 first = DoubleClick().first;
    EXPECT_GT(first, 0);
    // One worker, in order: once the right pane's copy is kept, a left one left running would be.
    form->LoadPaneImage(testfiles::WriteSolidPicture(dir.path(), "q.bmp", 8, 8), 2);
    ASSERT_TRUE(QTest::qWaitFor([] { return imaging::RecentPictureCount() >= 2; }));
    EXPECT_EQ(DoubleClick().first, first);
}

}  // namespace
