#include "common/mCommon.h"
#include "platform/PrivateProfile.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <atomic>
#include <chrono>
#include <future>

namespace {

using platform::GetPrivateProfileText;
using platform::WritePrivateProfileText;
using testfiles::ReadBytes;
using testfiles::WriteBytes;

class SettingsSharing : public ::testing::Test {
protected:
    QTemporaryDir tmp_;
    const QDir dir_{tmp_.path()};
    const QString ini_ = dir_.filePath("s.ini");
};

TEST_F(SettingsSharing, TwoProgramsWritingAThousandKeysEachLoseNone) {
    QProcess first, second;
    first.start(DUVIX_SETTINGS_WRITER, {ini_, "First", "1000"});
    second.start(DUVIX_SETTINGS_WRITER, {ini_, "Second", "1000"});
    ASSERT_TRUE(first.waitForFinished(-1) && second.waitForFinished(-1));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(std::pair(first.exitCode(), second.exitCode()), std::pair(0, 0)) << "refusals";
    int lost = 0;
    for (const char* section : {"First", "Second"})
        for (int i = 0; i < 1000; ++i)
            lost += GetPrivateProfileText(section, QString("k%1").arg(i), "", 255, ini_) !=
                    QString("k%1").arg(i);
    EXPECT_EQ(lost, 0);
    EXPECT_FALSE(QFile::exists(ini_ + ".lock")) << "the lock is left behind";
}

// A writer that takes the lock again as soon as it lets go must not starve a waiting one.
TEST_F(SettingsSharing, AWaitingWriterGetsInBetweenAnotherWritersTurns) {
    std::atomic<bool> held{false}, done{false};
    auto hog = std::async(std::launch::async, [&] {
        while (!done) {
            QLockFile lock(ini_ + ".lock");
            if (lock.lock()) held = true, QThread::msleep(3);
        }
    });
    while (!held) QThread::yieldCurrentThread();
    QElapsedTimer waited;
    waited.start();
    const bool written = WritePrivateProfileText("S", "k", "v", ini_);
    const qint64 ms = waited.elapsed();
    done = true;
    hog.get();
    EXPECT_TRUE(written) << "refused after " << ms << " ms";
    EXPECT_EQ(GetPrivateProfileText("S", "k", "", 255, ini_), "v");
}

TEST_F(SettingsSharing, AWriterThatCannotGetTheLockRefusesAndChangesNothing) {
    WriteBytes(ini_, "[S]\nk=old\n");
    // A writer on another machine cannot be seen to have died: the bounded wait ends in a refusal.
    WriteBytes(ini_ + ".lock", QByteArray::number(qint64(::getpid())) + "\nwriter\nelsewhere\n");
    auto write = std::async(std::launch::async,
                            [&] { return WritePrivateProfileText("S", "k", "new", ini_); });
    ASSERT_EQ(write.wait_for(std::chrono::seconds(60)), std::future_status::ready)
        << "the wait for the lock is not bounded";
    EXPECT_FALSE(write.get());
    EXPECT_EQ(ReadBytes(ini_), "[S]\nk=old\n");
}

TEST_F(SettingsSharing, BytesAfterANulAreNeverDropped) {
    const QByteArray bytes("[A]\nk=1\n\0[B]\nkept=yes\n", 23);
    WriteBytes(ini_, bytes);
    EXPECT_FALSE(WritePrivateProfileText("A", "other", "2", ini_));
    EXPECT_FALSE(WritePrivateProfileText("C", "new", "3", ini_));
    QString file = ini_;  // the module reports nothing
    mCommon::WriteIni("A", "k", "9", file);
    EXPECT_EQ(ReadBytes(ini_), bytes);
    EXPECT_EQ(GetPrivateProfileText("A", "k", "d", 255, ini_), "1");
}

#ifndef _WIN32  // Windows' devices and pipes: tests/windows
TEST_F(SettingsSharing, PathsThatNameNoRegularFileAreNeverOpenedOrReplaced) {
    const QString fifo = dir_.filePath("pipe.ini"), toFifo = dir_.filePath("to-pipe.ini");
    const QByteArray pipe = QFile::encodeName(fifo);
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    const QString dangling = dir_.filePath("dangling.ini");  // writing would replace the link
    ASSERT_TRUE(QFile::link(fifo, toFifo) && QFile::link(dir_.filePath("gone"), dangling));
    // A blocked open fails the test; opening the pipe from this side then lets it go.
    for (const QString& path : {fifo, toFifo, dangling}) {
        auto calls = std::async(std::launch::async, [&] {
            const QString read = GetPrivateProfileText("S", "k", "default", 255, path);
            return std::pair{read, WritePrivateProfileText("S", "k", "v", path)};
        });
        const bool blocked = calls.wait_for(std::chrono::seconds(60)) != std::future_status::ready;
        while (calls.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            for (const int mode : {O_WRONLY, O_RDONLY})
                if (const int fd = ::open(pipe.constData(), mode | O_NONBLOCK); fd >= 0)
                    ::close(fd);
        EXPECT_FALSE(blocked) << path.toStdString() << " blocked";
        EXPECT_EQ(calls.get(), std::pair(QString("default"), false)) << path.toStdString();
    }
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_EQ(QFileInfo(toFifo).symLinkTarget(), fifo);
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    // A link to a regular file stays a link, and its target takes the value.
    const QString toReal = dir_.filePath("to-real.ini");
    WriteBytes(ini_, "[S]\nk=old\n");
    ASSERT_TRUE(QFile::link(ini_, toReal));
    EXPECT_TRUE(WritePrivateProfileText("S", "k", "new", toReal));
    EXPECT_TRUE(QFileInfo(toReal).isSymLink());
    EXPECT_EQ(GetPrivateProfileText("S", "k", "d", 255, ini_), "new");
}
#endif

}  // namespace
