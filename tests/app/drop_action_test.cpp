// What the drag source is told: a drop is taken only as Copy (or Link) and only when it brings
// a regular local file; everything else is refused, so no source deletes what it offered.
#include "app/frmDuvix.h"
#include "platform/MousePointer.h"
#include "tests/support/ComparisonWindow.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

struct Answer {
    bool enterAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;  // what the source is told
};

class DropAction : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NO_FATAL_FAILURE(testwindows::OpenComparisonWindow(form));
        picture = QDir::toNativeSeparators(
            testfiles::WriteSolidPicture(dir.path(), "red.bmp", 96, 48, 0xff0000));
        platform::SetMousePointerObserver([this](int code) { pointer << code; });
    }
    void TearDown() override {
        platform::SetMousePointerObserver({});
        testwindows::CloseComparisonWindow(form);
    }
    // As the desktop delivers a drag: enter, then drop, with what the source allows and
    // proposes. The drop is sent even when the enter was refused, as a careless source might.
    Answer Drag(QWidget* target, const QMimeData& mime, Qt::DropActions allowed,
                Qt::DropAction proposed) {
        const QPoint at = target->mapTo(form, QPoint(5, 5));
        QDragEnterEvent enter(at, allowed, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(proposed);
        QCoreApplication::sendEvent(form->windowHandle(), &enter);
        QDropEvent drop(at, allowed, &mime, Qt::LeftButton, Qt::NoModifier);
        drop.setDropAction(proposed);
        QCoreApplication::sendEvent(form->windowHandle(), &drop);
        // A refused drop tells the source nothing happened, whatever action it still holds.
        return {enter.isAccepted(), drop.isAccepted(),
                drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction};
    }
    static QMimeData* Urls(const QList<QUrl>& urls) {
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        return mime;
    }
    QList<QWidget*> Targets() {
        return {form->Client(), form->img1->Surface(), form->img2->Surface()};
    }

    QTemporaryDir dir;
    frmDuvix* form = nullptr;
    QString picture;
    QList<int> pointer;
};

TEST_F(DropAction, APictureIsTakenAsCopyWhateverTheSourceProposes) {
    const std::unique_ptr<QMimeData> mime(Urls({QUrl::fromLocalFile(picture)}));
    const auto all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    for (QWidget* target : Targets()) {
        for (const Qt::DropAction proposed : {Qt::MoveAction, Qt::CopyAction, Qt::LinkAction}) {
            const Answer a = Drag(target, *mime, all, proposed);
            EXPECT_TRUE(a.enterAccepted) << target->objectName().toStdString();
            EXPECT_TRUE(a.dropAccepted);
            EXPECT_EQ(a.action, Qt::CopyAction) << "proposed " << int(proposed);
        }
        const Answer link = Drag(target, *mime, Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
        EXPECT_TRUE(link.dropAccepted);
        EXPECT_EQ(link.action, Qt::LinkAction);
    }
    EXPECT_EQ(form->img1->Tag(), picture);
    EXPECT_EQ(form->img2->Tag(), picture);
    EXPECT_TRUE(QFile::exists(picture));
}

TEST_F(DropAction, AMoveOnlyDragIsRefusedAndLoadsNothing) {
    const std::unique_ptr<QMimeData> mime(Urls({QUrl::fromLocalFile(picture)}));
    for (QWidget* target : Targets()) {
        const Answer a = Drag(target, *mime, Qt::MoveAction, Qt::MoveAction);
        EXPECT_FALSE(a.enterAccepted);
        EXPECT_FALSE(a.dropAccepted);
        EXPECT_EQ(a.action, Qt::IgnoreAction);
    }
    EXPECT_TRUE(form->img1->Tag().isEmpty());
    EXPECT_TRUE(form->img2->Tag().isEmpty());
    EXPECT_TRUE(pointer.isEmpty());
}

TEST_F(DropAction, DragsWithoutALocalFileAreRefusedOnEntry) {
    const auto all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QMimeData text;
    text.setText(picture);
    const std::unique_ptr<QMimeData> remote(
        Urls({QUrl("https://example.org/a.jpg"), QUrl("sftp://host/b.gif")}));
    const std::unique_ptr<QMimeData> empty(Urls({}));
    for (QWidget* target : Targets()) {
        for (const QMimeData* mime : {&text, remote.get(), empty.get()}) {
            const Answer a = Drag(target, *mime, all, Qt::MoveAction);
            EXPECT_FALSE(a.enterAccepted) << mime->formats().join(',').toStdString();
            EXPECT_FALSE(a.dropAccepted);
            EXPECT_EQ(a.action, Qt::IgnoreAction);
        }
    }
    EXPECT_TRUE(pointer.isEmpty());
}

TEST_F(DropAction, FoldersPipesAndVanishedFilesAreRefused) {
    const QString folder = dir.filePath("pictures.jpg");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString vanished = dir.filePath("gone.bmp");
    QStringList refused{folder, vanished};
#ifndef _WIN32
    const QString pipe = dir.filePath("pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    refused << pipe;
#endif
    const auto all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    for (const QString& path : refused) {
        const std::unique_ptr<QMimeData> mime(Urls({QUrl::fromLocalFile(path)}));
        for (QWidget* target : Targets()) {
            const Answer a = Drag(target, *mime, all, Qt::MoveAction);
            EXPECT_FALSE(a.enterAccepted) << path.toStdString();
            EXPECT_FALSE(a.dropAccepted) << path.toStdString();
            EXPECT_EQ(a.action, Qt::IgnoreAction) << path.toStdString();
        }
    }
    EXPECT_TRUE(form->img1->Tag().isEmpty());
    EXPECT_TRUE(form->img2->Tag().isEmpty());
    EXPECT_TRUE(pointer.isEmpty()) << "no hourglass for a drop that is refused";
}

}  // namespace
