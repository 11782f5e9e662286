// What a screen reader finds in each window: the pictures, named by side and by file.
#include "app/frmDuvix.h"
#include "common/Globals.h"
#include "tests/support/TestFiles.h"
#include "viewer/frmImageBrowser.h"
#include "viewer/frmImageViewer.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Names of the pictures (role Graphic) in the window's accessibility tree, in tree order.
void CollectGraphics(QAccessibleInterface* node, QStringList& names) {
    if (node == nullptr) return;
    if (node->role() == QAccessible::Graphic) names << node->text(QAccessible::Name);
    for (int i = 0; i < node->childCount(); ++i) CollectGraphics(node->child(i), names);
}

QStringList Graphics(QWidget* window) {
    QStringList names;
    CollectGraphics(QAccessible::queryAccessibleInterface(window), names);
    return names;
}

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override {
        if (platform::InstanceExists<frmImageViewer>()) {
            platform::Instance<frmImageViewer>().Unload();
        }
        if (platform::InstanceExists<frmDuvix>()) platform::Instance<frmDuvix>().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        gCurrentFile.clear();
    }
    QTemporaryDir dir;
};

TEST_F(Accessibility, PanesSayWhichSideAndWhichFileTheyShow) {
    frmDuvix& form = platform::Instance<frmDuvix>();
    form.Load();
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(Graphics(&form), QStringList({"Left pane: empty", "Right pane: empty"}));

    const QString left = testfiles::WriteSolidPicture(dir.path(), "sunset.JPG", 96, 48);
    const QString right = testfiles::WriteSolidPicture(dir.path(), "sunset v2.bmp", 48, 96);
    form.LoadPaneImage(left, 1);
    EXPECT_EQ(Graphics(&form), QStringList({"Left pane: sunset.JPG", "Right pane: empty"}));
    form.LoadPaneImage(right, 2);
    EXPECT_EQ(Graphics(&form), QStringList({"Left pane: sunset.JPG", "Right pane: sunset v2.bmp"}));
    EXPECT_EQ(form.img2->Surface()->accessibleDescription(), right);

    // A file that does not decode leaves the pane, and so its name, as it was.
    const QString broken = dir.filePath("broken.gif");
    testfiles::WriteBytes(broken, "GIF89a not really");
    form.LoadPaneImage(broken, 1);
    EXPECT_EQ(Graphics(&form), QStringList({"Left pane: sunset.JPG", "Right pane: sunset v2.bmp"}));
}

TEST_F(Accessibility, ViewerNamesItsPictureOrSaysItIsEmpty) {
    gCurrentFile = testfiles::WriteSolidPicture(dir.path(), "dog.gif", 64, 64);
    frmImageViewer* viewer = &platform::Instance<frmImageViewer>();
    viewer->Load();
    EXPECT_EQ(Graphics(viewer), QStringList({"Picture: dog.gif"}));
    viewer->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    gCurrentFile = dir.filePath("gone.jpg");
    viewer = &platform::Instance<frmImageViewer>();
    viewer->Load();
    EXPECT_EQ(Graphics(viewer), QStringList({"Picture: empty"}));
}

TEST_F(Accessibility, BrowserPreviewNamesTheSnapshot) {
    testfiles::WriteSolidPicture(dir.path(), "shot1.jpg", 96, 48);
    auto* browser = new frmImageBrowser(dir.path() + "/");
    browser->Load();
    browser->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
    EXPECT_EQ(Graphics(browser), QStringList({"Preview: empty"}));
    const auto items = browser->FL->findItems("shot1.jpg", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    QTest::mouseClick(browser->FL->viewport(), Qt::LeftButton, {},
                      browser->FL->visualItemRect(items[0]).center());
    EXPECT_EQ(Graphics(browser), QStringList({"Preview: shot1.jpg"}));
    browser->Unload();
}

}  // namespace
