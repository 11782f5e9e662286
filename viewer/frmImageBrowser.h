#pragma once
// A list of the snapshots in a fixed folder with a preview; double-click opens the viewer.
#include "platform/FileListBox.h"
#include "platform/Form.h"
#include "platform/ImageControl.h"

class frmImageBrowser : public platform::Form {
    Q_OBJECT
public:
    // The fixed folder the browser lists and previews from.
    static QString SnapshotFolder() { return QStringLiteral("d:\\snapshots\\"); }

    // Tests hand in a folder of their own.
    explicit frmImageBrowser(QString folder = SnapshotFolder());
    QString Folder() const { return folder_; }

    platform::FileListBox* FL;
    platform::ImageControl* img;

    void FL_Click();
    void img_DblClick();

protected:
    void Form_Load() override;

private:
    const QString folder_;
    QString previewed_;  // the name last previewed, empty before the first
};
