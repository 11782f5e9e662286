#include "platform/CommonDialogs.h"

#include "platform/ShellFileDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>
#include <algorithm>

namespace platform {
namespace {

CommonDialogs* g_dialogs = nullptr;

QWidget* OwnerWindow(std::uintptr_t handle) {
    return handle != 0 ? QWidget::find(static_cast<WId>(handle)) : nullptr;
}

// The filters come from a case-blind world: where names are case-sensitive, "*.jpg" must also
// show "PHOTO.JPG".
QString CaseBlindGlob(const QString& glob, bool caseSensitiveNames) {
    if (!caseSensitiveNames || glob.contains(QLatin1Char('['))) {
        return glob;
    }
    QString out;
    for (const QChar c : glob) {
        if (c.unicode() < 128 && c.isLetter()) {
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

bool StoreChosenFile(OpenFileNameRecord& record, const std::optional<QString>& answer) {
    if (!answer.has_value() || answer->isEmpty()) {
        return false;
    }
    const QString path = QDir::toNativeSeparators(*answer);
    const qsizetype capacity = std::min<qsizetype>(record.nMaxFile, record.lpstrFile.size());
    if (path.size() + 1 > capacity) {
        return false;  // the desktop's dialog fails the same way: buffer too small
    }
    const QString title = QFileInfo(path).fileName();
    record.lpstrFile = path + QString(record.lpstrFile.size() - path.size(), QChar(0));
    const qsizetype titleCapacity =
        std::min<qsizetype>(record.nMaxFileTitle, record.lpstrFileTitle.size());
    if (titleCapacity > 0) {
        const QString shown = title.left(titleCapacity - 1);
        record.lpstrFileTitle =
            shown + QString(record.lpstrFileTitle.size() - shown.size(), QChar(0));
    }
    record.nFileOffset = static_cast<std::uint16_t>(path.size() - title.size());
    const qsizetype dot = title.lastIndexOf(QLatin1Char('.'));
    record.nFileExtension = dot >= 0 ? static_cast<std::uint16_t>(record.nFileOffset + dot + 1) : 0;
    return true;
}

bool ShowFileDialog(FileDialogKind kind, OpenFileNameRecord& record) {
    return StoreChosenFile(record, CurrentCommonDialogs().AskFile(kind, record));
}

}  // namespace

namespace detail {

QStringList QtNameFilters(const QString& filterList, bool caseSensitiveNames) {
    const QStringList parts = filterList.split(QChar(0));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) {
            break;  // the empty string that ends the list
        }
        QStringList globs;
        for (const QString& glob : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = glob.trimmed();
            if (trimmed == QLatin1String("*.*")) {
                globs << QStringLiteral("*");
            } else if (!trimmed.isEmpty()) {
                globs << CaseBlindGlob(trimmed, caseSensitiveNames);
            }
        }
        if (globs.isEmpty()) {
            globs << QStringLiteral("*");
        }
        filters << description + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

}  // namespace detail

namespace {
// The toolkit's file dialog reads and writes its own history (the folders visited, its layout)
// in a settings file in the user's home, and offers no switch to stop it. The program writes no
// file, so that store is pointed at a folder that cannot exist. (On Windows the store is the
// registry, which cannot be pointed elsewhere: there the shell's dialog is used directly.)
void NoToolkitDialogHistory() {
#if !defined(Q_OS_WIN)
    static const bool done = [] {
        for (const QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(f, QSettings::UserScope, QStringLiteral("/dev/null"));
        }
        return true;
    }();
    (void)done;
#endif
}

// Shows the dialog modally; the first path chosen, or nullopt when cancelled.
std::optional<QString> RunForOne(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(chosen.first());
}
}  // namespace

std::optional<QString> QtCommonDialogs::AskFile(FileDialogKind kind,
                                                const OpenFileNameRecord& record) {
#ifdef _WIN32
    if (native_) return shell::AskFile(kind, record);
#endif
    QString caption = TextBeforeNul(record.lpstrTitle);
    if (caption.isEmpty()) {
        caption = kind == FileDialogKind::Open
                      ? QCoreApplication::translate("CommonDialogs", "Open")
                      : QCoreApplication::translate("CommonDialogs", "Save As");
    }
    NoToolkitDialogHistory();
    QFileDialog dialog(OwnerWindow(record.hwndOwner), caption,
                       TextBeforeNul(record.lpstrInitialDir));
    dialog.setOption(QFileDialog::DontUseNativeDialog, !native_);
    dialog.setAcceptMode(kind == FileDialogKind::Open ? QFileDialog::AcceptOpen
                                                      : QFileDialog::AcceptSave);
    dialog.setFileMode((record.Flags & kOfnFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                               : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (record.Flags & kOfnOverwritePrompt) == 0);
    const QStringList filters = detail::QtNameFilters(record.lpstrFilter);
    if (!filters.isEmpty()) {
        dialog.setOption(QFileDialog::HideNameFilterDetails, true);
        dialog.setNameFilters(filters);
        const qsizetype index = record.nFilterIndex;
        dialog.selectNameFilter(
            filters.value(index >= 1 && index <= filters.size() ? index - 1 : 0));
    }
    QString suffix = TextBeforeNul(record.lpstrDefExt);
    while (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    const QString name = TextBeforeNul(record.lpstrFile);
    if (!name.isEmpty()) {
        dialog.selectFile(name);
    }
    return RunForOne(dialog);
}

std::optional<QString> QtCommonDialogs::AskFolder(const BrowseInfoRecord& record) {
#ifdef _WIN32
    if (native_) return shell::AskFolder(record);
#endif
    NoToolkitDialogHistory();
    QFileDialog dialog(OwnerWindow(record.hwndOwner), record.lpszTitle);
    dialog.setOption(QFileDialog::DontUseNativeDialog, !native_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    return RunForOne(dialog);
}

std::optional<QString> ScriptedCommonDialogs::Next() {
    if (answers_.empty()) {
        return std::nullopt;
    }
    const Reply reply = answers_.front();
    answers_.pop_front();
    if (reply.cancel) {
        return std::nullopt;
    }
    return reply.path;
}

std::optional<QString> ScriptedCommonDialogs::AskFile(FileDialogKind kind,
                                                      const OpenFileNameRecord& record) {
    fileRequests.push_back({kind, record});
    return Next();
}

std::optional<QString> ScriptedCommonDialogs::AskFolder(const BrowseInfoRecord& record) {
    folderRequests.push_back(record);
    return Next();
}

CommonDialogs& CurrentCommonDialogs() {
    if (g_dialogs != nullptr) {
        return *g_dialogs;
    }
    static QtCommonDialogs qtDialogs;
    return qtDialogs;
}

CommonDialogs* SetCommonDialogs(CommonDialogs* dialogs) {
    CommonDialogs* previous = g_dialogs;
    g_dialogs = dialogs;
    return previous;
}

bool ShowOpenFileDialog(OpenFileNameRecord& record) {
    return ShowFileDialog(FileDialogKind::Open, record);
}

bool ShowSaveFileDialog(OpenFileNameRecord& record) {
    return ShowFileDialog(FileDialogKind::Save, record);
}

std::optional<ItemIdList> BrowseForFolder(const BrowseInfoRecord& record) {
    std::optional<QString> folder = CurrentCommonDialogs().AskFolder(record);
    if (!folder.has_value() || folder->isEmpty()) {
        return std::nullopt;
    }
    return ItemIdList{QDir::toNativeSeparators(*folder)};
}

bool PathFromItemIdList(const std::optional<ItemIdList>& list, QString& buffer) {
    if (!list.has_value() || list->path.size() + 1 > buffer.size()) {
        return false;
    }
    buffer.replace(0, list->path.size() + 1, list->path + QChar(0));
    return true;
}

}  // namespace platform
