// Opening a pane in the viewer and closing it again, as a person would.
#include "viewer/frmImageViewer.h"
#include "app/frmDuvix.h"
#include "common/Globals.h"
#include "platform/MousePointer.h"
#include "tests/support/CallLog.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/HimetricTwips.h"
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
        ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
        picture = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 300, 200, 0xff0000);
        form->LoadPaneImage(picture, 1);
        ASSERT_EQ(form->img1->Tag(), picture);
    }
    void TearDown() override {
        if (platform::InstanceExists<frmImageViewer>()) {
            platform::Instance<frmImageViewer>().Unload();
        }
        testwindows::CloseComparisonWindow(form);
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

TEST_F(ViewerRoute, HourglassWhileTheViewerLoadsThenDefaultBeforeItShows) {
    testsupport::CallLog log;
    bool visibleAtDefault = true;
    platform::SetMousePointerObserver([&](int code) {
        log.lines << QStringLiteral("pointer %1").arg(code);
        if (code == platform::kPointerDefault) {
            visibleAtDefault = platform::Instance<frmImageViewer>().isVisible();
        }
    });
    EXPECT_TRUE(DoubleClickLeftPane([](frmImageViewer&) {}));
    // Loading builds the viewer from its design (one move) and reads the picture.
    ASSERT_GE(log.lines.size(), 7);
    EXPECT_EQ(log.lines.mid(0, 4),
              (QStringList{"pointer 11", "img move", "img picture", "pointer 0"}));
    EXPECT_FALSE(visibleAtDefault);
    // Then the modal show: every resize hides, moves and shows the picture, nothing else.
    for (qsizetype i = 4; i + 3 <= log.lines.size(); i += 3) {
        EXPECT_EQ(log.lines.mid(i, 3), (QStringList{"img hide", "img move", "img show"}));
    }
    EXPECT_EQ((log.lines.size() - 4) % 3, 0);
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
    testfiles::WriteBytes(text, "not a picture");
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

using testtwips::Double;
using testtwips::Single;

class Viewer : public ::testing::Test {
protected:
    void TearDown() override {
        if (platform::InstanceExists<frmImageViewer>()) {
            platform::Instance<frmImageViewer>().Unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        gCurrentFile.clear();
    }
    // Loads and shows the viewer on `picture`, then gives it a client area of `size` pixels.
    frmImageViewer& Open(const QString& picture, QSize size) {
        gCurrentFile = picture;
        frmImageViewer& v = platform::Instance<frmImageViewer>();
        v.Load();
        v.Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&v));
        v.showNormal();
        v.resize(size);
        EXPECT_TRUE(QTest::qWaitFor([&] { return v.Client()->size() == size; }));
        return v;
    }
    void Close() {
        platform::Instance<frmImageViewer>().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const platform::ImageControlCall& LastMove() const {
        EXPECT_FALSE(log.moves.empty());
        return log.moves.back();
    }
    QTemporaryDir dir;
    testsupport::CallLog log;
};

TEST_F(Viewer, DesignPictureRectangleAndRestoredClientSizeCentred) {
    frmImageViewer& v = platform::Instance<frmImageViewer>();
    EXPECT_EQ(v.img->Left(), 360);
    EXPECT_EQ(v.img->Top(), 360);
    EXPECT_EQ(v.img->Width(), 3840);
    EXPECT_EQ(v.img->Height(), 2220);
    EXPECT_TRUE(v.img->Stretch());
    v.Load();
    v.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    EXPECT_TRUE(v.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(v.geometry(), v.screen()->geometry()) << "maximised, it covers the whole screen";
    v.showNormal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.Client()->width() == 312; }));
    EXPECT_EQ(v.Client()->size(), QSize(312, 213));
    EXPECT_FLOAT_EQ(v.ScaleWidth(), 4680);
    EXPECT_FLOAT_EQ(v.ScaleHeight(), 3195);
    const QRect screen = v.screen()->availableGeometry();
    EXPECT_NEAR(v.geometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(v.geometry().center().y(), screen.center().y(), 2);
}

TEST_F(Viewer, ResizeHidesMovesShows) {
    frmImageViewer& v = Open(testfiles::WriteSolidPicture(dir.path(), "p.bmp", 40, 30), {300, 200});
    log.Clear();
    v.resize(250, 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.Client()->size() == QSize(250, 150); }));
    EXPECT_EQ(log.lines, (QStringList{"img hide", "img move", "img show"}));
}

TEST_F(Viewer, NaturalSizeInSinglePrecisionAndTheMovesValues) {
    // Wider than the box: top, width and height go over as doubles, left is 30.
    frmImageViewer* v =
        &Open(testfiles::WriteSolidPicture(dir.path(), "wide.bmp", 2000, 700), {400, 300});
    const int32_t w = v->img->PictureWidth(), h = v->img->PictureHeight();
    ASSERT_NE(Single(w), Double(w));
    ASSERT_NE(Single(h), Double(h));
    EXPECT_EQ(v->mWidth, Single(w));
    EXPECT_EQ(v->mHeight, Single(h));
    EXPECT_EQ(v->mRatio, Single(w) / Single(h));
    const double boxW = 6000 - 60, boxH = 4500 - 60;
    const double fitH = boxW / v->mRatio, top = 30 + (boxH - fitH) / 2;
    ASSERT_NE(static_cast<float>(top), top);
    ASSERT_NE(static_cast<float>(fitH), fitH);
    EXPECT_EQ(LastMove().left, 30);
    EXPECT_EQ(LastMove().top, top);
    EXPECT_EQ(LastMove().width, boxW);
    EXPECT_EQ(LastMove().height, fitH);
    Close();

    // Taller than the box: left goes over in single precision.
    v = &Open(testfiles::WriteSolidPicture(dir.path(), "tall.bmp", 100, 1000), {400, 300});
    const double fitW = boxH * v->mRatio, left = 30 + (boxW - fitW) / 2;
    ASSERT_NE(static_cast<float>(left), left);
    ASSERT_NE(static_cast<float>(fitW), fitW);
    EXPECT_EQ(LastMove().left, static_cast<double>(static_cast<float>(left)));
    EXPECT_EQ(LastMove().top, 30);
    EXPECT_EQ(LastMove().width, fitW);
    EXPECT_EQ(LastMove().height, boxH);
}

TEST(ViewerAlone, LoadingTwiceKeepsThePicture) {
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
    v.Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    gCurrentFile.clear();
}

}  // namespace
