#include "tests/support/ComparisonWindow.h"
#include "app/frmDuvix.h"

#include <gtest/gtest.h>
#include <QTest>

namespace testwindows {

void OpenComparisonWindow(frmDuvix*& form) {
    form = &platform::Instance<frmDuvix>();
    form->Load();
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    ASSERT_TRUE(
        QTest::qWaitFor([form] { return form->menuWidget() && form->menuWidget()->isVisible(); }));
}

void CloseComparisonWindow(frmDuvix* form) {
    form->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace testwindows
