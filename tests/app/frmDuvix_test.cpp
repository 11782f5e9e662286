// The comparison window as a person meets it. A drag source is told Copy (or Link) for a regular
// local file only, so it never deletes what it offered.
#include "app/frmDuvix.h"
#include "app/modDuvix.h"
#include "app/rules/PaneLayout.h"
#include "platform/CommonDialogs.h"
#include "tests/support/CallLog.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <cmath>
#include <tuple>

namespace {

class ComparisonWindow : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Form::SetOnLastFormUnloaded([this] { ++programEnded; });
        modDuvix::Main();
        form = &platform::Instance<frmDuvix>();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return form->menuWidget() != nullptr && form->menuWidget()->isVisible(); }));
        // Dialogs and drops give native separators.
        red = QDir::toNativeSeparators(
            testfiles::WriteSolidPicture(dir.path(), "red.bmp", 96, 48, 0xff0000));
        blue = QDir::toNativeSeparators(
            testfiles::WriteSolidPicture(dir.path(), "blue.JPG", 48, 96, 0x0000ff));
        log.Clear();
    }
    void TearDown() override {
        if (platform::InstanceExists<frmDuvix>()) platform::Instance<frmDuvix>().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::Form::SetOnLastFormUnloaded({});
    }
    // Enter, then drop even when the enter was refused, as careless sources do. What the source
    // is told; "?" if enter and drop disagree.
    QString Drag(QWidget* target, QPoint pos, const QMimeData& mime, Qt::DropActions allowed,
                 Qt::DropAction proposed) {
        const QPoint at = target->mapTo(form, pos);
        QDragEnterEvent enter(at, allowed, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(proposed);
        QCoreApplication::sendEvent(form->windowHandle(), &enter);
        QDropEvent drop(at, allowed, &mime, Qt::LeftButton, Qt::NoModifier);
        drop.setDropAction(proposed);
        QCoreApplication::sendEvent(form->windowHandle(), &drop);
        if (enter.isAccepted() != drop.isAccepted()) return "?";
        const char* names[] = {"refused", "copy", "move", "", "link"};  // by Qt::DropAction
        return names[drop.isAccepted() ? drop.dropAction() & 7 : 0];
    }
    void Drop(QWidget* target, QPoint pos, const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        Drag(target, pos, mime, Qt::CopyAction, Qt::CopyAction);
    }
    std::pair<QString, QString> Tags() const { return {form->img1->Tag(), form->img2->Tag()}; }
    QTemporaryDir dir;
    frmDuvix* form = nullptr;
    int programEnded = 0;
    testsupport::CallLog log;
    QString red, blue;
};

TEST_F(ComparisonWindow, StartsMaximisedGreyWithThreeCommandItemsAndEmptyPanes) {
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->windowTitle(), "Duvix");
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->Client()->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
    QStringList items;
    for (const QAction* item : form->menuBar()->actions()) items << item->text();
    EXPECT_EQ(items, QStringList({"Exit", "Left Image", "Right Image"}));
    EXPECT_TRUE(std::isnan(form->mLeftRatio) && std::isnan(form->mRightRatio));
}

TEST_F(ComparisonWindow, F10ReachesTheMenuBarAndASingleClickOnExitEndsTheProgram) {
    QMenuBar* bar = form->menuBar();
    QTest::keyClick(form, Qt::Key_F10);
    EXPECT_EQ(bar->activeAction(), bar->actions().at(0));  // "Exit"
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().at(0)).center());
    EXPECT_EQ(programEnded, 1);
    EXPECT_FALSE(platform::InstanceExists<frmDuvix>());
}

// Restored: 564 x 377 px, 8460 x 5655 twips, half 4230.
class Loading : public ComparisonWindow {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ComparisonWindow::SetUp());
        form->showNormal();
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->Client()->width() == 564; }));
        log.Clear();
    }
};

// Not under Wine: its classic style makes the menu bar a pixel taller, the client a pixel short.
TEST_F(Loading, RestoredClientAreaIsTheDesignSizeCentred) {
    EXPECT_EQ(form->Client()->size(), QSize(564, 377));
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_LE((form->geometry().center() - screen.center()).manhattanLength(), 3);
}

TEST_F(Loading, WindowDropGoesByTheHalfItLandsOnAndTakesTheFirstFileOnly) {
    Drop(form->Client(), QPoint(282, 300), {red, blue});  // X = 4230 twips, the middle: left
    EXPECT_EQ(Tags(), std::pair(red, QString()));
    Drop(form->Client(), QPoint(283, 300), {blue});  // X = 4245 twips: right
    EXPECT_EQ(Tags(), std::pair(red, blue));
    // 96 x 48 and 48 x 96 px are 1440 x 720 and 720 x 1440 twips, each fitted into its own box.
    EXPECT_EQ(
        std::tuple(form->mLeftWidth, form->mLeftHeight, form->mRightWidth, form->mRightHeight),
        std::tuple(1440.0, 720.0, 720.0, 1440.0));
    const panes::Boxes boxes = panes::BoxesFor(8460, form->ScaleHeight());
    const units::TwipsRect l = panes::PlacePane(1, boxes, 1440, 2);
    const units::TwipsRect r = panes::PlacePane(2, boxes, 720, 0.5);
    EXPECT_EQ(
        std::tuple(form->img1->Left(), form->img1->Top(), form->img2->Left(), form->img2->Top()),
        std::tuple(l.left, float(l.top), r.left, float(r.top)));
}

TEST_F(Loading, AnEmptyPaneTakesNoDropInTheOtherHalf) {
    // Maximised, the right pane's design rectangle (x 306 to 439 px) lies in the left half.
    form->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Client()->width() > 700; }));
    const QPoint rightDesign(4590 / 15 + 1995 / 30, 1215 / 15 + 1995 / 30);
    ASSERT_LE(rightDesign.x() * 15, panes::DropHalf(form->ScaleWidth()));
    Drop(form->Client(), rightDesign, {red});
    EXPECT_EQ(Tags(), std::pair(red, QString()));
}

TEST_F(Loading, PaneDropGoesToThatPaneWherever) {
    form->LoadPaneImage(red, 1);
    form->LoadPaneImage(red, 2);
    // At (1, 1) of the pane: by the window's halves that would be the left one.
    for (platform::ImageControl* img : {form->img2, form->img1}) {
        Drop(img->Surface(), QPoint(1, 1), {blue});
        EXPECT_EQ(img->Tag(), blue) << img->objectName().toStdString();
    }
}

TEST_F(Loading, OtherEndingsAreIgnoredAndAFileThatDoesNotDecodeLeavesThePaneAsItWas) {
    form->LoadPaneImage(red, 1);
    const imaging::Picture* shown = form->img1->GetPicture();
    const QString broken = dir.filePath("broken.gif");
    testfiles::WriteBytes(broken, "GIF89a this is not really a picture");
    log.Clear();
    Drop(form->Client(), QPoint(10, 10),
         {testfiles::WriteSolidPicture(dir.path(), "photo.JPEG", 10, 10)});
    EXPECT_TRUE(log.lines.isEmpty()) << "not even the hourglass";
    Drop(form->Client(), QPoint(10, 10), {broken});
    EXPECT_EQ(form->img1->Tag(), red);
    EXPECT_EQ(form->img1->GetPicture(), shown);
    EXPECT_EQ(log.lines.filter("pointer"), QStringList({"pointer 11", "pointer 0"}));
}

TEST_F(Loading, TheHourglassCoversLoadAndLayoutOfBothPanes) {
    form->LoadPaneImage(red, 7);  // any number but 1 is the right pane
    EXPECT_EQ(log.lines,
              QStringList({"pointer 11", "img2 picture", "img1 hide", "img2 hide", "img1 move",
                           "img2 move", "img1 show", "img2 show", "pointer 0"}));
}

TEST_F(Loading, AHugeJpegIsDecodedForHalfTheScreenOnly) {
    // The offscreen screen is 800 x 600: a pane needs at most 400 x 600, so 3000 x 1500 decodes
    // at 1/4; for the whole screen it would be 1/2, for a third of it 1/8.
    form->LoadPaneImage(testfiles::WriteSolidPicture(dir.path(), "big.jpg", 3000, 1500), 1);
    ASSERT_NE(form->img1->GetPicture(), nullptr);
    EXPECT_EQ(form->img1->GetPicture()->decodedPixels, QSize(750, 375));
}

// The open dialog answers as a person would, scripted.
class MenuLoading : public Loading {
protected:
    platform::ScriptedCommonDialogs dialogs;
    platform::CommonDialogsOverride scripted{dialogs};
};

TEST_F(MenuLoading, ChosenFileFillsThatPaneAndCancelDoesNothing) {
    const QString jpeg =
        QDir::toNativeSeparators(testfiles::WriteSolidPicture(dir.path(), "photo.JPEG", 10, 10));
    dialogs.Answer(red);
    dialogs.Cancel();
    dialogs.Answer(jpeg);  // the ending is not checked on this route
    const QList<QAction*> items = form->menuBar()->actions();
    items.at(1)->trigger();  // "Left Image"
    items.at(2)->trigger();  // "Right Image", cancelled
    EXPECT_TRUE(form->img2->Tag().isEmpty());
    items.at(2)->trigger();
    EXPECT_EQ(Tags(), std::pair(red, jpeg));
    EXPECT_TRUE(log.lines.filter("pointer").isEmpty()) << "the menu route shows no hourglass";
    ASSERT_EQ(dialogs.fileRequests.size(), 3u);
    const auto& record = dialogs.fileRequests[0].record;
    EXPECT_EQ(record.lpstrTitle + '|' + record.lpstrDefExt + '|' + record.lpstrFilter,
              QStringLiteral("Open|jpg|JPEG (*.jpg)") + QChar(0) + "*.jpg" + QString(2, QChar(0)));
}

constexpr Qt::DropActions kAll = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

class DropAction : public Loading {
protected:
    // What the window and each pane tell the source of the same drag.
    QString Answers(const QMimeData& mime, Qt::DropActions allowed = kAll,
                    Qt::DropAction proposed = Qt::MoveAction) {
        QStringList answers;
        for (QWidget* target : {form->Client(), form->img1->Surface(), form->img2->Surface()})
            answers << Drag(target, QPoint(5, 5), mime, allowed, proposed);
        return answers.join(' ');
    }
};

TEST_F(DropAction, APictureIsTakenAsCopyWhateverTheSourceProposes) {
    // Filled panes, so that what lands on them reaches them and not the window behind.
    form->LoadPaneImage(red, 1);
    form->LoadPaneImage(red, 2);
    log.Clear();
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(blue)});
    EXPECT_EQ(Answers(urls, Qt::MoveAction), "refused refused refused");
    EXPECT_TRUE(log.lines.filter("pointer").isEmpty()) << "no hourglass for a refused drop";
    for (const Qt::DropAction proposed : {Qt::MoveAction, Qt::CopyAction, Qt::LinkAction})
        EXPECT_EQ(Answers(urls, kAll, proposed), "copy copy copy") << proposed;
    EXPECT_EQ(Answers(urls, Qt::MoveAction | Qt::LinkAction), "link link link");
    EXPECT_EQ(Tags(), std::pair(blue, blue));
}

TEST_F(DropAction, TextRemoteFilesFoldersPipesAndVanishedFilesAreRefused) {
    QMimeData text;
    text.setText(red);
    EXPECT_EQ(Answers(text), "refused refused refused");
    const QString folder = dir.filePath("pictures.jpg");
    ASSERT_TRUE(QDir().mkdir(folder));
    QList<QList<QUrl>> refused{{QUrl("https://example.org/a.jpg"), QUrl("sftp://host/b.gif")},
                               {},
                               {QUrl::fromLocalFile(folder)},
                               {QUrl::fromLocalFile(dir.filePath("gone.bmp"))}};
#ifndef _WIN32
    const QString pipe = dir.filePath("pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    refused << QList<QUrl>{QUrl::fromLocalFile(pipe)};
#endif
    for (const QList<QUrl>& urls : refused) {
        QMimeData mime;
        mime.setUrls(urls);
        EXPECT_EQ(Answers(mime), "refused refused refused") << urls.size();
    }
}

}  // namespace
