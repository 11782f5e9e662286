// A double-click shows the viewer's copy prepared while the pane was shown, unless the file
// changed since.
#include "app/frmDuvix.h"
#include "imaging/RecentPictures.h"
#include "tests/support/TestFiles.h"
#include "viewer/frmImageViewer.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {

class ViewerRoute : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        imaging::ForgetRecentPictures();
        form = &platform::Instance<frmDuvix>();
        form->Load();
        form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        picture = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 1600, 1200, 0x00ff00);
    }
    void TearDown() override {
        form->Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Double-clicks the left pane; returns the picture the viewer got, and closes it.
    qint64 ShownByViewer() {
        qint64 shown = -1;
        QTimer::singleShot(0, [&shown] {
            frmImageViewer& viewer = platform::Instance<frmImageViewer>();
            const imaging::Picture* p = viewer.img->GetPicture();
            shown = p != nullptr ? p->image.cacheKey() : 0;
            viewer.Unload();
        });
        form->img1_DblClick();
        return shown;
    }
    QTemporaryDir dir;
    QString picture;
    frmDuvix* form = nullptr;
};

TEST_F(ViewerRoute, ThePreparedCopyIsShownUntilTheFileChanges) {
    form->LoadPaneImage(picture, 1);
    // The viewer's copy is prepared once the pane has shown its own.
    EXPECT_TRUE(QTest::qWaitFor([] { return imaging::RecentPictureCount() == 1; }, 5000));
    const imaging::LoadResult prepared =
        imaging::LoadRecentPictureFile(picture, frmImageViewer::PictureTarget());
    ASSERT_TRUE(prepared.picture);
    EXPECT_EQ(ShownByViewer(), prepared.picture->image.cacheKey());

    QFile f(picture);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        f.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime));
    f.close();
    const qint64 again = ShownByViewer();
    EXPECT_NE(again, prepared.picture->image.cacheKey());
    EXPECT_GT(again, 0);
}

TEST_F(ViewerRoute, ADoubleClickDuringThePreparationDoesNotWaitForIt) {
    form->LoadPaneImage(picture, 1);
    // At once: the worker has handed nothing over, so the viewer reads the file itself and keeps
    // what it read.
    const qint64 first = ShownByViewer();
    EXPECT_GT(first, 0);
    EXPECT_EQ(ShownByViewer(), first);
}

TEST_F(ViewerRoute, TheViewersCopyIsAtTheSizeItIsDrawn) {
    const imaging::DisplayTarget t = frmImageViewer::PictureTarget();
    EXPECT_TRUE(t.reduceToFit);
    const imaging::LoadResult r = imaging::LoadRecentPictureFile(picture, t);
    ASSERT_TRUE(r.picture);
    QSize drawn;
    QTimer::singleShot(0, [&drawn] {
        frmImageViewer& viewer = platform::Instance<frmImageViewer>();
        // Covering the screen, as a window manager maximises it (the test platform does not).
        const QRect screen = viewer.screen()->geometry();
        viewer.setGeometry(screen);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return viewer.isVisible() && viewer.Client()->size() == screen.size(); }, 5000));
        drawn = viewer.img->Surface()->size() * viewer.img->Surface()->devicePixelRatioF();
        viewer.Unload();
    });
    form->LoadPaneImage(picture, 1);
    form->img1_DblClick();
    // Within a pixel of the picture's own size: the first paint copies rather than rescales.
    EXPECT_LE(std::abs(drawn.width() - r.picture->image.width()), 1);
    EXPECT_LE(std::abs(drawn.height() - r.picture->image.height()), 1);
}

}  // namespace
