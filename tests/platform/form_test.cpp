// A window's life, its first paint, and an error leaving an event handler. Modal Show and the
// restored size are pinned by the viewer and comparison window tests.
#include "platform/Form.h"
#include "platform/ErrorReport.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QTest>

namespace {

template <int N>
struct frmTest : platform::Form {
    frmTest() : platform::Form(QStringLiteral("frmTest%1").arg(N)) {}
    void Form_Load() override { ++loads; }
    int loads = 0;
};
using frmOne = frmTest<1>;

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

TEST(FormLife, LastUnloadEndsTheProgramAndCloseBoxUnloads) {
    int ended = 0;
    platform::Form::SetOnLastFormUnloaded([&] { ++ended; });
    platform::Instance<frmOne>().Show();
    platform::Instance<frmTest<2>>().Load();  // loaded but hidden still counts
    platform::Instance<frmOne>().close();
    EXPECT_FALSE(platform::InstanceExists<frmOne>());
    EXPECT_EQ(ended, 0);
    platform::Instance<frmTest<2>>().Unload();
    EXPECT_EQ(ended, 1);
    platform::Form::SetOnLastFormUnloaded({});
    Flush();
}

// A menu bar that waits for the first paint, as the comparison window's does.
struct frmLateMenu : platform::Form {
    frmLateMenu() : platform::Form(QStringLiteral("frmLateMenu")) {
        AfterFirstPaint([this] { menuInFirstStep = menuWidget() != nullptr; });
        ShowMenuBarAfterFirstPaint();
        AddMenuCommand(QStringLiteral("menOne"), QStringLiteral("One"), [] {});
        AfterFirstPaint([this] { menuInLaterStep = menuWidget() != nullptr; });
    }
    bool menuInFirstStep = true, menuInLaterStep = false;
};

TEST(FormFirstPaint, MenuBarFollowsTheFirstPaint) {
    frmLateMenu& form = platform::Instance<frmLateMenu>();
    form.Show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&form] { return form.menuWidget() != nullptr && form.menuWidget()->isVisible(); }, 5000));
    EXPECT_FALSE(form.menuInFirstStep);
    EXPECT_TRUE(form.menuInLaterStep) << "steps run in the order given";
    EXPECT_EQ(form.menuBar()->actions().size(), 1);
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
    std::string reported = "swallowed";
    try {
        QCoreApplication::sendEvent(&target, &event);
    } catch (const std::string& text) {
        reported = text;
    }
    EXPECT_EQ(reported, "5 Invalid argument");
    platform::SetUnhandledErrorHandler({});
}

}  // namespace
