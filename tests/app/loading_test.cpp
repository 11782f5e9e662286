// Pictures reach the panes by drops on the window or a pane, as the desktop sends them.
#include "app/frmDuvix.h"
#include "app/rules/PaneLayout.h"
#include "platform/CommonDialogs.h"
#include "platform/MousePointer.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>

namespace {

class Loading : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
        form->showNormal();  // 564 px wide: ScaleWidth 8460, half 4230
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->ScaleWidth() == 8460; }))
            << form->ScaleWidth();
        // As the program names them: dialogs and drops give native separators.
        red = QDir::toNativeSeparators(
            testfiles::WriteSolidPicture(dir.path(), "red.bmp", 96, 48, 0xff0000));
        blue = QDir::toNativeSeparators(
            testfiles::WriteSolidPicture(dir.path(), "blue.JPG", 48, 96, 0x0000ff));
        platform::SetMousePointerObserver([this](int code) { pointer << code; });
    }
    void TearDown() override {
        platform::SetMousePointerObserver({});
        testwindows::CloseComparisonWindow(form);
    }
    // Delivered through the window, as the platform delivers a drop: enter, then drop.
    void Drop(QWidget* target, QPoint pos, const QList<QUrl>& urls, const QString& text = {}) {
        QMimeData mime;
        if (!urls.isEmpty()) mime.setUrls(urls);
        if (!text.isEmpty()) mime.setText(text);
        const QPoint at = target->mapTo(form, pos);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &drop);
    }
    static QList<QUrl> Files(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        return urls;
    }
    QTemporaryDir dir;
    frmDuvix* form = nullptr;
    QString red, blue;
    QList<int> pointer;
};

TEST_F(Loading, WindowDropGoesByTheHalfItLandsOn) {
    Drop(form->Client(), QPoint(282, 300), Files({red}));  // X = 4230 twips, the middle: left
    EXPECT_EQ(form->img1->Tag(), red);
    EXPECT_TRUE(form->img2->Tag().isEmpty());
    Drop(form->Client(), QPoint(283, 300), Files({blue}));  // X = 4245 twips: right
    EXPECT_EQ(form->img2->Tag(), blue);
    EXPECT_EQ(form->img1->Tag(), red) << "the other pane is untouched";
    // 96 x 48 px: 2540 x 1270 HIMETRIC, 1440 x 720 twips; centred in the left box.
    EXPECT_DOUBLE_EQ(form->mLeftWidth, 1440);
    EXPECT_DOUBLE_EQ(form->mLeftRatio, 2);
    EXPECT_DOUBLE_EQ(form->mRightRatio, 0.5);
    const double bw = (8460 - 90) / 2.0;
    EXPECT_NEAR(form->img1->Left(), 30 + (bw - 1440) / 2, 0.01);
    EXPECT_NEAR(form->img2->Left(), 60 + bw + (bw - 720) / 2, 0.01);
}

TEST_F(Loading, AnEmptyPaneTakesNoDropInTheOtherHalf) {
    // Maximised, the right pane's design rectangle (x 306 to 439 px) lies in the left half.
    form->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Client()->width() > 700; }));
    const QPoint rightDesign(4590 / 15 + 1995 / 30, 1215 / 15 + 1995 / 30);
    ASSERT_LE(rightDesign.x() * 15, panes::DropHalf(form->ScaleWidth()));
    Drop(form->Client(), rightDesign, Files({red}));
    EXPECT_EQ(form->img1->Tag(), red);
    EXPECT_TRUE(form->img2->Tag().isEmpty());

    // Narrow, the left pane's design rectangle (x 102 to 235 px) reaches into the right half.
    form->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form = &platform::Instance<frmDuvix>();
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    form->showNormal();
    form->resize(300, 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Client()->width() == 300; }));
    const QPoint leftDesign(200, 1215 / 15 + 1995 / 30);
    ASSERT_GT(leftDesign.x() * 15, panes::DropHalf(form->ScaleWidth()));
    Drop(form->Client(), leftDesign, Files({blue}));
    EXPECT_EQ(form->img2->Tag(), blue);
    EXPECT_TRUE(form->img1->Tag().isEmpty());
}

TEST_F(Loading, PaneDropGoesToThatPaneWherever) {
    form->LoadPaneImage(red, 1);
    Drop(form->img2->Surface(), QPoint(1, 1), Files({blue}));
    EXPECT_EQ(form->img2->Tag(), blue);
    Drop(form->img1->Surface(), QPoint(1, 1), Files({blue}));
    EXPECT_EQ(form->img1->Tag(), blue);
}

TEST_F(Loading, OnlyTheFirstFileOfADropCounts) {
    Drop(form->Client(), QPoint(10, 10), Files({red, blue}));
    EXPECT_EQ(form->img1->Tag(), red);
    EXPECT_TRUE(form->img2->Tag().isEmpty());
}

TEST_F(Loading, AFileWithAnEndingNotOnTheListIsNotLoaded) {
    // Folders, pipes, vanished files and drags without a local file: DropAction cases.
    const QString jpeg = testfiles::WriteSolidPicture(dir.path(), "photo.JPEG", 10, 10);
    Drop(form->Client(), QPoint(10, 10), Files({jpeg}));
    Drop(form->img1->Surface(), QPoint(1, 1), Files({jpeg}));
    EXPECT_TRUE(form->img1->Tag().isEmpty());
    EXPECT_TRUE(form->img2->Tag().isEmpty());
    EXPECT_TRUE(pointer.isEmpty());
    EXPECT_TRUE(std::isnan(form->mLeftRatio));
}

TEST_F(Loading, FileThatDoesNotDecodeLeavesThePaneAsItWas) {
    form->LoadPaneImage(red, 1);
    const imaging::Picture* shown = form->img1->GetPicture();
    const double width = form->mLeftWidth;
    const QString broken = dir.filePath("broken.gif");
    testfiles::WriteBytes(broken, "GIF89a this is not really a picture");
    pointer.clear();
    Drop(form->Client(), QPoint(10, 10), Files({broken}));
    EXPECT_EQ(form->img1->Tag(), red);
    EXPECT_EQ(form->img1->GetPicture(), shown);
    EXPECT_EQ(form->mLeftWidth, width);
    EXPECT_EQ(pointer.value(pointer.size() - 1), platform::kPointerDefault);
}

TEST_F(Loading, PaneNumberOtherThanOneMeansTheRightPane) {
    form->LoadPaneImage(red, 7);
    EXPECT_EQ(form->img2->Tag(), red);
}

}  // namespace

namespace {

// The menu items: the open dialog answers as a person would, scripted.
class MenuLoading : public Loading {
protected:
    platform::ScriptedCommonDialogs dialogs;
};

TEST_F(MenuLoading, ChosenFileFillsThatPaneAndCancelDoesNothing) {
    platform::CommonDialogsOverride scripted(dialogs);
    dialogs.Answer(red);
    form->menuBar()->actions().at(1)->trigger();  // "Left Image"
    EXPECT_EQ(form->img1->Tag(), red);
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    const auto& shown = dialogs.fileRequests[0];
    EXPECT_EQ(shown.kind, platform::FileDialogKind::Open);
    EXPECT_EQ(shown.record.lpstrTitle, "Open");
    EXPECT_EQ(shown.record.lpstrDefExt, "jpg");
    EXPECT_TRUE(shown.record.lpstrFilter.startsWith(QStringLiteral("JPEG (*.jpg)") + QChar(0) +
                                                    "*.jpg" + QChar(0)));
    EXPECT_TRUE(pointer.isEmpty()) << "the menu route shows no hourglass";

    dialogs.Cancel();
    form->menuBar()->actions().at(2)->trigger();  // "Right Image"
    EXPECT_TRUE(form->img2->Tag().isEmpty());
    dialogs.Answer(blue);
    form->menuBar()->actions().at(2)->trigger();
    EXPECT_EQ(form->img2->Tag(), blue);
    EXPECT_EQ(form->img1->Tag(), red);
}

TEST_F(MenuLoading, ChosenFileThatIsNotAPictureLeavesThePane) {
    platform::CommonDialogsOverride scripted(dialogs);
    const QString text = dir.filePath("notes.txt");
    testfiles::WriteBytes(text, "plain text");
    dialogs.Answer(red);
    form->menImage1_Click();
    const imaging::Picture* shown = form->img1->GetPicture();
    dialogs.Answer(text);  // typed by name: the ending is not checked on this route
    form->menImage1_Click();
    EXPECT_EQ(form->img1->Tag(), red);
    EXPECT_EQ(form->img1->GetPicture(), shown);
}

}  // namespace

namespace {

TEST_F(Loading, AHugeJpegIsDecodedForHalfTheScreenOnly) {
    // The offscreen screen is 800 x 600: a pane needs at most 400 x 600, so 4000 x 2000
    // (fit 400 x 200) decodes at 1/8; the viewer, for the whole screen (fit 800 x 400), at 1/4.
    const QString big = testfiles::WriteSolidPicture(dir.path(), "big.jpg", 4000, 2000);
    form->LoadPaneImage(big, 1);
    ASSERT_NE(form->img1->GetPicture(), nullptr);
    EXPECT_EQ(form->img1->GetPicture()->decodedPixels, QSize(500, 250));
    EXPECT_EQ(form->img1->GetPicture()->naturalPixels, QSize(4000, 2000));
    const imaging::LoadResult full = imaging::LoadPictureFile(big, imaging::CurrentDisplayTarget());
    ASSERT_TRUE(full.picture);
    EXPECT_EQ(full.picture->decodedPixels, QSize(1000, 500));
}

}  // namespace
