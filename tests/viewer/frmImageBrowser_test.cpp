// The snapshot browser: its list, the preview's proportions, and opening the viewer.
#include "viewer/frmImageBrowser.h"
#include "common/Globals.h"
#include "platform/MousePointer.h"
#include "tests/support/CallLog.h"
#include "tests/support/TestFiles.h"
#include "viewer/frmImageViewer.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Multiples of 48 px are whole HIMETRIC, so the proportions are exact.
        testfiles::WriteSolidPicture(dir.path(), "a_land.jpg", 480, 360);
        testfiles::WriteSolidPicture(dir.path(), "b_port.JPG", 360, 480);
        testfiles::WriteSolidPicture(dir.path(), "c_square.jpg", 96, 96);
        testfiles::WriteSolidPicture(dir.path(), "d_long.jpeg", 96, 48);
        testfiles::WriteSolidPicture(dir.path(), "e_other.bmp", 96, 48);
        QDir().mkdir(dir.filePath("f_folder.jpg"));
    }
    void TearDown() override {
        if (browser) browser->Unload();
        if (platform::InstanceExists<frmImageViewer>())
            platform::Instance<frmImageViewer>().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        gCurrentFile.clear();
    }
    frmImageBrowser* Open(const QString& folder) {
        browser = new frmImageBrowser(folder);
        browser->Load();
        browser->Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(browser));
        return browser;
    }
    void Select(const QString& name) {
        const auto items = browser->FL->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        const QRect r = browser->FL->visualItemRect(items[0]);
        QTest::mouseClick(browser->FL->viewport(), Qt::LeftButton, {}, r.center());
    }
    QTemporaryDir dir;
    frmImageBrowser* browser = nullptr;
};

TEST_F(Browser, DesignAndListOfJpgNamesInAnyCase) {
    Open(dir.path() + "/");
    EXPECT_EQ(browser->windowTitle(), "Form1");
    EXPECT_EQ(browser->font().family(), "Verdana");
    EXPECT_DOUBLE_EQ(browser->font().pointSizeF(), 8.25);
    EXPECT_TRUE(browser->windowIcon().isNull());
    QStringList names;
    for (int i = 0; i < browser->FL->count(); ++i) names << browser->FL->item(i)->text();
    EXPECT_EQ(names, (QStringList{"a_land.jpg", "b_port.JPG", "c_square.jpg"}));
    EXPECT_FLOAT_EQ(browser->img->Left(), 4005);
    EXPECT_FLOAT_EQ(browser->img->Top(), 450);
}

TEST_F(Browser, DesignSizesAndTheFixedFolder) {
    EXPECT_EQ(frmImageBrowser::SnapshotFolder(), "d:\\snapshots\\");
    {
        const frmImageBrowser fixed;
        EXPECT_EQ(fixed.Folder(), "d:\\snapshots\\");
    }
    Open(dir.path() + "/");
    EXPECT_EQ(browser->Client()->size(), QSize(590, 371));
    EXPECT_FLOAT_EQ(browser->ScaleWidth(), 8850);
    EXPECT_FLOAT_EQ(browser->ScaleHeight(), 5565);
    EXPECT_EQ(browser->FL->geometry(), QRect(27, 18, 193, 123));  // 405, 270, 2895 x 1845
    EXPECT_EQ(browser->img->Width(), 2820);
    EXPECT_EQ(browser->img->Height(), 2280);
    EXPECT_TRUE(browser->img->Stretch());
    EXPECT_EQ(browser->img->GetPicture(), nullptr);
}

TEST_F(Browser, AClickTakesItsStepsInOrder) {
    Open(dir.path() + "/");
    testsupport::CallLog log;
    Select("a_land.jpg");
    EXPECT_EQ(log.lines, (QStringList{"pointer 11", "img hide", "img move", "img move",
                                      "img picture", "img move", "pointer 0", "img show"}));
    ASSERT_EQ(log.moves.size(), 3u);
    EXPECT_EQ(log.moves[0].width, 6000);  // the width first,
    EXPECT_EQ(log.moves[0].height, 2280);
    EXPECT_EQ(log.moves[1].height, 6000);  // then the height
    EXPECT_EQ(log.moves[2].width, 6000);
    EXPECT_EQ(log.moves[2].height, 4500);
    for (const auto& m : log.moves) {
        EXPECT_EQ(m.left, 4005);
        EXPECT_EQ(m.top, 450);
    }
}

TEST_F(Browser, PreviewKeepsProportionsInA6000TwipSquare) {
    Open(dir.path() + "/");
    struct {
        const char* name;
        float w, h;
    } cases[] = {
        {"a_land.jpg", 6000, 4500}, {"b_port.JPG", 4500, 6000}, {"c_square.jpg", 6000, 6000}};
    for (const auto& c : cases) {
        Select(c.name);
        EXPECT_FLOAT_EQ(browser->img->Width(), c.w) << c.name;
        EXPECT_FLOAT_EQ(browser->img->Height(), c.h) << c.name;
        EXPECT_FLOAT_EQ(browser->img->Left(), 4005);
        EXPECT_FLOAT_EQ(browser->img->Top(), 450);
        EXPECT_TRUE(browser->img->Visible());
        EXPECT_EQ(platform::MousePointer(), platform::kPointerDefault);
    }
}

TEST_F(Browser, EveryClickReadsTheFileAgain) {
    Open(dir.path() + "/");
    Select("a_land.jpg");
    EXPECT_FLOAT_EQ(browser->img->Height(), 4500);
    testfiles::WriteSolidPicture(dir.path(), "a_land.jpg", 360, 480);
    Select("a_land.jpg");  // same name again: the click still reloads
    EXPECT_FLOAT_EQ(browser->img->Width(), 4500);
    EXPECT_FLOAT_EQ(browser->img->Height(), 6000);
}

TEST_F(Browser, MissingFolderListsNothingAndBrokenFilesKeepThePreview) {
    Open(dir.path() + "/no such folder/");
    EXPECT_EQ(browser->FL->count(), 0);
    browser->Unload();
    Open(dir.path() + "/");
    Select("a_land.jpg");
    const imaging::Picture* shown = browser->img->GetPicture();
    ASSERT_TRUE(QFile::remove(dir.filePath("c_square.jpg")));
    Select("c_square.jpg");  // vanished since it was listed
    EXPECT_EQ(browser->img->GetPicture(), shown);
    EXPECT_FLOAT_EQ(browser->img->Height(), 4500);
    testfiles::WriteBytes(dir.filePath("b_port.JPG"), "garbage");
    Select("b_port.JPG");
    EXPECT_EQ(browser->img->GetPicture(), shown);
    EXPECT_EQ(platform::MousePointer(), platform::kPointerDefault);
    EXPECT_TRUE(browser->isVisible());
}

TEST_F(Browser, DoubleClickOpensThePreviewedFileAndThenOnlyRaisesTheViewer) {
    Open(dir.path() + "/");
    Select("b_port.JPG");
    QTest::mouseDClick(browser->img->Surface(), Qt::LeftButton, {},
                       browser->img->Surface()->rect().center());
    ASSERT_TRUE(platform::InstanceExists<frmImageViewer>());
    frmImageViewer& viewer = platform::Instance<frmImageViewer>();
    EXPECT_EQ(viewer.windowTitle(), dir.path() + "/b_port.JPG");
    EXPECT_FALSE(viewer.isModal()) << "modeless: the browser stays usable";
    const imaging::Picture* first = viewer.img->GetPicture();
    ASSERT_NE(first, nullptr);
    Select("a_land.jpg");
    QTest::mouseDClick(browser->img->Surface(), Qt::LeftButton, {},
                       browser->img->Surface()->rect().center());
    EXPECT_EQ(&platform::Instance<frmImageViewer>(), &viewer);
    EXPECT_EQ(viewer.img->GetPicture(), first) << "not reloaded";
}

TEST_F(Browser, DoubleClickBeforeAnyPreviewOpensTheViewerAnyway) {
    Open(dir.path() + "/");
    QTest::mouseDClick(browser->img->Surface(), Qt::LeftButton, {},
                       browser->img->Surface()->rect().center());
    ASSERT_TRUE(platform::InstanceExists<frmImageViewer>());
    EXPECT_EQ(platform::Instance<frmImageViewer>().windowTitle(), "");
}

}  // namespace
