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
#if defined(Q_OS_WIN)
    constexpr bool kEndings = true;
#else
    constexpr bool kEndings = false;
#endif
    return detail::ExecutableNameOf(ExecutablePath(), kEndings);
}

QString detail::ExecutableNameOf(const QString& path, bool executablesHaveEndings) {
    const QFileInfo info(path);
    return executablesHaveEndings ? info.completeBaseName() : info.fileName();
}

}  // namespace platform
