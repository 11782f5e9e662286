// A window's life: one instance by name, Load once, modal Show waits for Unload, the last unload
// ends.
#include "platform/Form.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

namespace {

int g_loads = 0;

class frmCounter : public platform::Form {
public:
    frmCounter() : platform::Form(QStringLiteral("frmCounter")) {}
    int loads = 0;

protected:
    void Form_Load() override {
        ++loads;
        ++g_loads;
    }
};

class frmOther : public platform::Form {
public:
    frmOther() : platform::Form(QStringLiteral("frmOther")) {}
};

void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(FormLife, OneInstanceLoadedOnceAndFreshAfterUnload) {
    g_loads = 0;
    frmCounter& a = platform::Instance<frmCounter>();
    EXPECT_EQ(&a, &platform::Instance<frmCounter>());
    EXPECT_FALSE(a.IsLoaded());
    a.Load();
    a.Load();
    EXPECT_EQ(a.loads, 1);
    EXPECT_FALSE(a.isVisible()) << "loaded hidden";
    a.Unload();
    EXPECT_FALSE(platform::InstanceExists<frmCounter>());
    Flush();
    frmCounter& b = platform::Instance<frmCounter>();
    b.Show();  // Show loads first
    EXPECT_EQ(g_loads, 2) << "a fresh window runs its load step afresh";
    b.Unload();
    Flush();
}

TEST(FormLife, ModalShowWaitsForUnloadAndBlocksOtherWindows) {
    frmOther& other = platform::Instance<frmOther>();
    other.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    frmCounter& modal = platform::Instance<frmCounter>();
    bool blocked = false, stillWaiting = true;
    QTimer::singleShot(0, [&] {
        blocked = QApplication::activeModalWidget() == &modal &&
                  modal.windowModality() == Qt::ApplicationModal;
        stillWaiting = modal.isVisible();
        modal.Unload();
    });
    modal.Show(platform::Form::ShowMode::Modal);  // returns only after the timer unloaded it
    EXPECT_TRUE(stillWaiting);
    EXPECT_TRUE(blocked);
    EXPECT_FALSE(modal.IsLoaded());
    other.Unload();
    Flush();
}

TEST(FormLife, LastUnloadEndsTheProgramAndCloseBoxUnloads) {
    int ended = 0;
    platform::Form::SetOnLastFormUnloaded([&] { ++ended; });
    frmCounter& a = platform::Instance<frmCounter>();
    frmOther& b = platform::Instance<frmOther>();
    a.Show();
    b.Load();  // loaded but hidden still counts
    a.close();
    EXPECT_FALSE(platform::InstanceExists<frmCounter>());
    EXPECT_EQ(ended, 0);
    b.Unload();
    EXPECT_EQ(ended, 1);
    platform::Form::SetOnLastFormUnloaded({});
    Flush();
}

}  // namespace

namespace {

// A menu bar that waits for the first paint, as the comparison window's does.
class frmLateMenu : public platform::Form {
public:
    frmLateMenu() : platform::Form(QStringLiteral("frmLateMenu")) {
        ShowMenuBarAfterFirstPaint();
        AddMenuCommand(QStringLiteral("menOne"), QStringLiteral("One"), [] {});
        AfterFirstPaint([this] { menuShownInLaterStep = menuWidget() != nullptr; });
        SetRestoredClientSize(6000, 3000, true);
        Client()->installEventFilter(this);
    }
    bool menuHiddenAtFirstPaint = false;
    bool menuShownInLaterStep = false;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == Client() && event->type() == QEvent::Paint && paints++ == 0) {
            menuHiddenAtFirstPaint = menuWidget() == nullptr;
        }
        return platform::Form::eventFilter(watched, event);
    }
};

TEST(FormFirstPaint, MenuBarFollowsTheFirstPaintAndTheRestoredSizeStillHoldsIt) {
    frmLateMenu& form = platform::Instance<frmLateMenu>();
    form.Show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&form] { return form.menuWidget() != nullptr && form.menuWidget()->isVisible(); }, 5000));
    EXPECT_TRUE(form.menuHiddenAtFirstPaint);
    EXPECT_TRUE(form.menuShownInLaterStep) << "steps run in the order given";
    EXPECT_EQ(form.menuBar()->actions().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&form] { return form.Client()->width() == 400; }, 5000));
    EXPECT_FLOAT_EQ(form.ScaleWidth(), 6000);
    EXPECT_FLOAT_EQ(form.ScaleHeight(), 3000);
    form.Unload();
    Flush();
}

}  // namespace
