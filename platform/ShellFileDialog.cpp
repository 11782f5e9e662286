#include "platform/ShellFileDialog.h"

#ifdef _WIN32
#include <QDir>
#include <QFileInfo>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// the shell's headers after windows.h
#include <shlobj.h>
#include <shobjidl.h>

namespace platform::shell {
namespace {

template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p != nullptr) p->Release();
    }
};

// COM for the dialog on this thread; Qt's Windows platform has usually set it up already.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool ok_;
};

std::wstring Wide(const QString& text) { return QDir::toNativeSeparators(text).toStdWString(); }

bool SetFolder(IFileDialog* dialog, const QString& folder) {
    if (folder.isEmpty()) return false;
    Released<IShellItem> item;
    if (FAILED(SHCreateItemFromParsingName(Wide(folder).c_str(), nullptr, IID_PPV_ARGS(&item.p))))
        return false;
    return SUCCEEDED(dialog->SetFolder(item.p));
}

std::optional<QString> Run(IFileDialog* dialog, std::uintptr_t owner) {
    if (dialog->Show(reinterpret_cast<HWND>(owner)) != S_OK) {
        return std::nullopt;  // cancelled, or the dialog could not be shown
    }
    Released<IShellItem> item;
    PWSTR path = nullptr;
    if (FAILED(dialog->GetResult(&item.p)) ||
        FAILED(item.p->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        return std::nullopt;
    }
    const QString chosen = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    return chosen;
}

}  // namespace

std::optional<QString> AskFile(FileDialogKind kind, const OpenFileNameRecord& record) {
    const ComScope com;
    Released<IFileDialog> dialog;
    const CLSID clsid = kind == FileDialogKind::Open ? CLSID_FileOpenDialog : CLSID_FileSaveDialog;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.p)))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog.p->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
    const auto set = [&options](bool on, FILEOPENDIALOGOPTIONS flag) {
        options = on ? (options | flag) : (options & ~flag);
    };
    set((record.Flags & kOfnFileMustExist) != 0, FOS_FILEMUSTEXIST);
    set((record.Flags & (kOfnPathMustExist | kOfnFileMustExist)) != 0, FOS_PATHMUSTEXIST);
    set((record.Flags & kOfnOverwritePrompt) != 0, FOS_OVERWRITEPROMPT);
    dialog.p->SetOptions(options);

    const QString title = TextBeforeNul(record.lpstrTitle);
    if (!title.isEmpty()) dialog.p->SetTitle(Wide(title).c_str());

    // Description and pattern pairs up to the empty description that ends the list.
    const QStringList parts = record.lpstrFilter.split(QChar(0));
    std::vector<std::wstring> texts;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        texts.push_back(parts[i].toStdWString());
        texts.push_back(parts[i + 1].toStdWString());
    }
    std::vector<COMDLG_FILTERSPEC> specs;
    for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
        specs.push_back({texts[i].c_str(), texts[i + 1].c_str()});
    }
    if (!specs.empty()) {
        dialog.p->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
        const std::uint32_t index = record.nFilterIndex;
        dialog.p->SetFileTypeIndex(index >= 1 && index <= specs.size() ? index : 1);
    }
    QString suffix = TextBeforeNul(record.lpstrDefExt);
    while (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    if (!suffix.isEmpty()) dialog.p->SetDefaultExtension(Wide(suffix).c_str());

    SetFolder(dialog.p, TextBeforeNul(record.lpstrInitialDir));
    const QString name = TextBeforeNul(record.lpstrFile);
    if (!name.isEmpty()) {
        // A path in the name box opens its folder with its name filled in.
        const QFileInfo info(name);
        if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))) {
            SetFolder(dialog.p, info.absolutePath());
        }
        dialog.p->SetFileName(Wide(info.fileName()).c_str());
    }
    return Run(dialog.p, record.hwndOwner);
}

std::optional<QString> AskFolder(const BrowseInfoRecord& record) {
    const ComScope com;
    Released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog.p)))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog.p->GetOptions(&options);
    dialog.p->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    if (!record.lpszTitle.isEmpty()) dialog.p->SetTitle(Wide(record.lpszTitle).c_str());
    return Run(dialog.p, record.hwndOwner);
}

}  // namespace platform::shell
#endif
