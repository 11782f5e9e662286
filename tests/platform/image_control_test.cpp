// The image control: refused moves, stretched drawing and its transparent background.
#include "common/Units.h"
#include "platform/Form.h"
#include "platform/ImageControl.h"
#include "tests/support/CallLog.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QTest>

#include <limits>
#include <memory>

namespace {

class Window : public platform::Form {
public:
    Window() : platform::Form(QStringLiteral("frmTest")) {
        SetBackColor(QColor(0x80, 0x80, 0x80));
        img = new platform::ImageControl(this, QStringLiteral("img"));
        img->SetStretch(true);
    }
    platform::ImageControl* img;
};

// Red on its left third, blue on the rest.
std::shared_ptr<const imaging::Picture> RedThenBlue(int w, int h) {
    auto p = std::make_shared<imaging::Picture>();
    p->image = QImage(w, h, QImage::Format_RGB32);
    p->image.fill(Qt::red);
    QPainter(&p->image).fillRect(w / 3, 0, w - w / 3, h, Qt::blue);
    p->Width = units::PixelsToHimetric(w, 1.0);
    p->Height = units::PixelsToHimetric(h, 1.0);
    return p;
}

TEST(ImageControl, RefusedMovesKeepThePreviousRectangle) {
    Window w;
    ASSERT_TRUE(w.img->Move(150, 300, 1500, 750));
    const QRect before = w.img->Surface()->geometry();  // pixels
    EXPECT_EQ(before, QRect(10, 20, 100, 50));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    testsupport::CallLog log;
    EXPECT_FALSE(w.img->Move(0, 0, -1, 10));
    EXPECT_EQ(log.lines, QStringList{"img move refused"});
    EXPECT_FALSE(w.img->Move(0, 0, 10, -1));
    EXPECT_FALSE(w.img->Move(nan, 0, 10, 10));
    EXPECT_FALSE(w.img->Move(0, 0, inf, 10));
    EXPECT_EQ(w.img->Surface()->geometry(), before);
    EXPECT_FLOAT_EQ(w.img->Width(), 1500);
    EXPECT_TRUE(w.img->Move(0, 0, 0, 0)) << "an empty rectangle is a valid placement";
}

TEST(ImageControl, StretchesItsPictureAndShowsTheWindowElsewhere) {
    Window w;
    w.resize(300, 200);
    w.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.img->SetPicture(RedThenBlue(1000, 400));
    ASSERT_TRUE(w.img->Move(300, 300, 1500, 750));  // 100 x 50 px at (20, 20)
    const QImage shot = w.Client()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(25, 45)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(115, 45)), QColor(Qt::blue));
    EXPECT_EQ(QColor(shot.pixel(150, 45)), QColor(0x80, 0x80, 0x80)) << "outside the control";
    // A smooth reduction averages the colours where they meet (source 330-340), it does not pick
    // one.
    const QColor mid(shot.pixel(53, 45));
    EXPECT_GT(mid.red(), 0);
    EXPECT_GT(mid.blue(), 0);

    w.img->SetPicture(nullptr);
    const QImage empty = w.Client()->grab().toImage();
    EXPECT_EQ(QColor(empty.pixel(25, 45)), QColor(0x80, 0x80, 0x80)) << "no background of its own";
    w.Unload();
}

}  // namespace
