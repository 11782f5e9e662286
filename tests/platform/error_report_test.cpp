// An error that leaves an event handler reaches the report; the report's text names it.
#include "platform/ErrorReport.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <QMouseEvent>
#include <QWidget>

namespace {

struct Reported {
    std::string what;
    int number;
};

class Throwing : public QWidget {
protected:
    void mouseDoubleClickEvent(QMouseEvent*) override {
        throw platform::RuntimeError(platform::kErrInvalidArgument,
                                     "Invalid procedure call or argument");
    }
};

TEST(ErrorReport, ErrorLeavingAHandlerIsReported) {
    // The real report ends the process; this one unwinds back into the test instead.
    platform::SetUnhandledErrorHandler([](const std::exception& e) {
        const auto* rt = dynamic_cast<const platform::RuntimeError*>(&e);
        throw Reported{e.what(), rt ? rt->Number() : -1};
    });
    Throwing w;
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    try {
        QCoreApplication::sendEvent(&w, &dbl);
        ADD_FAILURE() << "the error was swallowed";
    } catch (const Reported& r) {
        EXPECT_EQ(r.number, 5);
        EXPECT_EQ(r.what, "Invalid procedure call or argument");
    }
    platform::SetUnhandledErrorHandler({});
}

}  // namespace
