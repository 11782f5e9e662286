// The comparison window as a person meets it: start state, restored size, Exit and close box.
#include "app/frmDuvix.h"
#include "app/modDuvix.h"
#include "dialogs/cFileDialog.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QTest>

#include <cmath>

namespace {

class ComparisonWindow : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Form::SetOnLastFormUnloaded([this] { ++programEnded; });
        modDuvix::Main();
        form = &platform::Instance<frmDuvix>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        // The menu bar and the icon follow the first paint.
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return form->menuWidget() != nullptr && form->menuWidget()->isVisible(); },
            5000));
    }
    void TearDown() override {
        if (platform::InstanceExists<frmDuvix>()) {
            platform::Instance<frmDuvix>().Unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::Form::SetOnLastFormUnloaded({});
    }
    frmDuvix* form = nullptr;
    int programEnded = 0;
};

TEST_F(ComparisonWindow, StartsMaximisedGreyWithThreeCommandItems) {
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->windowTitle(), "Duvix");
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->Client()->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
    const QList<QAction*> items = form->menuBar()->actions();
    ASSERT_EQ(items.size(), 3);
    const QStringList expected{"Exit", "Left Image", "Right Image"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i]->text(), expected[i]);
        EXPECT_EQ(items[i]->menu(), nullptr) << "no drop-down";
        EXPECT_TRUE(items[i]->shortcut().isEmpty());
        EXPECT_FALSE(items[i]->text().contains('&')) << "no access key";
    }
    EXPECT_TRUE(form->img1->Visible());
    EXPECT_TRUE(form->img2->Visible());
    EXPECT_TRUE(form->img1->Tag().isEmpty());
    EXPECT_TRUE(std::isnan(form->mLeftRatio));
    EXPECT_TRUE(std::isnan(form->mRightRatio));
    EXPECT_EQ(form->mLeftWidth, 0);
}

TEST(ComparisonWindowDesign, PanesBeforeTheFirstLayoutAndTheDialogAfterLoad) {
    frmDuvix& form = platform::Instance<frmDuvix>();  // never shown: no layout pass yet
    const struct {
        platform::ImageControl* img;
        float left, top, width, height;
    } panes[] = {{form.img1, 1530, 1215, 1995, 1995}, {form.img2, 4590, 1215, 1995, 1995}};
    for (const auto& p : panes) {
        EXPECT_EQ(p.img->Left(), p.left) << p.img->objectName().toStdString();
        EXPECT_EQ(p.img->Top(), p.top);
        EXPECT_EQ(p.img->Width(), p.width);
        EXPECT_EQ(p.img->Height(), p.height);
        EXPECT_TRUE(p.img->Stretch());
        EXPECT_TRUE(p.img->Surface()->acceptDrops());
        EXPECT_EQ(p.img->GetPicture(), nullptr);
    }
    form.Load();
    const dialogs::cFileDialog* d = form.FileDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->OwnerForm.data(), &form);
    EXPECT_EQ(d->DefaultExt, "jpg");
    EXPECT_EQ(d->DefaultFileName, "");
    EXPECT_EQ(d->DialogTitle, "Open");
    EXPECT_EQ(d->Extension, "jpg");
    EXPECT_EQ(d->FilePath, "");
    EXPECT_EQ(d->Filter, "JPEG (*.jpg)|*.jpg");
    EXPECT_FALSE(d->INISave);
    form.Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ComparisonWindow, RestoredClientAreaIsTheDesignSizeCentred) {
    form->showNormal();
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Client()->width() == 564; }))
        << form->Client()->width();
    EXPECT_EQ(form->Client()->height(), 377);
    EXPECT_FLOAT_EQ(form->ScaleWidth(), 8460);
    EXPECT_FLOAT_EQ(form->ScaleHeight(), 5655);
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_NEAR(form->geometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(form->geometry().center().y(), screen.center().y(), 2);
}

TEST_F(ComparisonWindow, TinyWindowKeepsPanesShown) {
    form->showNormal();
    form->resize(3, form->menuBar()->height() + 2);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Client()->height() <= 2; }))
        << form->Client()->height();
    form->ArrangePanes();
    EXPECT_TRUE(form->img1->Visible());
    EXPECT_TRUE(form->img2->Visible());
}

TEST_F(ComparisonWindow, ExitEndsTheProgramAtOnce) {
    QAction* exit = form->menuBar()->actions().at(0);
    exit->trigger();
    EXPECT_EQ(programEnded, 1);
    EXPECT_FALSE(platform::InstanceExists<frmDuvix>());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ComparisonWindow, CloseBoxEndsTheProgramLikeExit) {
    form->close();
    EXPECT_EQ(programEnded, 1);
    EXPECT_FALSE(platform::InstanceExists<frmDuvix>());
}

TEST_F(ComparisonWindow, MenuBarItemRunsOnASingleClick) {
    QMenuBar* bar = form->menuBar();
    const QRect exitRect = bar->actionGeometry(bar->actions().at(0));
    QTest::mouseClick(bar, Qt::LeftButton, {}, exitRect.center());
    EXPECT_EQ(programEnded, 1);
}

TEST_F(ComparisonWindow, MenuBarIsReachedFromTheKeyboard) {
    QTest::keyClick(form, Qt::Key_F10);
    ASSERT_NE(form->menuBar()->activeAction(), nullptr);
    EXPECT_EQ(form->menuBar()->activeAction()->text(), "Exit");
    QTest::keyClick(form->menuBar(), Qt::Key_Right);
    QTest::keyClick(form->menuBar(), Qt::Key_Right);
    EXPECT_EQ(form->menuBar()->activeAction()->text(), "Right Image");
    QTest::keyClick(form->menuBar(), Qt::Key_Left);
    QTest::keyClick(form->menuBar(), Qt::Key_Left);
    EXPECT_EQ(programEnded, 0);
    QTest::keyClick(form->menuBar(), Qt::Key_Return);
    EXPECT_EQ(programEnded, 1) << "Enter runs the highlighted item";
}

}  // namespace
