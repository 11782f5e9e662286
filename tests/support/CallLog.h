#pragma once
// What the image controls and the mouse pointer are told, in order, while a log is alive.
#include "platform/ImageControl.h"

#include <QStringList>
#include <vector>

namespace testsupport {

class CallLog {
public:
    CallLog();
    ~CallLog();

    void Clear() {
        lines.clear();
        moves.clear();
    }

    // "img1 hide", "img1 show", "img1 move", "img1 picture", "pointer 11", "pointer 0".
    QStringList lines;
    // Every move, refused or not, with the values handed over.
    std::vector<platform::ImageControlCall> moves;
};

}  // namespace testsupport
