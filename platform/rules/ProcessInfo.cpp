#include "platform/ProcessInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {
namespace {

QString ExecutablePath() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationFilePath();
    }
#if defined(Q_OS_LINUX)
    // No application object yet (early start-up, fuzz targets): ask the kernel.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#else
    return {};
#endif
}

}  // namespace

QString ExecutableFolder() {
    const QString path = ExecutablePath();
    if (path.isEmpty()) {
        return QDir::toNativeSeparators(QDir::currentPath());
    }
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

QString ExecutableName() {
    const QFileInfo info(ExecutablePath());
#if defined(Q_OS_WIN)
    return info.completeBaseName();
#else
    // Unix executables carry no ending; a dot in the name is part of it.
    return info.fileName();
#endif
}

}  // namespace platform
