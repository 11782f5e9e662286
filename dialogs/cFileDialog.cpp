#include "dialogs/cFileDialog.h"

#include "common/mCommon.h"
#include "platform/CommonDialogs.h"
#include "platform/ProcessInfo.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace dialogs {
namespace {

constexpr int kErrObjectNotSet = 91;
const QString kPathKey = QStringLiteral("Path");

// The record's size without the fields later platform versions added at its end.
constexpr std::uint32_t kOpenFileNameSize = 76;
constexpr std::uint32_t kOpenFlags =
    platform::kOfnHideReadOnly | platform::kOfnPathMustExist | platform::kOfnFileMustExist;
constexpr std::uint32_t kSaveFlags =
    platform::kOfnOverwritePrompt | platform::kOfnHideReadOnly | platform::kOfnPathMustExist;
constexpr qsizetype kFolderBufferSize = 512;

// The folder that a later dialog should open in.
QString FolderOf(const QString& fileName) {
    return QDir::toNativeSeparators(QFileInfo(fileName).path());
}

}  // namespace

cFileDialog::cFileDialog() {
    record_.lStructSize = kOpenFileNameSize;
    record_.nMaxFile = kFileBufferSize;
    record_.lpstrFileTitle = QString(kFileBufferSize, QChar(0));
    record_.nMaxFileTitle = kFileBufferSize;
}

platform::Form& cFileDialog::Owner() const {
    if (OwnerForm.isNull()) {
        throw platform::RuntimeError(kErrObjectNotSet, "Object variable not set");
    }
    return *OwnerForm;
}

bool cFileDialog::OpenFile() { return ShowDialog(1); }

bool cFileDialog::SaveFile() { return ShowDialog(2); }

bool cFileDialog::ShowDialog(std::int16_t mode) {
    if (INISave && FilePath.isEmpty()) {
        QString settingsFile;
        FilePath =
            mCommon::ReadIni(Owner().Name(), kPathKey, platform::ExecutableFolder(), settingsFile);
    }
    record_.hwndOwner = Owner().hWnd();

    Filter.replace(QLatin1Char('|'), QChar(0));
    // The list ends with an empty string: two NULs whether or not Filter ended in one.
    record_.lpstrFilter = Filter + QChar(0);
    if (!record_.lpstrFilter.endsWith(QString(2, QChar(0)))) {
        record_.lpstrFilter += QChar(0);
    }
    record_.nFilterIndex = 1;
    record_.lpstrInitialDir = FilePath;

    if (DefaultFileName.size() > kMaxDefaultFileName) {
        throw platform::RuntimeError(platform::kErrInvalidArgument,
                                     "Invalid procedure call or argument");
    }
    // The buffer is as long as the capacity handed over with it (nMaxFile).
    record_.lpstrFile =
        DefaultFileName + QString(kFileBufferSize - DefaultFileName.size(), QChar(0));
    record_.lpstrDefExt = DefaultExt;
    record_.lpstrTitle = DialogTitle;

    bool confirmed = false;
    if (mode == 1) {
        record_.Flags = kOpenFlags;
        confirmed = platform::ShowOpenFileDialog(record_);
    } else {
        record_.Flags = kSaveFlags;
        confirmed = platform::ShowSaveFileDialog(record_);
    }
    if (!confirmed) {
        return false;
    }

    if (record_.lpstrFileTitle.contains(QChar(0))) {
        FileTitle = platform::TextBeforeNul(record_.lpstrFileTitle);
    }
    if (record_.lpstrFile.contains(QChar(0))) {
        FileName = platform::TextBeforeNul(record_.lpstrFile);
    }
    Extension.clear();
    if (INISave) {
        QString settingsFile;
        mCommon::WriteIni(Owner().Name(), kPathKey, FolderOf(FileName), settingsFile);
    }
    return true;
}

bool cFileDialog::BrowseFolder(std::uintptr_t hWnd, const QString& szDialogTitle) {
    // Every step runs even when the one before it failed; nothing reaches the caller.
    std::optional<platform::ItemIdList> chosen;
    try {
        platform::BrowseInfoRecord info;
        info.hwndOwner = hWnd;
        info.lpszTitle = szDialogTitle;
        info.ulFlags = platform::kBifReturnOnlyFsDirs;
        chosen = platform::BrowseForFolder(info);
    } catch (...) {
    }
    try {
        QString buffer(kFolderBufferSize, QLatin1Char(' '));
        if (!platform::PathFromItemIdList(chosen, buffer)) {
            return false;
        }
        FilePath = platform::TextBeforeNul(buffer);
        if (!FilePath.endsWith(QDir::separator())) {
            FilePath += QDir::separator();
        }
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace dialogs
