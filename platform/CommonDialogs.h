#pragma once
// The desktop's open and save dialogs and folder browser, driven by the dialog records.
// Which implementation answers is replaceable, so tests can script the user.
#include "platform/rules/DialogRecords.h"

#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace platform {

enum class FileDialogKind { Open, Save };

// Shows a dialog and returns what the user chose; the records are only read.
class CommonDialogs {
public:
    virtual ~CommonDialogs() = default;
    // The chosen file's path; nullopt when cancelled or the dialog cannot be shown.
    virtual std::optional<QString> AskFile(FileDialogKind kind,
                                           const OpenFileNameRecord& record) = 0;
    // The chosen folder; nullopt when cancelled.
    virtual std::optional<QString> AskFolder(const BrowseInfoRecord& record) = 0;
};

// Qt's QFileDialog, modal over the window whose handle the record carries.
class QtCommonDialogs : public CommonDialogs {
public:
    // Tests ask for Qt's own dialog, which they can reach and type into.
    explicit QtCommonDialogs(bool useNativeDialogs = true) : native_(useNativeDialogs) {}
    std::optional<QString> AskFile(FileDialogKind kind, const OpenFileNameRecord& record) override;
    std::optional<QString> AskFolder(const BrowseInfoRecord& record) override;

private:
    bool native_;
};

// Answers from a queue (nullopt = cancel; an empty queue cancels) and keeps every record
// it was shown.
class ScriptedCommonDialogs : public CommonDialogs {
public:
    struct FileRequest {
        FileDialogKind kind;
        OpenFileNameRecord record;
    };

    void Answer(const QString& path) { answers_.push_back({false, path}); }
    void Cancel() { answers_.push_back({true, QString()}); }

    std::optional<QString> AskFile(FileDialogKind kind, const OpenFileNameRecord& record) override;
    std::optional<QString> AskFolder(const BrowseInfoRecord& record) override;

    std::vector<FileRequest> fileRequests;
    std::vector<BrowseInfoRecord> folderRequests;

private:
    struct Reply {
        bool cancel;
        QString path;
    };
    std::optional<QString> Next();
    std::deque<Reply> answers_;
};

// The implementation in use: Qt's unless one was put in place.
CommonDialogs& CurrentCommonDialogs();
// Puts dialogs in place (not owned); nullptr restores Qt's. Returns the one replaced (null for
// Qt's).
CommonDialogs* SetCommonDialogs(CommonDialogs* dialogs);

// Puts dialogs in place for one scope.
class CommonDialogsOverride {
public:
    explicit CommonDialogsOverride(CommonDialogs& dialogs)
        : previous_(SetCommonDialogs(&dialogs)) {}
    ~CommonDialogsOverride() { SetCommonDialogs(previous_); }
    CommonDialogsOverride(const CommonDialogsOverride&) = delete;
    CommonDialogsOverride& operator=(const CommonDialogsOverride&) = delete;

private:
    CommonDialogs* previous_;
};

// Modal open/save dialog. True when the user confirmed a file whose path fits lpstrFile
// (at most min(nMaxFile, buffer length) - 1 characters); lpstrFile and lpstrFileTitle then
// hold the path and the name, NUL-terminated, at their old lengths, and nFileOffset and
// nFileExtension are set. False leaves the record as it was.
bool ShowOpenFileDialog(OpenFileNameRecord& record);
bool ShowSaveFileDialog(OpenFileNameRecord& record);

// The folder browser's answer; null when the user cancelled.
struct ItemIdList {
    QString path;
};
std::optional<ItemIdList> BrowseForFolder(const BrowseInfoRecord& record);
// Writes the folder's path and a NUL into buffer, whose length is its capacity.
// False for a null list or a path that does not fit.
bool PathFromItemIdList(const std::optional<ItemIdList>& list, QString& buffer);

namespace detail {
// The NUL-separated description/pattern list as Qt name filters: "JPEG (*.jpg)" + "*.jpg;*.jpe"
// gives "JPEG (*.jpg) (*.jpg *.jpe)", whose last bracket Qt matches and hides. "*.*" matches
// every name; where file names are case-sensitive, letters match either case.
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
inline constexpr bool kCaseSensitiveNames = false;
#else
inline constexpr bool kCaseSensitiveNames = true;
#endif
QStringList QtNameFilters(const QString& filterList, bool caseSensitiveNames = kCaseSensitiveNames);
}  // namespace detail

}  // namespace platform
