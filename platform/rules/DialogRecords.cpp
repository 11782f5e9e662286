#include "platform/rules/DialogRecords.h"

namespace platform {

QString TextBeforeNul(const QString& buffer) {
    const qsizetype nul = buffer.indexOf(QChar(0));
    return nul >= 0 ? buffer.left(nul) : buffer;
}

}  // namespace platform
