#pragma once
// Open and save dialogs and the folder browser behind a few properties. With INISave on,
// the open and save dialogs remember a folder per owning window in the settings file.
#include "platform/Form.h"
#include "platform/rules/DialogRecords.h"

#include <QPointer>
#include <QString>
#include <cstdint>

namespace dialogs {

class cFileDialog {
public:
    cFileDialog();

    // Owner of the open and save dialogs; its Name() is the settings section.
    QPointer<platform::Form> OwnerForm;
    // Initial folder of the open and save dialogs; output of BrowseFolder (ends in a separator).
    QString FilePath;
    // Full path chosen in the open or save dialog.
    QString FileName;
    // The chosen file's name without its folder.
    QString FileTitle;
    // Emptied after every confirmed open or save dialog.
    QString Extension;
    // Description|pattern|... ; every open or save call turns the "|" into NULs in place.
    QString Filter = QStringLiteral("All Files (*.*)|*.*|");
    // File name box text, at most 250 characters.
    QString DefaultFileName;
    // Appended when the user types a name without an extension.
    QString DefaultExt = QStringLiteral("dat");
    QString DialogTitle;
    bool INISave = false;

    // True when the user confirmed a file. Throw platform::RuntimeError when OwnerForm is
    // not set (91) or DefaultFileName is longer than 250 characters (5).
    bool OpenFile();
    bool SaveFile();
    // True when the user chose a folder, then in FilePath with one trailing separator.
    // Never throws.
    bool BrowseFolder(std::uintptr_t hWnd, const QString& szDialogTitle);

    // The open/save record as the last call left it.
    const platform::OpenFileNameRecord& Record() const { return record_; }

    static constexpr qsizetype kMaxDefaultFileName = 250;
    static constexpr std::uint32_t kFileBufferSize = 255;

private:
    bool ShowDialog(std::int16_t mode);
    platform::Form& Owner() const;

    platform::OpenFileNameRecord record_;
};

}  // namespace dialogs
