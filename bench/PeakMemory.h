#pragma once
// The process's peak resident memory so far, as the kernel counts it (VmHWM), in KB; -1 where
// it cannot be read.
#include <QByteArray>
#include <QFile>

inline long PeakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}
