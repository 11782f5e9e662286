#include "tests/support/ComparisonWindow.h"

#include <gtest/gtest.h>

#include <QTest>

#include "app/frmDuvix.h"

namespace testwindows {

void OpenComparisonWindow(frmDuvix*& form) {
    form = &platform::Instance<frmDuvix>();
    form->Load();
    form->Show();
    ASSERT_TRUE(QTest::qWaitFor(
        [form] { return form->menuWidget() != nullptr && form->menuWidget()->isVisible(); }, 5000));
}

void CloseComparisonWindow(frmDuvix* form) {
    form->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace testwindows
