// What a screen reader finds in each window: the pictures, named by side and by file.
#include "app/frmDuvix.h"
#include "common/Globals.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/TestFiles.h"
#include "viewer/frmImageBrowser.h"
#include "viewer/frmImageViewer.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The names of the pictures (role Graphic) in a window's accessibility tree, in tree order.
QStringList Graphics(QAccessibleInterface* node) {
    QStringList names(node->role() == QAccessible::Graphic ? node->text(QAccessible::Name) : "");
    for (int i = 0; i < node->childCount(); ++i) names << Graphics(node->child(i));
    return names.filter(QRegularExpression("."));
}
QStringList Graphics(QWidget* w) { return Graphics(QAccessible::queryAccessibleInterface(w)); }

TEST(Accessibility, PanesSayWhichSideAndWhichFileTheyShow) {
    QTemporaryDir dir;
    frmDuvix* form = nullptr;
    ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
    EXPECT_EQ(Graphics(form), QStringList({"Left pane: empty", "Right pane: empty"}));
    const QString right = testfiles::WriteSolidPicture(dir.path(), "sunset v2.BMP", 48, 96);
    form->LoadPaneImage(right, 2);
    EXPECT_EQ(Graphics(form), QStringList({"Left pane: empty", "Right pane: sunset v2.BMP"}));
    EXPECT_EQ(form->img2->Surface()->accessibleDescription(), right);
    testwindows::CloseComparisonWindow(form);
}

TEST(Accessibility, ViewerNamesItsPictureOrSaysItIsEmpty) {
    QTemporaryDir dir;
    const QString dog = testfiles::WriteSolidPicture(dir.path(), "dog.gif", 64, 64);
    for (const auto& [file, name] : {std::pair(dog, "Picture: dog.gif"),
                                     std::pair(dir.filePath("gone.jpg"), "Picture: empty")}) {
        gCurrentFile = file;
        frmImageViewer& viewer = platform::Instance<frmImageViewer>();
        viewer.Load();
        EXPECT_EQ(Graphics(&viewer), QStringList{name});
        viewer.Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    gCurrentFile.clear();
}

TEST(Accessibility, BrowserPreviewNamesTheSnapshot) {
    QTemporaryDir dir;
    testfiles::WriteSolidPicture(dir.path(), "shot1.jpg", 96, 48);
    auto* browser = new frmImageBrowser(dir.path() + "/");
    browser->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
    EXPECT_EQ(Graphics(browser), QStringList{"Preview: empty"});
    QTest::mouseClick(browser->FL->viewport(), Qt::LeftButton, {},
                      browser->FL->visualItemRect(browser->FL->item(0)).center());
    EXPECT_EQ(Graphics(browser), QStringList{"Preview: shot1.jpg"});
    browser->Unload();
}

}  // namespace
