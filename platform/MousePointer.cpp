#include "platform/MousePointer.h"

#include <QCursor>
#include <QGuiApplication>

#if defined(DUVIX_HAVE_XCB)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace platform {
namespace {
int g_pointer = kPointerDefault;

// The caller usually goes on to block the event loop (a synchronous load), so the window system
// must have switched the pointer before this returns, not when the loop next flushes.
void ReachTheScreen() {
#if defined(DUVIX_HAVE_XCB)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c != nullptr) {
        // A round trip: the server has handled every earlier request once the reply is in.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
#endif
    // Windows: nothing to wait for; Qt shows an override cursor with SetCursor, at once.
}

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
    ReachTheScreen();
    if (Observer()) {
        Observer()(code);
    }
}

int MousePointer() { return g_pointer; }

}  // namespace platform
