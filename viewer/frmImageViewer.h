#pragma once
// One picture alone: borderless, black, maximised; Escape or a double-click closes it.
#include "platform/Form.h"
#include "platform/ImageControl.h"

#include "imaging/Picture.h"

class frmImageViewer : public platform::Form {
    Q_OBJECT
public:
    frmImageViewer();

    platform::ImageControl* img;

    // Natural size in twips and ratio, written by the load step, read by every resize.
    double mWidth = 0;
    double mHeight = 0;
    double mRatio = 0;

    void img_DblClick() { Unload(); }

    // What the picture is decoded for: the screen less the margins, every format at its fit,
    // so the first paint is a plain copy. Pictures prepared for it ahead are taken as they are.
    static imaging::DisplayTarget PictureTarget();

protected:
    void Form_Load() override;
    void Form_Resize() override;
    void Form_KeyPress(int16_t& keyAscii) override;
    void Form_DblClick() override { Unload(); }
};
