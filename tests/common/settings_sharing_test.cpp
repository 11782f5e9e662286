// The settings file shared with other programs and other things on disk: writers that take
// turns, bytes the parser cannot see, and paths that name no regular file.
#include "common/mCommon.h"
#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "tests/support/TestFiles.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif
#include <chrono>
#include <future>

namespace {

using platform::GetPrivateProfileText;
using platform::WritePrivateProfileText;

using testfiles::ReadBytes;
using testfiles::WriteBytes;

TEST(SettingsSharing, TwoProgramsWritingAThousandKeysEachLoseNone) {
    QTemporaryDir tmp;
    const QString ini = QDir(tmp.path()).filePath("shared.ini");
    constexpr int kWrites = 1000;
    QProcess first, second;
    first.start(DUVIX_SETTINGS_WRITER, {ini, "First", QString::number(kWrites)});
    second.start(DUVIX_SETTINGS_WRITER, {ini, "Second", QString::number(kWrites)});
    ASSERT_TRUE(first.waitForFinished(-1) && second.waitForFinished(-1));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0) << "writes refused by the first program";
    EXPECT_EQ(second.exitCode(), 0) << "writes refused by the second program";
    int lost = 0;
    for (const char* section : {"First", "Second"}) {
        for (int i = 0; i < kWrites; ++i) {
            const QString key = QStringLiteral("k%1").arg(i);
            lost += GetPrivateProfileText(section, key, "lost", 255, ini) == key ? 0 : 1;
        }
    }
    EXPECT_EQ(lost, 0);
    EXPECT_FALSE(QFile::exists(ini + ".lock")) << "the lock is left behind";
}

TEST(SettingsSharing, AWriterThatCannotGetTheLockRefusesAndChangesNothing) {
    QTemporaryDir tmp;
    const QString ini = QDir(tmp.path()).filePath("s.ini");
    WriteBytes(ini, "[S]\nk=old\n");
    // A fresh lock of a writer on another machine: it cannot be seen to have died, so it holds
    // until it is older than any write could take, and the bounded wait ends in a refusal.
    WriteBytes(ini + ".lock", QByteArray::number(qint64(::getpid())) + "\nwriter\nelsewhere\n");
    auto write = std::async(std::launch::async,
                            [&] { return WritePrivateProfileText("S", "k", "new", ini); });
    ASSERT_EQ(write.wait_for(std::chrono::seconds(60)), std::future_status::ready)
        << "the wait for the lock is not bounded";
    EXPECT_FALSE(write.get());
    EXPECT_EQ(ReadBytes(ini), "[S]\nk=old\n");
}

TEST(SettingsSharing, BytesAfterANulAreNeverDropped) {
    QTemporaryDir tmp;
    const QString ini = QDir(tmp.path()).filePath("s.ini");
    const QByteArray bytes("[A]\nk=1\n\0[B]\nkept=yes\n", 23);
    WriteBytes(ini, bytes);
    EXPECT_FALSE(WritePrivateProfileText("A", "other", "2", ini));
    EXPECT_FALSE(WritePrivateProfileText("C", "new", "3", ini));
    EXPECT_EQ(ReadBytes(ini), bytes);
    // What comes before the NUL still reads.
    EXPECT_EQ(GetPrivateProfileText("A", "k", "d", 255, ini), "1");
    // Through the module: nothing reported, nothing changed.
    QString file = ini;
    mCommon::WriteIni("A", "k", "9", file);
    EXPECT_EQ(ReadBytes(ini), bytes);
}

#ifndef _WIN32  // Windows' devices and pipes: tests/windows
TEST(SettingsSharing, PathsThatNameNoRegularFileAreNeverOpenedOrReplaced) {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QString fifo = dir.filePath("pipe.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A device of the test's own when it runs as the super-user: a write that wrongly replaced
    // it must not take the system's /dev/null with it. Others cannot replace /dev/null.
    QString device = QStringLiteral("/dev/null");
    if (::geteuid() == 0) {
        device = dir.filePath("null");
        ASSERT_EQ(::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    const QString toDevice = dir.filePath("device.ini");
    ASSERT_TRUE(QFile::link(device, toDevice));
    const QString toFifo = dir.filePath("link-to-pipe.ini");
    ASSERT_TRUE(QFile::link(fifo, toFifo));
    // Each call runs apart, so a blocked open fails the test; the pipe is then opened from
    // this side to let it go.
    for (const QString& path : {fifo, toDevice, toFifo, device}) {
        auto calls = std::async(std::launch::async, [&] {
            const QString read = GetPrivateProfileText("S", "k", "default", 255, path);
            const bool written = WritePrivateProfileText("S", "k", "v", path);
            return std::pair{read, written};
        });
        const bool blocked = calls.wait_for(std::chrono::seconds(60)) != std::future_status::ready;
        while (calls.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            for (const int mode : {O_WRONLY, O_RDONLY}) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), mode | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
        }
        EXPECT_FALSE(blocked) << path.toStdString() << " blocked";
        const auto [read, written] = calls.get();
        EXPECT_EQ(read, "default") << path.toStdString();
        EXPECT_FALSE(written) << path.toStdString();
    }
    QFileInfo pipe(fifo), linkToDevice(toDevice), link(toFifo);
    EXPECT_FALSE(pipe.isFile());
    EXPECT_TRUE(linkToDevice.isSymLink());
    EXPECT_EQ(linkToDevice.symLinkTarget(), device);
    EXPECT_FALSE(QFileInfo(device).isFile());
    EXPECT_TRUE(link.isSymLink());
    // A link to a regular file stays a link, and its target takes the value.
    const QString real = dir.filePath("real.ini");
    const QString toReal = dir.filePath("link-to-real.ini");
    WriteBytes(real, "[S]\nk=old\n");
    ASSERT_TRUE(QFile::link(real, toReal));
    EXPECT_TRUE(WritePrivateProfileText("S", "k", "new", toReal));
    EXPECT_TRUE(QFileInfo(toReal).isSymLink());
    EXPECT_EQ(GetPrivateProfileText("S", "k", "d", 255, real), "new");
}
#endif

}  // namespace
