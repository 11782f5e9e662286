#pragma once
// Opening a file for reading only when it is a regular file. Checking the path first and
// opening it afterwards leaves a gap in which a pipe or a device can be put in its place, and
// opening those may block for ever; so the descriptor is opened without blocking and the
// opened thing is checked instead.
#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#else
#include <QFileInfo>
#endif

namespace regularfile {

enum class Opened { Yes, Missing, NotRegular, Failed };

// Links are followed. On Yes, file is open read-only and owns the descriptor.
inline Opened OpenForReading(QFile& file, const QString& path) {
    if (path.isEmpty()) return Opened::Failed;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno == ENOENT ? Opened::Missing : Opened::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Opened::NotRegular;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Opened::Failed;
    }
    return Opened::Yes;
#else
    const QFileInfo info(path);
    if (!info.exists()) return Opened::Missing;
    if (!info.isFile()) return Opened::NotRegular;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? Opened::Yes : Opened::Failed;
#endif
}

}  // namespace regularfile
