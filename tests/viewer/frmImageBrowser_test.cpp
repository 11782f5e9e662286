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

#include <tuple>

namespace {

class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        // Multiples of 48 px are whole HIMETRIC, so the proportions are exact.
        for (const auto& [name, w, h] : {std::tuple("a_land.jpg", 480, 360),
                                         {"b_port.JPG", 360, 480},
                                         {"c_square.jpg", 96, 96},
                                         {"d_long.jpeg", 96, 48},
                                         {"e_other.bmp", 96, 48}})
            testfiles::WriteSolidPicture(dir.path(), name, w, h);
        QDir().mkdir(dir.filePath("f_folder.jpg"));
    }
    void TearDown() override {
        if (browser) browser->Unload();
        if (platform::InstanceExists<frmImageViewer>())
            platform::Instance<frmImageViewer>().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        gCurrentFile.clear();
    }
    void Open(const QString& folder = "/") {
        browser = new frmImageBrowser(dir.path() + folder);
        browser->Load();
        browser->Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(browser));
    }
    void Select(const QString& name) {
        const auto items = browser->FL->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        QTest::mouseClick(browser->FL->viewport(), Qt::LeftButton, {},
                          browser->FL->visualItemRect(items[0]).center());
    }
    void DoubleClickPreview() {
        QTest::mouseDClick(browser->img->Surface(), Qt::LeftButton, {}, QPoint(5, 5));
    }
    std::tuple<float, float, float, float> Preview() const {
        return {browser->img->Left(), browser->img->Top(), browser->img->Width(),
                browser->img->Height()};
    }
    QTemporaryDir dir;
    frmImageBrowser* browser = nullptr;
};

TEST_F(Browser, DesignAndTheJpgFilesOfItsFolderInAnyCase) {
    EXPECT_EQ(frmImageBrowser().Folder(), "d:\\snapshots\\");
    Open();
    EXPECT_EQ(
        std::tuple(browser->windowTitle(), browser->font().family(), browser->font().pointSizeF()),
        std::tuple("Form1", "Verdana", 8.25));
    EXPECT_EQ(browser->Client()->size(), QSize(590, 371));        // 8850 x 5565 twips
    EXPECT_EQ(browser->FL->geometry(), QRect(27, 18, 193, 123));  // 405, 270, 2895 x 1845
    EXPECT_EQ(Preview(), std::tuple(4005.f, 450.f, 2820.f, 2280.f));
    EXPECT_TRUE(browser->img->Stretch() && browser->img->GetPicture() == nullptr);
    QStringList names;
    for (int i = 0; i < browser->FL->count(); ++i) names << browser->FL->item(i)->text();
    EXPECT_EQ(names, (QStringList{"a_land.jpg", "b_port.JPG", "c_square.jpg"}));
}

TEST_F(Browser, EveryClickReadsTheFileAndFitsItInA6000TwipSquare) {
    Open();
    // The second click is on the same item, now a portrait: it is read afresh.
    for (const auto& [name, w, h] : {std::tuple("a_land.jpg", 6000.f, 4500.f),
                                     {"a_land.jpg", 4500.f, 6000.f},
                                     {"c_square.jpg", 6000.f, 6000.f}}) {
        if (w < h) testfiles::WriteSolidPicture(dir.path(), name, 360, 480);
        const double before = browser->img->Height();
        testsupport::CallLog log;
        Select(name);
        // Hidden while sized, the width first; the hourglass is gone before the show.
        QStringList steps{"pointer 11",  "img hide", "img move",  "img move",
                          "img picture", "img move", "pointer 0", "img show"};
        if (w == h) steps.removeAt(5);
        EXPECT_EQ(log.lines, steps) << name;
        ASSERT_GE(log.moves.size(), 2u);
        EXPECT_EQ(std::pair(log.moves[0].width, log.moves[0].height), std::pair(6000., before));
        EXPECT_EQ(Preview(), std::tuple(4005.f, 450.f, w, h)) << name;
        EXPECT_TRUE(browser->img->Visible());
        EXPECT_EQ(platform::MousePointer(), platform::kPointerDefault);
    }
}

TEST_F(Browser, MissingFolderListsNothingAndUnreadableFilesKeepThePreview) {
    Open("/no such folder/");
    EXPECT_EQ(browser->FL->count(), 0);
    browser->Unload();
    Open();
    Select("a_land.jpg");
    const imaging::Picture* shown = browser->img->GetPicture();
    ASSERT_TRUE(QFile::remove(dir.filePath("c_square.jpg")));  // vanished since it was listed
    testfiles::WriteBytes(dir.filePath("b_port.JPG"), "garbage");
    for (const char* name : {"c_square.jpg", "b_port.JPG"}) {
        Select(name);
        EXPECT_EQ(browser->img->GetPicture(), shown) << name;
        EXPECT_EQ(Preview(), std::tuple(4005.f, 450.f, 6000.f, 4500.f)) << name;
        EXPECT_TRUE(browser->img->Visible() && browser->isVisible()) << name;
        EXPECT_EQ(platform::MousePointer(), platform::kPointerDefault) << name;
    }
}

TEST_F(Browser, DoubleClickOpensAModelessViewerOnThePreviewedFileOrOnlyRaisesIt) {
    Open();
    DoubleClickPreview();  // before any preview: on whatever the program last showed
    ASSERT_TRUE(platform::InstanceExists<frmImageViewer>());
    EXPECT_EQ(platform::Instance<frmImageViewer>().windowTitle(), "");
    platform::Instance<frmImageViewer>().Unload();

    Select("b_port.JPG");
    DoubleClickPreview();
    frmImageViewer& viewer = platform::Instance<frmImageViewer>();
    EXPECT_EQ(viewer.windowTitle(), dir.path() + "/b_port.JPG");
    EXPECT_FALSE(viewer.isModal()) << "the browser stays usable";
    const imaging::Picture* first = viewer.img->GetPicture();
    ASSERT_NE(first, nullptr);
    Select("a_land.jpg");
    DoubleClickPreview();
    EXPECT_EQ(&platform::Instance<frmImageViewer>(), &viewer);
    EXPECT_EQ(viewer.img->GetPicture(), first) << "not reloaded";
}

}  // namespace
