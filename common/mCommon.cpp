#include "common/mCommon.h"

#include "platform/FileAttributes.h"
#include "platform/PrivateProfile.h"
#include "platform/ProcessInfo.h"
#include "platform/RuntimeError.h"

#include <QDir>

namespace mCommon {
namespace {

// 255 characters, terminator included.
constexpr int kReadBufferSize = 255;
constexpr int kErrTypeMismatch = 13;

QString& RememberedReadPath() {
    static QString path;
    return path;
}

QString& RememberedWritePath() {
    static QString path;
    return path;
}

void UseRemembered(QString& remembered, QString& file) {
    if (file.isEmpty()) {
        if (remembered.isEmpty()) {
            remembered = DefaultIniPath();
        }
        file = remembered;
    }
}

QString AsText(const QVariant& value) {
    if (!value.isValid()) {
        return {};
    }
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    }
    if (!value.canConvert<QString>()) {
        throw platform::RuntimeError(kErrTypeMismatch, "Type mismatch");
    }
    return value.toString();
}

}  // namespace

bool FileExists(const QString& path) {
    try {
        const auto attributes = platform::FileAttributes(path);
        return attributes.has_value() && (*attributes & platform::kFileAttributeDirectory) == 0;
    } catch (...) {
        return false;
    }
}

QString DefaultIniPath() {
#if defined(Q_OS_WIN)
    constexpr bool kCaseInsensitiveNames = true;
#else
    // Lower-casing here would name a different file than the one beside the executable.
    constexpr bool kCaseInsensitiveNames = false;
#endif
    return detail::JoinIniPath(platform::ExecutableFolder(), platform::ExecutableName(),
                               QDir::separator(), kCaseInsensitiveNames);
}

QString ReadIni(const QString& section, const QString& key, const QVariant& defaultValue,
                QString& file) {
    UseRemembered(RememberedReadPath(), file);
    const QString fallback = AsText(defaultValue);
    const QString copied =
        platform::GetPrivateProfileText(section, key, fallback, kReadBufferSize, file);
    // Nothing copied (an empty stored value included) means the default.
    return copied.isEmpty() ? fallback : copied;
}

void WriteIni(const QString& section, const QString& key, const QVariant& value, QString& file) {
    UseRemembered(RememberedWritePath(), file);
    const QString text = AsText(value);
    (void)platform::WritePrivateProfileText(section, key, text, file);
}

namespace detail {

QString JoinIniPath(const QString& folder, const QString& exeName, QChar separator,
                    bool lowerCase) {
    QString path = folder + separator + exeName + QStringLiteral(".ini");
    if (lowerCase) {
        path = path.toLower();
    }
    const QString doubled = QString(2, separator);
    // A network folder starts with a doubled separator that must stay.
    const qsizetype keep = folder.startsWith(doubled) ? 2 : 0;
    return path.left(keep) + path.mid(keep).replace(doubled, QString(separator));
}

void ResetRememberedPaths() {
    RememberedReadPath().clear();
    RememberedWritePath().clear();
}

}  // namespace detail
}  // namespace mCommon
