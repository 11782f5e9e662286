// Opening a pane in the viewer and closing it again, as a person would.
#include "viewer/frmImageViewer.h"
#include "app/frmDuvix.h"
#include "common/Globals.h"
#include "tests/support/CallLog.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <tuple>

namespace {

void UnloadViewer() {
    if (platform::InstanceExists<frmImageViewer>()) platform::Instance<frmImageViewer>().Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    gCurrentFile.clear();
}

class ViewerRoute : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
        form->LoadPaneImage(picture, 1);
    }
    void TearDown() override {
        UnloadViewer();
        testwindows::CloseComparisonWindow(form);
    }
    // Runs `whileOpen` inside the modal viewer; false when none opened.
    bool DoubleClick(platform::ImageControl* pane,
                     const std::function<void(frmImageViewer&)>& whileOpen = {}) {
        bool sawViewer = false;
        QObject scope;  // a timer left over when no viewer opens dies with it
        QTimer::singleShot(0, &scope, [&] {
            if (!platform::InstanceExists<frmImageViewer>()) return;
            sawViewer = true;
            frmImageViewer& v = platform::Instance<frmImageViewer>();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&v));
            if (whileOpen) whileOpen(v);
            if (v.IsLoaded()) v.Unload();  // never leave the test hanging in the modal loop
        });
        QTest::mouseDClick(pane->Surface(), Qt::LeftButton, {}, pane->Surface()->rect().center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return sawViewer;
    }
    QTemporaryDir dir;
    QString picture = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 300, 200, 0xff0000);
    frmDuvix* form = nullptr;
};

TEST_F(ViewerRoute, DoubleClickShowsThePictureAloneOnBlackUntilEscape) {
    testsupport::CallLog log;
    EXPECT_TRUE(DoubleClick(form->img1, [&](frmImageViewer& v) {
        EXPECT_EQ(v.windowTitle(), picture);
        EXPECT_EQ(QApplication::activeModalWidget(), &v);
        EXPECT_TRUE(v.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(v.geometry(), v.screen()->geometry()) << "maximised over the whole screen";
        EXPECT_EQ(v.Client()->palette().color(QPalette::Window), QColor(Qt::black));
        // 300 x 200 px is 4500 x 3000 twips: never enlarged, centred.
        const platform::ImageControl* i = v.img;
        EXPECT_LE(std::abs(i->Width() - 4500) + std::abs(i->Height() - 3000), 1);
        EXPECT_LE(std::abs(2 * i->Left() + i->Width() - v.ScaleWidth()) +
                      std::abs(2 * i->Top() + i->Height() - v.ScaleHeight()),
                  2);
        QTest::keyClick(&v, Qt::Key_A);
        EXPECT_TRUE(v.IsLoaded()) << "another key does nothing";
        QTest::keyClick(&v, Qt::Key_Escape);
        EXPECT_FALSE(v.IsLoaded());
    }));
    // The hourglass covers the load (the design move and the picture) and is gone before the
    // show, whose every resize hides, moves and shows the picture.
    ASSERT_GE(log.lines.size(), 7);
    EXPECT_EQ(log.lines.mid(0, 4),
              (QStringList{"pointer 11", "img move", "img picture", "pointer 0"}));
    for (qsizetype i = 4; i < log.lines.size(); i += 3)
        EXPECT_EQ(log.lines.mid(i, 3), (QStringList{"img hide", "img move", "img show"}));
}

TEST_F(ViewerRoute, DoubleClickOnTheMarginOrThePictureCloses) {
    for (bool onPicture : {false, true}) {
        EXPECT_TRUE(DoubleClick(form->img1, [&](frmImageViewer& v) {
            QWidget* w = onPicture ? v.img->Surface() : v.Client();
            QTest::mouseDClick(w, Qt::LeftButton, {},
                               onPicture ? w->rect().center() : QPoint(1, 1));
            EXPECT_FALSE(v.IsLoaded()) << onPicture;
        }));
    }
}

TEST_F(ViewerRoute, AnEmptyPaneOrAVanishedFileOpensNothingAndANonPictureAnEmptyViewer) {
    gCurrentFile = "something else";
    EXPECT_FALSE(DoubleClick(form->img2));
    EXPECT_EQ(gCurrentFile, "");
    const QString text = dir.filePath("notes.jpg");
    testfiles::WriteBytes(text, "not a picture");
    form->img1->SetTag(text);
    EXPECT_TRUE(DoubleClick(form->img1, [&](frmImageViewer& v) {
        EXPECT_EQ(v.windowTitle(), text);
        EXPECT_TRUE(v.img->GetPicture() == nullptr && v.mWidth == 0 && std::isnan(v.mRatio));
        EXPECT_TRUE(v.img->Visible());
    }));
    ASSERT_TRUE(QFile::remove(text));
    EXPECT_FALSE(DoubleClick(form->img1));
    EXPECT_EQ(gCurrentFile, text);
}

class Viewer : public ::testing::Test {
protected:
    void TearDown() override { UnloadViewer(); }
    frmImageViewer& ShowRestored(const QString& picture, QSize client = {312, 213}) {
        gCurrentFile = picture;
        frmImageViewer& v = platform::Instance<frmImageViewer>();
        v.Load();
        v.Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&v));
        v.showNormal();
        if (client != QSize(312, 213)) v.resize(client);  // else the design size
        EXPECT_TRUE(QTest::qWaitFor([&] { return v.Client()->size() == client; }));
        return v;
    }
    QTemporaryDir dir;
};

TEST_F(Viewer, DesignRectangleAndRestoredClientSizeCentred) {
    const platform::ImageControl* img = platform::Instance<frmImageViewer>().img;
    EXPECT_EQ(std::tuple(img->Left(), img->Top(), img->Width(), img->Height(), img->Stretch()),
              std::tuple(360.f, 360.f, 3840.f, 2220.f, true));
    frmImageViewer& v = ShowRestored("");
    EXPECT_EQ(std::pair(v.ScaleWidth(), v.ScaleHeight()), std::pair(4680.f, 3195.f));
    const QPoint off = v.geometry().center() - v.screen()->availableGeometry().center();
    EXPECT_LE(off.manhattanLength(), 4);
}

TEST_F(Viewer, NaturalSizeInSinglePrecisionFittedWithinA30TwipMargin) {
    // HIMETRIC to twips in single precision; double precision differs in every value here.
    const auto single = [](int32_t h) { return double(float(h) * 1440.0f / 2540.0f); };
    const double boxW = 6000 - 60, boxH = 4500 - 60;  // 400 x 300 px
    for (const auto& [name, w, h] : {std::tuple("wide.bmp", 2000, 700), {"tall.bmp", 100, 1000}}) {
        testsupport::CallLog log;
        frmImageViewer& v =
            ShowRestored(testfiles::WriteSolidPicture(dir.path(), name, w, h), QSize(400, 300));
        const double pw = single(v.img->PictureWidth()), ph = single(v.img->PictureHeight());
        EXPECT_EQ(std::tuple(v.mWidth, v.mHeight, v.mRatio), std::tuple(pw, ph, pw / ph));
        const double fitW = w > h ? boxW : boxH * v.mRatio, fitH = w > h ? boxW / v.mRatio : boxH;
        // Only the left edge goes over in single precision.
        ASSERT_FALSE(log.moves.empty());
        const platform::ImageControlCall& m = log.moves.back();
        EXPECT_EQ(std::tuple(m.left, m.top, m.width, m.height),
                  std::tuple(float(30 + (boxW - fitW) / 2), 30 + (boxH - fitH) / 2, fitW, fitH))
            << name;
        UnloadViewer();
    }
}

}  // namespace
