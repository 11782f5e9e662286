#include "platform/DropData.h"

#include "platform/RuntimeError.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>

namespace platform {

DropData DropData::FromMime(const QMimeData* mime) {
    QStringList files;
    if (mime != nullptr && mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) {
                // As the desktop names files: backslashes on Windows, like a path from a dialog.
                files << QDir::toNativeSeparators(url.toLocalFile());
            }
        }
    }
    return DropData(files);
}

QString DropData::Files(int index) const {
    if (index < 1 || index > files_.size()) {
        throw RuntimeError(kErrNoFileInDrop, "The drop holds no file");
    }
    return files_.at(index - 1);
}

}  // namespace platform
