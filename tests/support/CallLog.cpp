#include "tests/support/CallLog.h"

#include "platform/MousePointer.h"

namespace testsupport {

CallLog::CallLog() {
    platform::SetImageControlObserver([this](const platform::ImageControlCall& call) {
        using Kind = platform::ImageControlCall::Kind;
        const char* what = call.kind == Kind::Hide   ? "hide"
                           : call.kind == Kind::Show ? "show"
                           : call.kind == Kind::Move ? "move"
                                                     : "picture";
        lines << call.control->objectName() + QLatin1Char(' ') + QLatin1String(what) +
                     QLatin1String(call.done ? "" : " refused");
        if (call.kind == Kind::Move) {
            moves.push_back(call);
        }
    });
    platform::SetMousePointerObserver(
        [this](int code) { lines << QStringLiteral("pointer %1").arg(code); });
}

CallLog::~CallLog() {
    platform::SetImageControlObserver({});
    platform::SetMousePointerObserver({});
}

void CallLog::Clear() {
    lines.clear();
    moves.clear();
}

}  // namespace testsupport
