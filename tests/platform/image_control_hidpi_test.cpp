// On a screen of device pixel ratio 2 a picture's pixels map to device pixels one to one.
#include "common/Units.h"
#include "platform/Form.h"
#include "platform/ImageControl.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Before main builds the application: a screen of device pixel ratio 2.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

class Window : public platform::Form {
public:
    Window() : platform::Form(QStringLiteral("frmTest")) {
        img = new platform::ImageControl(this, QStringLiteral("img"));
        img->SetStretch(true);
    }
    platform::ImageControl* img;
};

TEST(HighDpi, NaturalSizeIsOnePicturePixelPerDevicePixel) {
    ASSERT_TRUE(kScaled);
    ASSERT_DOUBLE_EQ(qApp->devicePixelRatio(), 2.0);
    // A 1-px checkerboard blurs visibly under any enlargement or reduction.
    QImage board(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y)
        for (int x = 0; x < board.width(); ++x)
            board.setPixel(x, y, (x + y) % 2 ? 0xff000000 : 0xffffffff);
    QTemporaryDir dir;
    const QString path = dir.filePath("board.bmp");
    ASSERT_TRUE(board.save(path, "BMP"));

    Window w;
    w.resize(400, 300);
    w.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(w.img->LoadPicture(path));
    EXPECT_EQ(w.img->PictureWidth(), 2646);  // 200 device px = 100 px at 96 dpi
    EXPECT_EQ(w.img->PictureHeight(), 1323);
    const units::NaturalSize n =
        units::NaturalSizeFromHimetric(w.img->PictureWidth(), w.img->PictureHeight());
    ASSERT_TRUE(w.img->Move(150, 150, n.width, n.height));
    EXPECT_EQ(w.img->Surface()->size(), QSize(100, 50));  // device-independent pixels

    for (const bool stretch : {true, false}) {  // a stretched fit, and the natural size as is
        w.img->SetStretch(stretch);
        const QImage drawn =
            w.img->Surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(drawn.size(), QSize(200, 100));
        int differing = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) differing += drawn.pixel(x, y) != board.pixel(x, y);
        EXPECT_EQ(differing, 0) << "drawn with device pixels, not blurred; stretch " << stretch;
    }
    w.Unload();
}

}  // namespace
