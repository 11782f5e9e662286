// The real Qt dialogs, driven as a user would: found as the active modal window, a name
// typed into the file name box, Return pressed.
#include "dialogs/cFileDialog.h"
#include "platform/CommonDialogs.h"
#include "platform/Form.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

class OwnerWindow : public platform::Form {
public:
    OwnerWindow() : Form(QStringLiteral("frmOwner")) {}
};

// Runs act on the file dialog once it is the active modal window; gives up after 10 s,
// closing whatever modal window is open so the test fails instead of hanging.
void WhenDialogShows(std::function<void(QFileDialog*)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no file dialog appeared";
            if (modal != nullptr) {
                modal->close();
            }
        }
    });
    timer->start();
}

void TypeNameAndConfirm(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
}

class QtFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        dir_ = QDir(tmp_.path());
        QFile f(dir_.filePath("pick.dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        dlg_.OwnerForm = &owner_;
        dlg_.FilePath = QDir::toNativeSeparators(tmp_.path());
    }

    QTemporaryDir tmp_;
    QDir dir_;
    OwnerWindow owner_;
    platform::QtCommonDialogs qt_{false};
    platform::CommonDialogsOverride override_{qt_};
    dialogs::cFileDialog dlg_;
};

TEST_F(QtFileDialogTest, OpenDialogShowsTheRecordAndReturnsTheTypedFile) {
    dlg_.DialogTitle = "Choose a picture";
    dlg_.Filter = "Pictures (*.jpg)|*.jpg|All Files (*.*)|*.*|";
    QString shownTitle;
    QString shownFolder;
    QStringList shownFilters;
    QWidget* shownOwner = nullptr;
    WhenDialogShows([&](QFileDialog* dialog) {
        shownTitle = dialog->windowTitle();
        shownFolder = dialog->directory().absolutePath();
        shownOwner = dialog->parentWidget();
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            for (int i = 0; i < combo->count(); ++i) {
                shownFilters << combo->itemText(i);
            }
        }
        TypeNameAndConfirm(dialog, "pick.dat");
    });
    ASSERT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(dlg_.FileName, QDir::toNativeSeparators(dir_.filePath("pick.dat")));
    EXPECT_EQ(dlg_.FileTitle, "pick.dat");
    EXPECT_EQ(shownTitle, "Choose a picture");
    EXPECT_EQ(shownFolder, dir_.absolutePath());
    EXPECT_EQ(shownOwner, static_cast<QWidget*>(&owner_));
    EXPECT_EQ(shownFilters, (QStringList{"Pictures (*.jpg)", "All Files (*.*)"}));
}

TEST_F(QtFileDialogTest, SaveDialogAppendsTheDefaultExtension) {
    WhenDialogShows([&](QFileDialog* dialog) { TypeNameAndConfirm(dialog, "newname"); });
    ASSERT_TRUE(dlg_.SaveFile());
    EXPECT_EQ(dlg_.FileName, QDir::toNativeSeparators(dir_.filePath("newname.dat")));
    EXPECT_EQ(dlg_.FileTitle, "newname.dat");
}

TEST_F(QtFileDialogTest, OpenDialogRefusesAMissingFileAndCancelReturnsFalse) {
    dlg_.FileName = "unchanged";
    bool warned = false;
    WhenDialogShows([&](QFileDialog* dialog) {
        // The file must exist: the dialog says so and stays open. Then the user gives up.
        QTimer::singleShot(0, dialog, [dialog, &warned] {
            QTimer::singleShot(100, dialog, [dialog, &warned] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    warned = true;
                    box->accept();
                }
                QTimer::singleShot(0, dialog, [dialog] {
                    EXPECT_TRUE(dialog->isVisible());
                    dialog->reject();
                });
            });
        });
        TypeNameAndConfirm(dialog, "missing.dat");
    });
    EXPECT_FALSE(dlg_.OpenFile());
    EXPECT_TRUE(warned);
    EXPECT_EQ(dlg_.FileName, "unchanged");
}

TEST_F(QtFileDialogTest, FolderBrowserReturnsTheFolderWithASeparator) {
    ASSERT_TRUE(dir_.mkdir("inner"));
    WhenDialogShows([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_EQ(dialog->windowTitle(), "Folder");
        dialog->setDirectory(dir_);  // the user walks to the parent folder
        TypeNameAndConfirm(dialog, "inner");
    });
    ASSERT_TRUE(dlg_.BrowseFolder(owner_.hWnd(), "Folder"));
    EXPECT_EQ(dlg_.FilePath, QDir::toNativeSeparators(dir_.filePath("inner")) + QDir::separator());
}

}  // namespace
