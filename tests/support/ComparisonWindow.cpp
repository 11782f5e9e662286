#include "tests/support/ComparisonWindow.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "app/frmDuvix.h"
#include "platform/Form.h"

namespace testwindows {

void OpenComparisonWindow(frmDuvix*& form) {
    form = &platform::Instance<frmDuvix>();
    form->Load();
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    ASSERT_TRUE(QTest::qWaitFor(
        [form] { return form->menuWidget() != nullptr && form->menuWidget()->isVisible(); }, 5000));
}

void CloseComparisonWindow(frmDuvix* form) {
    form->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace testwindows
