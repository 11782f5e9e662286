// What only Windows does: device names behind file names, share modes, replacing a settings
// file another program holds open, and the busy pointer reaching the screen at once. Runs on
// the Windows platform under Wine (or Windows), never offscreen.
#include "common/RegularFile.h"
#include "imaging/Picture.h"
#include "platform/MousePointer.h"
#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <windows.h>

namespace {

class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
    QString Path(const QString& name) const {
        return QDir::toNativeSeparators(QDir(tmp_.path()).filePath(name));
    }
    QString Write(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return Path(name);
    }
    QTemporaryDir tmp_;
};

// COM1 does not exist here, so opening it would say "missing" or fail: only a refusal by name
// answers NotRegular. NUL exists, and a loader that opened it would read nothing for ever.
TEST_F(WindowsFiles, DeviceNamesAreRefusedByNameWithoutOpeningTheDevice) {
    for (const char* name : {"con.jpg", "CON", "nul.bmp", "Aux.gif", "com1.jpg", "lpt9.wmf",
                             "con .jpg", "prn.txt.jpg", "conin$.jpg"}) {
        SCOPED_TRACE(name);
        QFile file;
        EXPECT_EQ(regularfile::OpenForReading(file, Path(name)), regularfile::Opened::NotRegular);
        EXPECT_FALSE(imaging::LoadPictureFile(Path(name), {}).picture.has_value());
    }
    for (const char* name : {"com1.ini", "nul.ini", "con"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(platform::WritePrivateProfileText("s", "k", "v", Path(name)));
        EXPECT_EQ(platform::GetPrivateProfileText("s", "k", "fallback", 255, Path(name)),
                  "fallback");
    }
    EXPECT_TRUE(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << "a refused write left a file behind";
}

TEST_F(WindowsFiles, OnlyDiskFilesOpenAndOthersMayReplaceThemMeanwhile) {
    const QString picture = Write("a.jpg", "bytes");
    QFile file;
    ASSERT_EQ(regularfile::OpenForReading(file, picture), regularfile::Opened::Yes);
    // Held open by us, the file can still be deleted (and so replaced) by another program.
    EXPECT_TRUE(::DeleteFileW(reinterpret_cast<const wchar_t*>(picture.utf16())))
        << "reading blocked a delete: error " << ::GetLastError();
    EXPECT_EQ(file.readAll(), "bytes");
    file.close();

    ASSERT_TRUE(QDir(tmp_.path()).mkdir("folder.jpg"));
    EXPECT_EQ(regularfile::OpenForReading(file, Path("folder.jpg")),
              regularfile::Opened::NotRegular);
    EXPECT_EQ(regularfile::OpenForReading(file, Path("gone.jpg")), regularfile::Opened::Missing);
    EXPECT_EQ(regularfile::OpenForReading(file, Path("no folder\\gone.jpg")),
              regularfile::Opened::Missing);

    const wchar_t* pipeName = L"\\\\.\\pipe\\duvix-regular-file-test";
    const HANDLE pipe =
        ::CreateNamedPipeW(pipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 16, 16, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(regularfile::OpenForReading(file, QString::fromWCharArray(pipeName)),
              regularfile::Opened::NotRegular);
    ::CloseHandle(pipe);
}

// Windows refuses to replace a file that another program opened without delete sharing: the
// write must then fail and leave the old file as it was, never report success.
TEST_F(WindowsFiles, SettingsFileHeldOpenByAnotherProgramIsKeptAndTheWriteFails) {
    const QString ini = Write("Duvix.ini", "[s]\r\nk=old\r\n");
    const HANDLE reader = ::CreateFileW(reinterpret_cast<const wchar_t*>(ini.utf16()), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::WritePrivateProfileText("s", "k", "new", ini));
    ::CloseHandle(reader);
    QFile kept(ini);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "[s]\r\nk=old\r\n");
    kept.close();
    EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::Files).size(), 1) << "a temporary file was left";

    EXPECT_TRUE(platform::WritePrivateProfileText("s", "k", "new", ini));
    EXPECT_EQ(platform::GetPrivateProfileText("s", "k", "", 255, ini), "new");
}

// The load that follows blocks the event loop, so the hourglass must be on the screen before
// SetMousePointer returns, with no event handled in between.
TEST(WindowsPointer, HourglassIsOnTheScreenWhenSetMousePointerReturns) {
    ASSERT_EQ(QGuiApplication::platformName(), "windows");
    QWidget window;
    window.resize(200, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // As after a click or a drop: the pointer over the window, showing its arrow.
    const HCURSOR arrow = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    const HCURSOR wait = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
    QCursor::setPos(window.mapToGlobal(window.rect().center()));
    QTRY_VERIFY_WITH_TIMEOUT(::GetCursor() == arrow, 10000);
    platform::SetMousePointer(platform::kPointerHourglass);
    EXPECT_EQ(::GetCursor(), wait);
    platform::SetMousePointer(platform::kPointerDefault);
    EXPECT_EQ(::GetCursor(), arrow);
}

}  // namespace
