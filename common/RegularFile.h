#pragma once
// Opening a file for reading only when it is a regular file. Checking the path first and
// opening it afterwards leaves a gap in which a pipe or a device can be put in its place, and
// opening those may block for ever; so the descriptor is opened without blocking and the
// opened thing is checked instead.
#include <QFile>
#include <QString>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#elif defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <QDir>
#include <QFileInfo>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace regularfile {

enum class Opened { Yes, Missing, NotRegular, Failed };

// True when Windows would open a device for this path: the last name's part before any dot,
// less trailing spaces, is CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also with superscript digits)
// or a console name, in any case and with any ending ("con.jpg" is the console, in any folder).
// Paths into the device namespace ("\\.\") are devices too.
inline bool NamesDevice(const QString& path) {
    if (path.startsWith(QLatin1String("\\\\.\\")) || path.startsWith(QLatin1String("//./"))) {
        return true;
    }
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString stem = path.mid(slash + 1);
    if (slash < 0 && stem.size() > 1 && stem[1] == QLatin1Char(':')) {
        stem = stem.mid(2);  // "C:con.jpg"
    }
    stem = stem.left(stem.indexOf(QLatin1Char('.')));  // the whole name when it has no dot
    stem = stem.left(stem.indexOf(QLatin1Char(':')));  // "con:stream"
    while (stem.endsWith(QLatin1Char(' '))) stem.chop(1);
    stem = stem.toUpper();
    if (stem == QLatin1String("CON") || stem == QLatin1String("PRN") ||
        stem == QLatin1String("AUX") || stem == QLatin1String("NUL") ||
        stem == QLatin1String("CONIN$") || stem == QLatin1String("CONOUT$")) {
        return true;
    }
    if (stem.size() != 4 ||
        !(stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))) {
        return false;
    }
    const char16_t digit = stem[3].unicode();
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
           digit == u'\u00B3';
}

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
#elif defined(_WIN32)
    // Opening a device name may block or reach hardware: never open one.
    if (NamesDevice(path)) return Opened::NotRegular;
    // Others may rename, replace or delete the file while it is read, as on Unix.
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Opened::Missing;
        // A folder cannot be opened this way at all.
        return QFileInfo(path).isDir() ? Opened::NotRegular : Opened::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::CloseHandle(handle);
        return Opened::NotRegular;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return Opened::Failed;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return Opened::Failed;
    }
    return Opened::Yes;
#else
#error "regular files: no implementation for this system"
#endif
}

}  // namespace regularfile
