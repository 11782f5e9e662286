// Settings-file reading over arbitrary file bytes. Input: section length byte, section,
// key length byte, key, then the file's bytes. Checks the read buffer's bound and that a
// value just written reads back, whatever the file held before.
#include "common/mCommon.h"
#include "fuzz/TempFolder.h"
#include "platform/PrivateProfile.h"

#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray Take(const std::uint8_t*& data, std::size_t& size) {
    if (size == 0) {
        return {};
    }
    std::size_t n = std::min<std::size_t>(data[0] % 32, size - 1);
    QByteArray out(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(n));
    data += n + 1;
    size -= n + 1;
    return out;
}

const QString& FilePath() {
    static const QString path =
        QDir(fuzzing::TempFolder(QStringLiteral("duvix-fuzz-settings-"))).filePath("fuzz.ini");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString section = QString::fromUtf8(Take(data, size));
    const QString key = QString::fromUtf8(Take(data, size));
    {
        QFile f(FilePath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::abort();
        }
        f.write(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }

    QString file = FilePath();
    const QString value = mCommon::ReadIni(section, key, QStringLiteral("default"), file);
    if (value.size() > 254 && value != QStringLiteral("default")) {
        std::abort();
    }
    if (platform::GetPrivateProfileText(section, key, QString(), 255, FilePath()).size() > 254) {
        std::abort();
    }

    if (platform::WritePrivateProfileText(section, key, QStringLiteral("written"), FilePath())) {
        if (platform::GetPrivateProfileText(section, key, QString(), 255, FilePath()) !=
            QStringLiteral("written")) {
            std::abort();
        }
    } else {
        // A refused write leaves every byte where it was.
        QFile f(FilePath());
        if (!f.open(QIODevice::ReadOnly) ||
            f.readAll() != QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                   static_cast<qsizetype>(size))) {
            std::abort();
        }
    }
    return 0;
}
