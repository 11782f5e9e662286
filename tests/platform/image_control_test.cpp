// The image control on a screen of device pixel ratio 2.
#include "common/Units.h"
#include "platform/Form.h"
#include "platform/ImageControl.h"
#include "tests/support/CallLog.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// Before main builds the application.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");
const QColor kBack(0x80, 0, 0);

struct Window : platform::Form {
    Window() : platform::Form(QStringLiteral("frmTest")) { SetBackColor(kBack); }
    platform::ImageControl* img = new platform::ImageControl(this, QStringLiteral("img"));
};

TEST(ImageControl, RefusedMovesKeepThePreviousRectangle) {
    Window w;
    ASSERT_TRUE(w.img->Move(150, 300, 1500, 750));
    EXPECT_EQ(w.img->Surface()->geometry(), QRect(10, 20, 100, 50));  // pixels
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const double refused[][4] = {{0, 0, -1, 10}, {0, 0, 10, -1}, {nan, 0, 10, 10}, {0, 0, inf, 10}};
    testsupport::CallLog log;
    for (const auto& m : refused) EXPECT_FALSE(w.img->Move(m[0], m[1], m[2], m[3]));
    EXPECT_EQ(log.lines, QStringList(4, "img move refused"));
    EXPECT_EQ(w.img->Surface()->geometry(), QRect(10, 20, 100, 50));
    EXPECT_FLOAT_EQ(w.img->Width(), 1500);
    EXPECT_TRUE(w.img->Move(0, 0, 0, 0)) << "an empty rectangle is a valid placement";
}

TEST(ImageControl, DrawsWithDevicePixelsAndReducesSmoothly) {
    ASSERT_TRUE(kScaled && qApp->devicePixelRatio() == 2.0);
    // A 1-px checkerboard blurs visibly under any enlargement or reduction.
    QImage board(200, 100, QImage::Format_RGB32);
    for (int i = 0; i < 200 * 100; ++i)  // x + y is odd where i + y is
        board.setPixel(i % 200, i / 200, (i + i / 200) % 2 ? 0xff000000 : 0xffffffff);
    QTemporaryDir dir;
    const QString path = dir.filePath("board.bmp");
    ASSERT_TRUE(board.save(path, "BMP"));

    Window w;
    w.resize(300, 200);
    w.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(w.img->LoadPicture(path));
    const units::NaturalSize n =
        units::NaturalSizeFromHimetric(w.img->PictureWidth(), w.img->PictureHeight());
    ASSERT_TRUE(w.img->Move(150, 150, n.width, n.height));
    EXPECT_EQ(w.img->Surface()->size(), QSize(100, 50));  // 200 x 100 device pixels
    for (const bool stretch : {true, false}) {  // a stretched fit, and the natural size as is
        w.img->SetStretch(stretch);
        EXPECT_TRUE(w.img->Surface()->grab().toImage().convertToFormat(QImage::Format_RGB32) ==
                    board)
            << "blurred or misplaced; stretch " << stretch;
    }

    // Halved, every device pixel is the mean of four, across the whole control.
    w.img->SetStretch(true);
    ASSERT_TRUE(w.img->Move(150, 150, 750, 375));  // device pixels (20, 20) to (119, 69)
    const QImage shot = w.Client()->grab().toImage();
    for (const QPoint p : {QPoint(20, 20), QPoint(119, 69)})
        EXPECT_NEAR(qGray(shot.pixel(p)), 128, 8);
    EXPECT_EQ(QColor(shot.pixel(125, 40)), kBack) << "outside the control";
    w.img->SetPicture(nullptr);
    EXPECT_EQ(QColor(w.Client()->grab().toImage().pixel(40, 40)), kBack) << "no own background";
    w.Unload();
}

}  // namespace
