#pragma once
// The comparison window: two panes side by side, a menu bar of three commands.
#include "platform/Form.h"
#include "platform/ImageControl.h"

#include <memory>

namespace dialogs {
class cFileDialog;
}
namespace imaging {
class PicturePreparer;
}

class frmDuvix : public platform::Form {
    Q_OBJECT
public:
    frmDuvix();
    ~frmDuvix() override;

    platform::ImageControl* img1;
    platform::ImageControl* img2;

    // Menu commands (also what the menu bar's items run).
    void menExit_Click();
    void menImage1_Click();
    void menImage2_Click();

    void img1_DblClick();
    void img2_DblClick();

    void ArrangePanes();
    void LoadPaneImage(const QString& path, float pane);

    dialogs::cFileDialog* FileDialog() const { return mFileDialog.get(); }

    // Natural sizes in twips and ratios of the two pictures.
    double mLeftHeight = 0;
    double mLeftWidth = 0;
    double mRightHeight = 0;
    double mRightWidth = 0;
    double mLeftRatio = 0;
    double mRightRatio = 0;

protected:
    void Form_Load() override;
    void Form_Resize() override;
    void Form_OLEDragDrop(platform::DropData& data, int32_t& effect, int16_t button, int16_t shift,
                          float xTwips, float yTwips) override;

private:
    void UpdateNaturalSize(platform::ImageControl* pane);
    void DropOnPane(platform::DropData& data, float pane);
    void LoadFromDialog(platform::ImageControl* pane);
    // Load, tag and measure, then lay out both panes.
    void LoadIntoPane(platform::ImageControl* pane, const QString& path);
    void OpenInViewer(platform::ImageControl* pane);
    void PrepareViewerPicture(platform::ImageControl* pane, const QString& path);

    std::unique_ptr<dialogs::cFileDialog> mFileDialog;
    std::unique_ptr<imaging::PicturePreparer> mViewerCopies;
};
