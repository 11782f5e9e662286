#include "platform/MousePointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform {
namespace {
int g_pointer = kPointerDefault;
std::function<void(int)>& Observer() {
    static std::function<void(int)> observer;
    return observer;
}
}  // namespace

void SetMousePointerObserver(std::function<void(int)> observer) {
    Observer() = std::move(observer);
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
    if (Observer()) {
        Observer()(code);
    }
}

int MousePointer() { return g_pointer; }

}  // namespace platform
