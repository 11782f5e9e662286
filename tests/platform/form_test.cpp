// A window's life: one instance by name, Load once, modal Show waits for Unload, the last unload
// ends; and an error that leaves an event handler reaches the report.
#include "platform/Form.h"
#include "platform/ErrorReport.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

namespace {

template <int N>
class frmTest : public platform::Form {
public:
    frmTest() : platform::Form(QStringLiteral("frmTest%1").arg(N)) {}
    int loads = 0;

protected:
    void Form_Load() override { ++loads; }
};
using frmOne = frmTest<1>;
using frmTwo = frmTest<2>;

void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(FormLife, OneInstanceLoadedOnceAndFreshAfterUnload) {
    frmOne& a = platform::Instance<frmOne>();
    EXPECT_EQ(&a, &platform::Instance<frmOne>());
    EXPECT_FALSE(a.IsLoaded());
    a.Load();
    a.Load();
    EXPECT_EQ(a.loads, 1);
    EXPECT_FALSE(a.isVisible()) << "loaded hidden";
    a.Unload();
    EXPECT_FALSE(platform::InstanceExists<frmOne>());
    Flush();
    frmOne& b = platform::Instance<frmOne>();
    b.Show();
    EXPECT_EQ(b.loads, 1) << "Show loads, and a fresh window runs its load step afresh";
    b.Unload();
    Flush();
}

TEST(FormLife, ModalShowWaitsForUnloadAndBlocksOtherWindows) {
    frmOne& modal = platform::Instance<frmOne>();
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
    Flush();
}

TEST(FormLife, LastUnloadEndsTheProgramAndCloseBoxUnloads) {
    int ended = 0;
    platform::Form::SetOnLastFormUnloaded([&] { ++ended; });
    platform::Instance<frmOne>().Show();
    platform::Instance<frmTwo>().Load();  // loaded but hidden still counts
    platform::Instance<frmOne>().close();
    EXPECT_FALSE(platform::InstanceExists<frmOne>());
    EXPECT_EQ(ended, 0);
    platform::Instance<frmTwo>().Unload();
    EXPECT_EQ(ended, 1);
    platform::Form::SetOnLastFormUnloaded({});
    Flush();
}

// A menu bar that waits for the first paint, as the comparison window's does.
class frmLateMenu : public platform::Form {
public:
    frmLateMenu() : platform::Form(QStringLiteral("frmLateMenu")) {
        AfterFirstPaint([this] { menuInFirstStep = menuWidget() != nullptr; });
        ShowMenuBarAfterFirstPaint();
        AddMenuCommand(QStringLiteral("menOne"), QStringLiteral("One"), [] {});
        AfterFirstPaint([this] { menuInLaterStep = menuWidget() != nullptr; });
        SetRestoredClientSize(6000, 3000, true);
    }
    bool menuInFirstStep = true, menuInLaterStep = false;
};

TEST(FormFirstPaint, MenuBarFollowsTheFirstPaintAndTheRestoredSizeStillHoldsIt) {
    frmLateMenu& form = platform::Instance<frmLateMenu>();
    form.Show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&form] { return form.menuWidget() != nullptr && form.menuWidget()->isVisible(); }, 5000));
    EXPECT_FALSE(form.menuInFirstStep);
    EXPECT_TRUE(form.menuInLaterStep) << "steps run in the order given";
    EXPECT_EQ(form.menuBar()->actions().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&form] { return form.Client()->width() == 400; }, 5000));
    EXPECT_FLOAT_EQ(form.ScaleWidth(), 6000);
    EXPECT_FLOAT_EQ(form.ScaleHeight(), 3000);
    form.Unload();
    Flush();
}

TEST(ErrorReport, ErrorLeavingAHandlerIsReported) {
    struct Throwing : QObject {
        bool event(QEvent*) override { throw platform::RuntimeError(5, "Invalid argument"); }
    } target;
    // The real report ends the process; this one unwinds back into the test instead.
    platform::SetUnhandledErrorHandler([](const std::exception& e) {
        throw std::to_string(dynamic_cast<const platform::RuntimeError&>(e).Number()) + " " +
            e.what();
    });
    QEvent event(QEvent::User);
    try {
        QCoreApplication::sendEvent(&target, &event);
        ADD_FAILURE() << "the error was swallowed";
    } catch (const std::string& reported) {
        EXPECT_EQ(reported, "5 Invalid argument");
    }
    platform::SetUnhandledErrorHandler({});
}

}  // namespace
