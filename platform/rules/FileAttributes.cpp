#include "platform/FileAttributes.h"

#include <QFileInfo>

namespace platform {

std::optional<std::uint32_t> FileAttributes(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    // Wildcards never name one file, even where the file system would allow them in a name.
    for (const QChar c : path) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c.unicode() == 0) {
            return std::nullopt;
        }
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        return std::nullopt;
    }
    std::uint32_t attributes = 0;
    if (info.isDir()) {
        attributes |= kFileAttributeDirectory;
    }
    if (!info.isWritable()) {
        attributes |= kFileAttributeReadOnly;
    }
    if (info.isHidden()) {
        attributes |= kFileAttributeHidden;
    }
    return attributes != 0 ? attributes : kFileAttributeNormal;
}

}  // namespace platform
