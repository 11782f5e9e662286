#pragma once
// What the image controls and the mouse pointer are told, in order, while a log is alive:
// "img1 hide", "img1 show", "img1 move", "img1 picture", "pointer 11", "pointer 0".
#include "platform/ImageControl.h"

#include <QStringList>
#include <vector>

namespace testsupport {

struct CallLog {
    CallLog();
    ~CallLog();
    void Clear() { lines.clear(), moves.clear(); }
    QStringList lines;
    std::vector<platform::ImageControlCall> moves;  // refused or not
};

}  // namespace testsupport
