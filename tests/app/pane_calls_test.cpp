// What the comparison window tells its panes and the pointer, in which order, with which values.
#include "app/frmDuvix.h"
#include "tests/support/CallLog.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/HimetricTwips.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

const QStringList kLayoutPass{"img1 hide", "img2 hide", "img1 move",
                              "img2 move", "img1 show", "img2 show"};

using testtwips::Double;
using testtwips::Single;

class PaneCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
        SetClientSize(QSize(564, 377));  // 8460 x 5655 twips: boxes 4185 x 5595
    }
    void TearDown() override { testwindows::CloseComparisonWindow(form); }
    void SetClientSize(QSize size) {
        form->showNormal();
        form->resize(size.width(), size.height() + form->menuBar()->height());
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->Client()->size() == size; }));
    }
    // The last move handed to the named pane.
    const platform::ImageControlCall& LastMove(const QString& pane) const {
        const auto it = std::find_if(log.moves.rbegin(), log.moves.rend(), [&](const auto& m) {
            return m.control->objectName() == pane;
        });
        EXPECT_NE(it, log.moves.rend()) << "no move of " << pane.toStdString();
        return *it;
    }
    QTemporaryDir dir;
    frmDuvix* form = nullptr;
    testsupport::CallLog log;
};

TEST_F(PaneCalls, EveryLayoutPassHidesBothMovesBothShowsBoth) {
    log.Clear();
    form->ArrangePanes();
    EXPECT_EQ(log.lines, kLayoutPass);

    log.Clear();
    SetClientSize(QSize(500, 300));  // a resize runs the same pass, once per resize event
    ASSERT_FALSE(log.lines.isEmpty());
    for (qsizetype i = 0; i < log.lines.size(); i += kLayoutPass.size()) {
        EXPECT_EQ(log.lines.mid(i, kLayoutPass.size()), kLayoutPass);
    }
}

TEST_F(PaneCalls, ALoadShowsTheHourglassOverLoadAndLayout) {
    const QString pic = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 40, 30);
    log.Clear();
    form->LoadPaneImage(pic, 2);
    const QStringList expected =
        QStringList{"pointer 11", "img2 picture"} + kLayoutPass + QStringList{"pointer 0"};
    EXPECT_EQ(log.lines, expected);
}

TEST_F(PaneCalls, NaturalSizesInSinglePrecisionAndTheMovesValues) {
    // 2000 x 700 px is wider than its box; 100 x 1000 px taller than its box.
    form->LoadPaneImage(testfiles::WriteSolidPicture(dir.path(), "wide.bmp", 2000, 700), 1);
    form->LoadPaneImage(testfiles::WriteSolidPicture(dir.path(), "tall.bmp", 100, 1000), 2);
    const int32_t lw = form->img1->PictureWidth(), lh = form->img1->PictureHeight();
    const int32_t rw = form->img2->PictureWidth(), rh = form->img2->PictureHeight();
    for (const int32_t himetric : {lw, lh, rw, rh}) {
        ASSERT_NE(Single(himetric), Double(himetric)) << "an input that tells them apart";
    }
    EXPECT_EQ(form->mLeftWidth, Single(lw));
    EXPECT_EQ(form->mLeftHeight, Single(lh));
    EXPECT_EQ(form->mLeftRatio, Single(lw) / Single(lh));
    EXPECT_EQ(form->mRightWidth, Single(rw));
    EXPECT_EQ(form->mRightHeight, Single(rh));
    EXPECT_EQ(form->mRightRatio, Single(rw) / Single(rh));

    log.Clear();
    form->ArrangePanes();
    const double bw = (8460 - 90) / 2.0, bh = 5655 - 60;
    // Left: limited by the box width; only Left goes over in single precision.
    const double lwFit = bw, lhFit = bw / form->mLeftRatio;
    const double lTop = 30 + (bh - lhFit) / 2;
    ASSERT_NE(static_cast<float>(lTop), lTop);
    ASSERT_NE(static_cast<float>(lhFit), lhFit);
    const platform::ImageControlCall& left = LastMove("img1");
    EXPECT_EQ(left.left, 30);
    EXPECT_EQ(left.top, lTop);
    EXPECT_EQ(left.width, lwFit);
    EXPECT_EQ(left.height, lhFit);
    // Right: limited by the box height.
    const double rwFit = bh * form->mRightRatio;
    const double rLeft = 60 + bw + (bw - rwFit) / 2;
    ASSERT_NE(static_cast<float>(rLeft), rLeft);
    ASSERT_NE(static_cast<float>(rwFit), rwFit);
    const platform::ImageControlCall& right = LastMove("img2");
    EXPECT_EQ(right.left, static_cast<double>(static_cast<float>(rLeft)));
    EXPECT_EQ(right.top, 30);
    EXPECT_EQ(right.width, rwFit);
    EXPECT_EQ(right.height, bh);
}

TEST_F(PaneCalls, AFittedHeightExactlyTheBoxIsNotClamped) {
    // 96 px high is exactly 1440 twips, the box of a 100 px client. For 54 px wide, width / ratio
    // gives 1440 again, but 1440 x ratio is not the width: a clamp would show.
    SetClientSize(QSize(300, 100));
    form->LoadPaneImage(testfiles::WriteSolidPicture(dir.path(), "p.bmp", 54, 96), 1);
    ASSERT_EQ(form->mLeftHeight, 1440);
    ASSERT_NE(1440 * form->mLeftRatio, form->mLeftWidth);
    const platform::ImageControlCall& left = LastMove("img1");
    EXPECT_EQ(left.height, 1440);
    EXPECT_EQ(left.width, form->mLeftWidth);
}

}  // namespace
