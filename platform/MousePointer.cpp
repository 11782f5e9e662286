#include "platform/MousePointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform {
namespace {
int g_pointer = kPointerDefault;
}

void SetMousePointer(int code) {
    if (code == g_pointer) {
        return;
    }
    if (g_pointer != kPointerDefault) {
        QGuiApplication::restoreOverrideCursor();
    }
    g_pointer = code;
    if (code == kPointerHourglass) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

int MousePointer() { return g_pointer; }

}  // namespace platform
