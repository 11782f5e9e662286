// Opening a pane in the viewer and closing it again, as a person would.
#include "viewer/frmImageViewer.h"
#include "app/frmDuvix.h"
#include "common/Globals.h"
#include "platform/MousePointer.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

class ViewerRoute : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        form = &platform::Instance<frmDuvix>();
        form->Load();
        form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        picture = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 300, 200, 0xff0000);
        form->LoadPaneImage(picture, 1);
        ASSERT_EQ(form->img1->Tag(), picture);
    }
    void TearDown() override {
        if (platform::InstanceExists<frmImageViewer>()) {
            platform::Instance<frmImageViewer>().Unload();
        }
        form->Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        gCurrentFile.clear();
    }
    // Runs `whileOpen` once the modal viewer is up, from inside the double-click handler.
    bool DoubleClickLeftPane(const std::function<void(frmImageViewer&)>& whileOpen) {
        bool sawViewer = false;
        QTimer::singleShot(0, [&] {
            if (!platform::InstanceExists<frmImageViewer>()) {
                return;
            }
            sawViewer = true;
            frmImageViewer& v = platform::Instance<frmImageViewer>();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&v));
            whileOpen(v);
            if (v.IsLoaded()) {
                v.Unload();  // never leave the test hanging in the modal loop
            }
        });
        QTest::mouseDClick(form->img1->Surface(), Qt::LeftButton, {},
                           form->img1->Surface()->rect().center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return sawViewer;
    }
    QTemporaryDir dir;
    QString picture;
    frmDuvix* form = nullptr;
};

TEST_F(ViewerRoute, DoubleClickOpensModalViewerCaptionedWithThePath) {
    bool modal = false, escapeClosed = false, pointerDefault = false;
    QString caption;
    const bool opened = DoubleClickLeftPane([&](frmImageViewer& v) {
        caption = v.windowTitle();
        modal = QApplication::activeModalWidget() == &v;
        pointerDefault = platform::MousePointer() == platform::kPointerDefault;
        EXPECT_TRUE(v.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(v.windowState() & Qt::WindowMaximized);
        EXPECT_EQ(v.Client()->palette().color(QPalette::Window), QColor(Qt::black));
        // Fitted with the margin and centred, never enlarged: 300 x 200 px is 4500 x 3000 twips.
        const double boxW = v.ScaleWidth() - 60, boxH = v.ScaleHeight() - 60;
        EXPECT_LE(v.img->Width(), std::min(4500.0, boxW) + 1);  // HIMETRIC is whole
        EXPECT_LE(v.img->Height(), std::min(3000.0, boxH) + 1);
        EXPECT_NEAR(v.img->Left() + v.img->Width() / 2, v.ScaleWidth() / 2, 0.5);
        EXPECT_NEAR(v.img->Top() + v.img->Height() / 2, v.ScaleHeight() / 2, 0.5);
        QTest::keyClick(&v, Qt::Key_A);
        EXPECT_TRUE(v.IsLoaded()) << "another key does nothing";
        QTest::keyClick(&v, Qt::Key_Escape);
        escapeClosed = !v.IsLoaded();
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(caption, picture);
    EXPECT_TRUE(modal);
    EXPECT_TRUE(pointerDefault) << "hourglass only while the viewer reads its picture";
    EXPECT_TRUE(escapeClosed);
    EXPECT_EQ(gCurrentFile, picture);
    EXPECT_FALSE(platform::InstanceExists<frmImageViewer>());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->img1->Tag(), picture) << "the comparison window is unchanged";
}

TEST_F(ViewerRoute, DoubleClickOnMarginOrPictureCloses) {
    bool marginClosed = false, pictureClosed = false;
    DoubleClickLeftPane([&](frmImageViewer& v) {
        QTest::mouseDClick(v.Client(), Qt::LeftButton, {}, QPoint(1, 1));
        marginClosed = !v.IsLoaded();
    });
    DoubleClickLeftPane([&](frmImageViewer& v) {
        QTest::mouseDClick(v.img->Surface(), Qt::LeftButton, {}, v.img->Surface()->rect().center());
        pictureClosed = !v.IsLoaded();
    });
    EXPECT_TRUE(marginClosed);
    EXPECT_TRUE(pictureClosed);
}

TEST_F(ViewerRoute, EmptyPaneOrVanishedFileOpensNothing) {
    gCurrentFile = "something else";
    QTest::mouseDClick(form->img2->Surface(), Qt::LeftButton, {},
                       form->img2->Surface()->rect().center());
    EXPECT_EQ(gCurrentFile, "");
    EXPECT_FALSE(platform::InstanceExists<frmImageViewer>());

    ASSERT_TRUE(QFile::remove(picture));
    EXPECT_FALSE(DoubleClickLeftPane([](frmImageViewer&) {}));
    EXPECT_EQ(gCurrentFile, picture);
}

TEST_F(ViewerRoute, FileThatIsNotAPictureOpensAnEmptyViewer) {
    const QString text = dir.filePath("notes.jpg");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    form->img1->SetTag(text);
    QString caption;
    bool empty = false;
    EXPECT_TRUE(DoubleClickLeftPane([&](frmImageViewer& v) {
        caption = v.windowTitle();
        empty = v.img->GetPicture() == nullptr && v.mWidth == 0 && std::isnan(v.mRatio);
        EXPECT_TRUE(v.img->Visible());
    }));
    EXPECT_EQ(caption, text);
    EXPECT_TRUE(empty);
}

TEST(Viewer, ResizeRefitsAndLoadingTwiceKeepsThePicture) {
    QTemporaryDir dir;
    gCurrentFile = testfiles::WriteSolidPicture(dir.path(), "w.bmp", 400, 100);
    frmImageViewer& v = platform::Instance<frmImageViewer>();
    v.Load();
    v.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    const imaging::Picture* first = v.img->GetPicture();
    ASSERT_NE(first, nullptr);
    gCurrentFile = "elsewhere";
    v.Load();
    EXPECT_EQ(v.img->GetPicture(), first);
    EXPECT_NE(v.windowTitle(), "elsewhere");

    v.showNormal();
    v.resize(200, 150);  // smaller than the picture: 3000 x 2250 twips, box 2940 x 2190
    QTest::qWait(20);
    EXPECT_NEAR(v.img->Width(), 2940, 0.01);
    EXPECT_NEAR(v.img->Height(), 735, 0.5);
    EXPECT_NEAR(v.img->Top(), 30 + (2190 - 735) / 2.0, 0.5);
    v.Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    gCurrentFile.clear();
}

}  // namespace
