#pragma once
// A folder of the fuzzing process's own, named after it. libFuzzer's fork mode ends its
// workers in ways that skip every clean-up (a timeout, a crash), so each process first takes
// away the folders of those no longer running, and its own goes when it exits normally.
#include <QDir>
#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace fuzzing {

inline QString& OwnFolder() {
    static QString folder;
    return folder;
}

inline void RemoveOwnFolder() {
    if (!OwnFolder().isEmpty()) QDir(OwnFolder()).removeRecursively();
}

// Creates the folder on the first call; aborts when it cannot.
inline const QString& TempFolder(const QString& prefix) {
    static const QString path = [&prefix] {
        const QDir temp(QDir::tempPath());
        for (const QString& name : temp.entryList({prefix + '*'}, QDir::Dirs)) {
            bool ok = false;
            const auto pid = static_cast<pid_t>(name.mid(prefix.size()).toLongLong(&ok));
            if (ok && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
                QDir(temp.filePath(name)).removeRecursively();
            }
        }
        OwnFolder() = temp.filePath(prefix + QString::number(::getpid()));
        // Private: Qt refuses a runtime folder others can read, and would make its own.
        if (::mkdir(QFile::encodeName(OwnFolder()).constData(), 0700) != 0 && errno != EEXIST) {
            std::abort();
        }
        std::atexit(RemoveOwnFolder);
        return OwnFolder();
    }();
    return path;
}

}  // namespace fuzzing
