#include "tests/support/CallLog.h"

#include "platform/MousePointer.h"

namespace testsupport {

CallLog::CallLog() {
    platform::SetImageControlObserver([this](const platform::ImageControlCall& call) {
        static const char* const kWhat[] = {"hide", "show", "move", "picture"};  // by Kind
        lines << call.control->objectName() + QLatin1Char(' ') +
                     QLatin1String(kWhat[static_cast<int>(call.kind)]) +
                     QLatin1String(call.done ? "" : " refused");
        if (call.kind == platform::ImageControlCall::Kind::Move) moves.push_back(call);
    });
    platform::SetMousePointerObserver(
        [this](int code) { lines << QStringLiteral("pointer %1").arg(code); });
}

CallLog::~CallLog() {
    platform::SetImageControlObserver({});
    platform::SetMousePointerObserver({});
}

}  // namespace testsupport
